#pragma once
// The About box as a task dialog: the program's icon, its version and
// developer lines, and a footer link that shows the bare product page; a
// click on the link calls `openClickAddress`, whatever the link says.
#include <functional>

#include "ui/view.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

// Modal over `owner`; the icon is the module's. `openClickAddress` may not
// throw: it runs inside the task dialog's own loop.
void ShowAboutDialog(HWND owner, HINSTANCE module, const t_AboutBox& about,
                     const std::function<void()>& openClickAddress) noexcept;

}  // namespace n_zorbel::n_ui::n_windows
