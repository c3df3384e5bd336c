#pragma once
// What a window manager sends when the close box is pressed, for a test
// without a window manager. Kept apart: Xlib's macros clash with GoogleTest.
#include <string>

namespace n_zorbel::n_testing {

// Sends WM_DELETE_WINDOW to `window` on `display`; false when the display
// cannot be opened.
bool SendCloseMessage(const std::string& display, unsigned long window);

}  // namespace n_zorbel::n_testing
