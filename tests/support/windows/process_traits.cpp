#include "support/process_traits.hpp"

#include <windows.h>

namespace n_zorbel::n_testing {

std::string DescribeProcess() {
  const DWORD priority = GetPriorityClass(GetCurrentProcess());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const bool hidden = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
  return std::string("priority=") + (priority == IDLE_PRIORITY_CLASS ? "idle" : "other") +
         " show=" + (hidden ? "hide" : "other");
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace n_zorbel::n_testing
