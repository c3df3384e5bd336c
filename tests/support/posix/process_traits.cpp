#include "support/process_traits.hpp"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace n_zorbel::n_testing {

namespace {

std::string SchedulingPolicy() {
  switch (sched_getscheduler(0)) {
#ifdef SCHED_IDLE
    case SCHED_IDLE:
      return "idle";
#endif
    case SCHED_OTHER:
      return "other";
    default:
      return "?";
  }
}

std::string IoClass() {
#if defined(__linux__) && defined(SYS_ioprio_get)
  constexpr int kWhoProcess = 1;
  const long priority = syscall(SYS_ioprio_get, kWhoProcess, 0);
  if (priority < 0) return "?";
  switch (priority >> 13) {
    case 0:
      return "none";
    case 1:
      return "realtime";
    case 2:
      return "best-effort";
    case 3:
      return "idle";
  }
#endif
  return "?";
}

std::string StandardInput() {
  char target[PATH_MAX];
  const ssize_t length = readlink("/proc/self/fd/0", target, sizeof target - 1);
  if (length < 0) return "?";
  return std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

std::string DescribeProcess() {
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  return "policy=" + SchedulingPolicy() + " nice=" + std::to_string(nice) + " ioclass=" + IoClass() +
         " stdin=" + StandardInput();
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

bool WaitUntilEnded(unsigned long pid, unsigned timeoutMs) {
  // WNOWAIT leaves the child to be collected by the code under test.
  for (unsigned waited = 0;; waited += 5) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
    if (info.si_pid != 0) return true;
    if (waited >= timeoutMs) return false;
    usleep(5000);
  }
}

}  // namespace n_zorbel::n_testing
