#pragma once
// The one string type for paths and texts, native to the platform:
// UTF-16 on Windows (as the Win32 API takes it), UTF-8 bytes on POSIX
// (file names there are bytes and must pass through unchanged).
#include <string>
#include <string_view>

namespace n_zorbel {

#ifdef _WIN32
using t_Char = wchar_t;
#define ZTEXT(s) L##s
inline constexpr t_Char kPathSeparator = L'\\';
#else
using t_Char = char;
#define ZTEXT(s) s
inline constexpr t_Char kPathSeparator = '/';
#endif

using t_String = std::basic_string<t_Char>;
using t_StringView = std::basic_string_view<t_Char>;

// UTF-8 <-> native text. Lossless on POSIX (bytes pass through); on Windows
// invalid input becomes U+FFFD.
t_String FromUtf8(std::string_view utf8);
std::string ToUtf8(t_StringView text);

}  // namespace n_zorbel
