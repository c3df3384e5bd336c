#pragma once
// A request to stop (Mivora's Stop, its closing and the end of the session; Ctrl+C, a hang-up
// or `kill` in a terminal) ends the run at once and first removes what it has beside the
// video, so nothing of it is left even before the next run. A step that must end as a whole
// (an in-place switch, an appended movie, the copy taking the video's name) holds
// t_StopDeferred; the request waits for it. POSIX: SIGTERM, SIGINT, SIGHUP. Windows: the
// manual-reset event named StopEventName(process id), which Mivora sets.
#include <functional>
#include <string>

namespace n_zorbel::n_ntag {

// The exit code of a stopped run, as POSIX shells report SIGTERM.
inline constexpr int kStoppedExitCode = 143;

// Starts the listener (a thread that waits for the request). Only PrepareProcess calls it.
void ListenForStopRequests();

class t_StopDeferred {
 public:
  t_StopDeferred();
  ~t_StopDeferred();
  t_StopDeferred(const t_StopDeferred&) = delete;
  t_StopDeferred& operator=(const t_StopDeferred&) = delete;
};

// What a stop removes before the process ends; replaced by the next call, none after {}.
void SetStopCleanup(std::function<void()> cleanup);

// The listener's end: waits for any t_StopDeferred, runs the cleanup, ends the process.
[[noreturn]] void StopNow(int exitCode);

#ifdef _WIN32
std::wstring StopEventName(unsigned long processId);
#endif

}  // namespace n_zorbel::n_ntag
