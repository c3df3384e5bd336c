#include "support/process_traits.hpp"

#include <windows.h>

namespace n_zorbel::n_testing {

std::string DescribeProcess() {
  const DWORD priority = GetPriorityClass(GetCurrentProcess());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const bool hidden = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
  // Wine ignores the priority class given at creation, so tests need to know.
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return std::string("priority=") + (priority == IDLE_PRIORITY_CLASS ? "idle" : "other") +
         " show=" + (hidden ? "hide" : "other") + (wine ? " host=wine" : "");
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool WaitUntilEnded(unsigned long pid, unsigned timeoutMs) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return false;
  const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace n_zorbel::n_testing
