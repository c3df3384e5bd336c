#include <windows.h>

#include "stop_request.hpp"

namespace n_zorbel::n_ntag {

void ListenForStopRequests() {
  // Without the event (a name held by something else), Stop ends the run as a kill does.
  const HANDLE request = CreateEventW(nullptr, TRUE, FALSE, StopEventName(GetCurrentProcessId()).c_str());
  if (request == nullptr) return;
  const HANDLE listener = CreateThread(
      nullptr, 0,
      [](void* event) -> DWORD {
        WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
        StopNow(kStoppedExitCode);
      },
      request, 0, nullptr);
  if (listener != nullptr) CloseHandle(listener);
}

}  // namespace n_zorbel::n_ntag
