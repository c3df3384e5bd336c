#pragma once
// UTF-8 checks and UTF-8 <-> UTF-16 conversion, written out so that both
// platforms convert tag values identically.
#include <string>
#include <string_view>

namespace n_zorbel::n_ntag {

bool IsValidUtf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace n_zorbel::n_ntag
