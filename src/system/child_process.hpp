#pragma once
// One tool process: started hidden at the lowest priority, polled without
// waiting, killed and waited for when destroyed before it ended.
#include <cstdint>
#include <memory>

#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system {

inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;
// How long a tool stopped before its end has to remove what it wrote (ntag answers within
// milliseconds, or once a step that must end whole has ended) before it is killed.
inline constexpr std::uint32_t kStopGraceMs = 1000;

// What the tagging job needs of a running tool (so it can run against fakes).
class t_ToolProcess {
 public:
  virtual ~t_ToolProcess() = default;
  // Waits up to timeoutMs; once the process ended, reads its exit code and
  // marks it finished. Raises the recorded failure only when `raise` is true.
  virtual void Finish(std::uint32_t timeoutMs, bool raise) = 0;
  virtual bool Finished() const noexcept = 0;
  virtual bool ExitCodeValid() const noexcept = 0;
  virtual std::uint32_t ExitCode() const noexcept = 0;
};

class t_ProcessRunner {
 public:
  virtual ~t_ProcessRunner() = default;
  // Starts `application` with `commandLine` (Windows argument rules); raises on failure.
  virtual std::unique_ptr<t_ToolProcess> Start(const t_String& application, const t_String& commandLine) = 0;
};

// Windows: CreateProcessW, hidden, IDLE_PRIORITY_CLASS, handles inherited.
// POSIX: the command line is split by the Windows rules into the arguments
// (the first one is argv[0]); stdin is /dev/null, CPU and I/O priority idle.
// A POSIX child ended by a signal reports exit code 128 + the signal number.
// Destroyed before its end, the tool is asked to stop (POSIX SIGTERM; Windows the event
// "Local\ntag-stop-PID", which ntag waits on), given kStopGraceMs, then killed.
class t_ChildProcess final : public t_ToolProcess {
 public:
  // Raises the system error (converted) when the tool cannot be started,
  // e.g. 0x80070002 for a missing program on both platforms.
  t_ChildProcess(const t_String& application, const t_String& commandLine);
  ~t_ChildProcess() override;
  t_ChildProcess(const t_ChildProcess&) = delete;
  t_ChildProcess& operator=(const t_ChildProcess&) = delete;
  t_ChildProcess(t_ChildProcess&&) = delete;
  t_ChildProcess& operator=(t_ChildProcess&&) = delete;

  void Finish(std::uint32_t timeoutMs, bool raise) override;
  bool Finished() const noexcept override { return m_finished; }
  bool ExitCodeValid() const noexcept override { return m_exitCodeValid; }
  std::uint32_t ExitCode() const noexcept override { return m_exitCode; }

 private:
  struct t_Process;  // the platform's process handle
  std::unique_ptr<t_Process> m_process;
  std::uint32_t m_exitCode = 0;
  bool m_exitCodeValid = false;
  bool m_finished = false;
};

// The real runner: starts a t_ChildProcess.
class t_ChildProcessRunner final : public t_ProcessRunner {
 public:
  std::unique_ptr<t_ToolProcess> Start(const t_String& application, const t_String& commandLine) override;
};

}  // namespace n_zorbel::n_system
