#pragma once
// String-table texts read in place from a module's resources.
#include "system/text.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

// The text of string `id` in the thread's interface language, read in place
// (LoadStringW with a zero buffer size). The entry must count its terminating
// NUL; an entry that is missing, empty or does not end with NUL raises
// t_ErrorException with the last system error (resource-not-found when the
// loader set none).
t_String LoadResourceText(HINSTANCE module, int id);

}  // namespace n_zorbel::n_ui::n_windows
