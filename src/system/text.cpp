#include "system/text.hpp"

#ifdef _WIN32
#include "system/utf8.hpp"
#endif

namespace n_zorbel {

#ifdef _WIN32

// wchar_t holds UTF-16 on Windows.
t_String FromUtf8(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return t_String(wide.begin(), wide.end());
}

std::string ToUtf8(t_StringView text) { return Utf16ToUtf8(std::u16string(text.begin(), text.end())); }

#else

t_String FromUtf8(std::string_view utf8) { return t_String(utf8); }
std::string ToUtf8(t_StringView text) { return std::string(text); }

#endif

}  // namespace n_zorbel
