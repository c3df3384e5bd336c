#include "ui/windows/resource_text.hpp"

#include "system/error.hpp"

namespace n_zorbel::n_ui::n_windows {

t_String LoadResourceText(HINSTANCE module, int id) {
  const wchar_t* text = nullptr;
  ::SetLastError(NO_ERROR);
  const int length = ::LoadStringW(module, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
  if (text == nullptr || length < 1 || text[length - 1] != L'\0') {
    const std::uint32_t error = n_system::LastSystemError();
    n_system::RaiseSystemError(error != NO_ERROR ? error : ERROR_RESOURCE_NAME_NOT_FOUND);
  }
  return t_String(text, static_cast<std::size_t>(length) - 1);
}

}  // namespace n_zorbel::n_ui::n_windows
