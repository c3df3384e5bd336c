#include "system/child_process.hpp"

#include <windows.h>

#include <string>
#include <vector>

#include "system/error.hpp"
#include "system/windows/handle.hpp"

namespace n_zorbel::n_system {

struct t_ChildProcess::t_Process {
  n_detail::t_Handle handle;
};

namespace {

// Recorded for a wait reported as abandoned; raised converted like every
// other recorded failure.
constexpr std::uint32_t kWaitAbandonedFailure = 713;

}  // namespace

t_ChildProcess::t_ChildProcess(const t_String& application, const t_String& commandLine)
    : m_process(std::make_unique<t_Process>()) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;

  // CreateProcessW may write into the command line, so it gets its own copy.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');

  PROCESS_INFORMATION started{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, IDLE_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &started)) {
    RaiseLastError();
  }
  m_process->handle = n_detail::t_Handle(started.hProcess);
  n_detail::t_Handle thread(started.hThread);
  try {
    thread.Close();
  } catch (const t_ErrorException&) {
    // No t_ChildProcess will own the tool, so it must not run on unowned.
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, INFINITE);
    throw;
  }
}

t_ChildProcess::~t_ChildProcess() {
  if (m_finished) return;
  // Asked first, ntag removes what it wrote before it goes (its stop event, named after its
  // process; another tool has none). Close the handle only once the process has really gone.
  const std::wstring name = L"Local\\ntag-stop-" + std::to_wstring(GetProcessId(m_process->handle.Get()));
  if (const n_detail::t_Handle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())); !stop.IsEmpty()) {
    SetEvent(stop.Get());
    Finish(kStopGraceMs, false);
    if (m_finished) return;
  }
  TerminateProcess(m_process->handle.Get(), 0);
  Finish(kWaitForever, false);
}

void t_ChildProcess::Finish(std::uint32_t timeoutMs, bool raise) {
  if (m_finished) return;
  const DWORD wait = WaitForSingleObject(m_process->handle.Get(), timeoutMs);
  if (wait == WAIT_TIMEOUT) return;

  bool failed = false;
  std::uint32_t failure = 0;
  bool readExitCode = true;
  if (wait == WAIT_ABANDONED) {
    failed = true;
    failure = kWaitAbandonedFailure;
  } else if (wait != WAIT_OBJECT_0) {
    failed = true;
    failure = GetLastError();
    readExitCode = false;
  }
  if (readExitCode) {
    DWORD code = 0;
    if (GetExitCodeProcess(m_process->handle.Get(), &code)) {
      m_exitCode = code;
      m_exitCodeValid = true;
    } else {
      m_exitCodeValid = false;
      failed = true;
      failure = GetLastError();
    }
  }
  m_finished = true;
  // Without `raise` this is teardown: the destructor's owner releases the
  // handle then.
  if (!raise) return;
  m_process->handle.Close();
  if (failed) RaiseSystemError(failure);
}

}  // namespace n_zorbel::n_system
