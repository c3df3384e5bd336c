#include "tagging/tagging_job.hpp"

#include <array>

#include "system/error.hpp"
#include "tagging/command_line.hpp"

namespace n_zorbel::n_tagging {

t_StringView ErrorStageMessage(t_ErrorStage stage) noexcept {
  static constexpr std::array<t_StringView, 7> kMessages = {
      ZTEXT("none"),
      ZTEXT("failed to create temp folder"),
      ZTEXT("failed to delete temp folder"),
      ZTEXT("failed to unpack tools"),
      ZTEXT("failed to run neroAACTag"),
      ZTEXT("neroAACTag process did not exit gracefully"),
      ZTEXT("unknown"),
  };
  const auto index = static_cast<std::size_t>(stage);
  return index < kMessages.size() ? kMessages[index] : kMessages.back();
}

t_TaggingJob::t_TaggingJob(std::unique_ptr<n_tools::t_UnpackedTools>& tools, t_JobSystem& system,
                           const t_String& workspaceFolder, const n_intake::t_VideoFileList& videoFiles,
                           const t_TagSet& tags, bool removeBlank)
    : m_tools(tools),
      m_system(system),
      m_workspaceFolder(workspaceFolder),
      m_videoFiles(videoFiles),
      m_tags(tags),
      m_removeBlank(removeBlank) {}

t_TaggingJob::~t_TaggingJob() {
  // A running tool is terminated and waited for before anything else goes,
  // so no tool uses the workspace once the job is gone.
  m_child.reset();
}

void t_TaggingJob::Step() noexcept {
  if (m_failed || Done()) return;
  try {
    do {
      RunState();
    } while (m_runOn);
  } catch (const n_system::t_ErrorException& error) {
    m_errorCode = error.Code();
    m_runOn = false;
    m_failed = true;
  } catch (...) {
    m_errorCode = n_system::kCodeUnexpected;
    m_runOn = false;
    m_failed = true;
  }
}

void t_TaggingJob::RunState() {
  switch (m_state) {
    case t_State::SetUp:
      return SetUp();
    case t_State::StartNextFile:
      return StartNextFile();
    case t_State::PollTool:
      return PollTool();
    case t_State::AdvanceFile:
      return AdvanceFile();
  }
}

void t_TaggingJob::SetUp() {
  if (!m_tools) {
    m_errorStage = t_ErrorStage::CreateTempFolder;
    m_system.CreateWorkspace(m_workspaceFolder);
    m_errorStage = t_ErrorStage::UnpackTools;
    // The slot is filled only with a complete tool; a failure leaves it
    // empty, so the next run tries again.
    m_tools = m_system.UnpackTools(m_workspaceFolder);
  }
  m_state = t_State::StartNextFile;
  m_runOn = true;
}

void t_TaggingJob::StartNextFile() {
  m_errorStage = t_ErrorStage::RunTool;
  // Asked right before the start: a video swapped for a link since it was
  // listed would have the link's target tagged instead.
  if (m_videoFiles.BecameLink(m_currentFile)) {
    m_refusedLink = true;
    n_system::RaiseSystemError(n_system::kErrorStoppedOnSymlink);
  }
  BuildCommandLine(m_tags, m_removeBlank, m_videoFiles[m_currentFile], m_commandLine);
  // A failed start leaves the previous (finished) child in place.
  std::unique_ptr<n_system::t_ToolProcess> started =
      m_system.Runner().Start(m_tools->ToolLaunchPath(), m_commandLine);
  m_child = std::move(started);
  m_state = t_State::PollTool;
  m_runOn = false;
}

void t_TaggingJob::PollTool() {
  m_errorStage = t_ErrorStage::ToolExit;
  m_child->Finish(0, true);
  if (!m_child->Finished()) return;
  // Only a read exit code of 0 accepts the file. Any other exit code is
  // reported as a system error code (converted; status codes stay).
  if (!m_child->ExitCodeValid()) n_system::RaiseCode(n_system::kCodeUnexpected);
  if (m_child->ExitCode() != 0) {
    m_toolExitCode = m_child->ExitCode();
    n_system::RaiseSystemError(m_toolExitCode);
  }
  m_state = t_State::AdvanceFile;
  m_runOn = true;
}

void t_TaggingJob::AdvanceFile() {
  ++m_currentFile;
  m_state = t_State::StartNextFile;
  m_runOn = !Done();
}

}  // namespace n_zorbel::n_tagging
