#include "system/child_process.hpp"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "system/command_line_splitter.hpp"
#include "system/error.hpp"
#include "system/posix/descriptor.hpp"

namespace n_zorbel::n_system {

struct t_ChildProcess::t_Process {
  pid_t pid = -1;
};

namespace {

// A child ended by a signal reports 128 + the signal number as its exit code,
// as shells do (SIGKILL gives 137). It is never 0, so a killed tool never
// counts as success; a tool cannot exit with more than 255 itself.
constexpr std::uint32_t kSignalExitBase = 128;

// ioprio_set has no libc wrapper; these are the kernel's values.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassIdle = 3;
constexpr int kIoprioClassShift = 13;

using n_detail::t_Descriptor;

// Tells the parent why the child could not become the tool, then ends it.
[[noreturn]] void FailChild(int reportFd, int error) noexcept {
  while (write(reportFd, &error, sizeof error) < 0 && errno == EINTR) {
  }
  _exit(127);
}

// Runs in the child between fork and exec, so only async-signal-safe calls
// and nothing that allocates.
[[noreturn]] void BecomeTool(const char* application, char* const* argv, int reportFd) noexcept {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  // The tool reads nothing; it must never read the user's terminal.
  const int nullFd = open("/dev/null", O_RDONLY);
  if (nullFd < 0) FailChild(reportFd, errno);
  if (nullFd != STDIN_FILENO) {
    if (dup2(nullFd, STDIN_FILENO) < 0) FailChild(reportFd, errno);
    // Raw: the owner may call std::terminate, which is not async-signal-safe.
    close(nullFd);
  }

  // The lowest CPU priority: nice 19, and the idle scheduling class where
  // the kernel has it. Failures only leave the tool at a higher priority.
  setpriority(PRIO_PROCESS, 0, 19);
#ifdef SCHED_IDLE
  sched_param param{};
  sched_setscheduler(0, SCHED_IDLE, &param);
#endif
#if defined(__linux__) && defined(SYS_ioprio_set)
  syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift);
#endif

  // Descriptors stay inherited (only close-on-exec ones go), so a path such
  // as /proc/self/fd/N names the parent's open tool file here too.
  execv(application, argv);
  FailChild(reportFd, errno);
}

// One waitpid that retries interrupted calls.
pid_t WaitFor(pid_t pid, int& status, int options) {
  pid_t answer;
  do {
    answer = waitpid(pid, &status, options);
  } while (answer < 0 && errno == EINTR);
  return answer;
}

// Waits up to timeoutMs for the child; 0 while it still runs.
pid_t WaitWithTimeout(pid_t pid, int& status, std::uint32_t timeoutMs) {
  if (timeoutMs == kWaitForever) return WaitFor(pid, status, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    const pid_t answer = WaitFor(pid, status, WNOHANG);
    if (answer != 0) return answer;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return 0;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

}  // namespace

t_ChildProcess::t_ChildProcess(const t_String& application, const t_String& commandLine)
    : m_process(std::make_unique<t_Process>()) {
  // Everything the child needs is prepared before fork: it may not allocate.
  std::vector<t_String> arguments = SplitCommandLine(commandLine);
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (t_String& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  // The child reports a failed exec through this pipe; a successful exec
  // closes it, which the parent reads as end of file.
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) RaiseLastError();
  const t_Descriptor readEnd(ends[0]);
  pid_t pid;
  {
    // Ours goes at the end of this block: only the child's keeps the pipe open.
    const t_Descriptor writeEnd(ends[1]);
    pid = fork();
    if (pid < 0) RaiseLastError();
    if (pid == 0) BecomeTool(application.c_str(), argv.data(), writeEnd.Get());
  }
  int childError = 0;
  ssize_t got;
  do {
    got = read(readEnd.Get(), &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    int status = 0;
    WaitFor(pid, status, 0);
    RaiseSystemError(WindowsErrorFromErrno(childError));
  }
  m_process->pid = pid;
}

t_ChildProcess::~t_ChildProcess() {
  if (m_finished) return;
  // The tool may be rewriting a video: asked first, it removes its copy before it goes; it
  // must be gone before we go on.
  kill(m_process->pid, SIGTERM);
  Finish(kStopGraceMs, false);
  if (m_finished) return;
  kill(m_process->pid, SIGKILL);
  Finish(kWaitForever, false);
}

void t_ChildProcess::Finish(std::uint32_t timeoutMs, bool raise) {
  if (m_finished) return;
  int status = 0;
  const pid_t answer = WaitWithTimeout(m_process->pid, status, timeoutMs);
  if (answer == 0) return;

  bool failed = false;
  std::uint32_t failure = 0;
  if (answer < 0) {
    failed = true;
    failure = LastSystemError();
    m_exitCodeValid = false;
  } else if (WIFEXITED(status)) {
    m_exitCode = static_cast<std::uint32_t>(WEXITSTATUS(status));
    m_exitCodeValid = true;
  } else {
    m_exitCode = kSignalExitBase + static_cast<std::uint32_t>(WTERMSIG(status));
    m_exitCodeValid = true;
  }
  m_process->pid = -1;
  m_finished = true;
  if (raise && failed) RaiseSystemError(failure);
}

}  // namespace n_zorbel::n_system
