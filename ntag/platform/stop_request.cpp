#include "platform/stop_request.hpp"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace n_zorbel::n_ntag {
namespace {

// Held by a deferred step, by a change of the cleanup and by the stop itself; recursive, as
// a deferred step may set the cleanup.
std::recursive_mutex& Guard() {
  static std::recursive_mutex guard;
  return guard;
}

std::function<void()>& Cleanup() {
  static std::function<void()> cleanup;
  return cleanup;
}

}  // namespace

t_StopDeferred::t_StopDeferred() { Guard().lock(); }
t_StopDeferred::~t_StopDeferred() { Guard().unlock(); }

void SetStopCleanup(std::function<void()> cleanup) {
  const std::lock_guard<std::recursive_mutex> hold(Guard());
  Cleanup() = std::move(cleanup);
}

void StopNow(int exitCode) {
  Guard().lock();  // never released: the process ends here
  if (Cleanup()) Cleanup()();
  std::_Exit(exitCode);
}

#ifdef _WIN32
std::wstring StopEventName(unsigned long processId) {
  return L"Local\\ntag-stop-" + std::to_wstring(processId);
}
#endif

}  // namespace n_zorbel::n_ntag
