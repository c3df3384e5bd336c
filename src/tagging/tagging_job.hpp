#pragma once
// Writes one tag set into every video of a list, one tool process at a time.
// It has no thread: the dialog's timer calls Step, which runs states until
// one has to wait for the tool, and returns without waiting. The first
// failure of any kind ends the batch with a stage and a code.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "intake/video_file_list.hpp"
#include "system/child_process.hpp"
#include "system/text.hpp"
#include "tagging/error_stage.hpp"
#include "tagging/job_system.hpp"
#include "tagging/tag_set.hpp"
#include "tools/unpacked_tools.hpp"

namespace n_zorbel::n_tagging {

class t_TaggingJob {
 public:
  // `tools` is the caller's slot for the unpacked tool: filled by the first
  // run that unpacks it and kept after the job. Everything referred to
  // outlives the job; `videoFiles` is not empty and does not change meanwhile.
  t_TaggingJob(std::unique_ptr<n_tools::t_UnpackedTools>& tools, t_JobSystem& system,
               const t_String& workspaceFolder, const n_intake::t_VideoFileList& videoFiles,
               const t_TagSet& tags, bool removeBlank);
  // Stops a tool that still runs (terminated and waited for).
  ~t_TaggingJob();
  t_TaggingJob(const t_TaggingJob&) = delete;
  t_TaggingJob& operator=(const t_TaggingJob&) = delete;

  // Advances as far as possible without waiting. Never raises: a failure
  // sets Failed() with the stage under way and the code. A done or failed
  // job is left as it is.
  void Step() noexcept;

  bool Done() const noexcept { return m_currentFile == m_videoFiles.Size(); }
  bool Failed() const noexcept { return m_failed; }
  t_ErrorStage Stage() const noexcept { return m_errorStage; }
  std::int32_t ErrorCode() const noexcept { return m_errorCode; }
  // The exit code of a tool that ended with one other than 0; 0 otherwise.
  std::uint32_t ToolExitCode() const noexcept { return m_toolExitCode; }
  // True when the run failed because the current video had become a link
  // since it was listed (its code is "stopped on a symbolic link").
  bool RefusedLink() const noexcept { return m_refusedLink; }
  // The file being tagged; equal to the list's size when done.
  std::size_t CurrentFile() const noexcept { return m_currentFile; }

 private:
  enum class t_State : std::uint8_t { SetUp, StartNextFile, PollTool, AdvanceFile };

  void RunState();
  void SetUp();
  void StartNextFile();
  void PollTool();
  void AdvanceFile();

  t_State m_state = t_State::SetUp;
  std::unique_ptr<n_tools::t_UnpackedTools>& m_tools;
  t_JobSystem& m_system;
  const t_String m_workspaceFolder;  // a copy: cheap, and it cannot dangle
  t_String m_commandLine;
  const n_intake::t_VideoFileList& m_videoFiles;
  std::size_t m_currentFile = 0;
  const t_TagSet& m_tags;
  bool m_removeBlank;
  bool m_runOn = false;
  bool m_failed = false;
  bool m_refusedLink = false;
  t_ErrorStage m_errorStage = t_ErrorStage::None;
  std::int32_t m_errorCode = 0;
  std::uint32_t m_toolExitCode = 0;
  std::unique_ptr<n_system::t_ToolProcess> m_child;
};

}  // namespace n_zorbel::n_tagging
