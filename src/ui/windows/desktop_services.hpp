#pragma once
// What the Win32 window asks of the desktop beyond its own controls: the
// shell's file-open picker and the user's browser.
#include <vector>

#include "system/text.hpp"
#include "ui/view.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

// Modal over `owner`; the chosen paths in the picker's order, none when
// cancelled or when the picker cannot be shown.
std::vector<t_String> PickFiles(HWND owner, const t_PickRequest& request);

void OpenWebPage(const t_String& address) noexcept;

}  // namespace n_zorbel::n_ui::n_windows
