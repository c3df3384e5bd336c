#pragma once
// The one UTF-8 <-> UTF-16 codec of the project, written out rather than taken from
// the platform, so that the tagger, the dialog and the build tools convert alike.
// Standard library only: the tagger and the build machine's generator compile it too.
#include <string>
#include <string_view>

namespace n_zorbel {

// False for overlong forms, encoded surrogates, values past U+10FFFF and cut sequences.
bool IsValidUtf8(std::string_view text);
// Each invalid sequence becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace n_zorbel
