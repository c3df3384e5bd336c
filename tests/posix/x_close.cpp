#include "x_close.hpp"

#include <X11/Xlib.h>

namespace n_zorbel::n_testing {

bool SendCloseMessage(const std::string& display, unsigned long window) {
  ::Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(connection, window, False, NoEventMask, &event);
  XCloseDisplay(connection);
  return true;
}

}  // namespace n_zorbel::n_testing
