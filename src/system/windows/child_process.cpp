#include "system/child_process.hpp"

#include <windows.h>

#include <vector>

#include "system/error.hpp"

namespace n_zorbel::n_system {

struct ChildProcess::t_Process {
  HANDLE handle = nullptr;
};

namespace {

// Recorded for a wait reported as abandoned; raised converted like every
// other recorded failure.
constexpr std::uint32_t kWaitAbandonedFailure = 713;

}  // namespace

ChildProcess::ChildProcess(const t_String& application, const t_String& commandLine)
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
  m_process->handle = started.hProcess;
  if (!CloseHandle(started.hThread)) {
    // No ChildProcess will own the tool, so it must not run on unowned.
    const DWORD error = GetLastError();
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, INFINITE);
    CloseHandle(started.hProcess);
    RaiseSystemError(error);
  }
}

ChildProcess::~ChildProcess() {
  if (m_finished) return;
  // Close the handle only once the process has really gone.
  TerminateProcess(m_process->handle, 0);
  Finish(kWaitForever, false);
}

void ChildProcess::Finish(std::uint32_t timeoutMs, bool raise) {
  if (m_finished) return;
  const DWORD wait = WaitForSingleObject(m_process->handle, timeoutMs);
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
    if (GetExitCodeProcess(m_process->handle, &code)) {
      m_exitCode = code;
      m_exitCodeValid = true;
    } else {
      m_exitCodeValid = false;
      failed = true;
      failure = GetLastError();
    }
  }
  if (!CloseHandle(m_process->handle)) {
    failed = true;
    failure = GetLastError();
  }
  m_process->handle = nullptr;
  m_finished = true;
  if (raise && failed) RaiseSystemError(failure);
}

}  // namespace n_zorbel::n_system
