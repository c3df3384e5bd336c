#include "platform/stop_request.hpp"

#include <windows.h>

namespace n_zorbel::n_ntag {
namespace {

DWORD WINAPI WaitForStop(void* request) {
  WaitForSingleObject(static_cast<HANDLE>(request), INFINITE);
  StopNow(kStoppedExitCode);
}

}  // namespace

void ListenForStopRequests() {
  // Without the event (a name held by something else), Stop ends the run as a kill does.
  const HANDLE request = CreateEventW(nullptr, TRUE, FALSE, StopEventName(GetCurrentProcessId()).c_str());
  if (request == nullptr) return;
  if (const HANDLE listener = CreateThread(nullptr, 0, WaitForStop, request, 0, nullptr))
    CloseHandle(listener);
}

}  // namespace n_zorbel::n_ntag
