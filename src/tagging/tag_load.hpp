#pragma once
// Reads one video's tags and first cover through the tagger into files of
// the workspace. Like the tagging job it has no thread: the dialog's timer
// calls Step, which starts the tool or looks whether it ended, never waiting
// for it. The first failure ends the load with a stage and a code.
#include <cstdint>
#include <memory>

#include "system/child_process.hpp"
#include "system/text.hpp"
#include "tagging/error_stage.hpp"
#include "tagging/job_system.hpp"
#include "tagging/listed_tags.hpp"
#include "tools/unpacked_tools.hpp"

namespace n_zorbel::n_tagging {

class t_TagLoad {
 public:
  // As for t_TaggingJob, `tools` is the caller's slot for the unpacked tool.
  // `number` keeps this load's files apart from those of the loads before.
  t_TagLoad(std::unique_ptr<n_tools::t_UnpackedTools>& tools, t_JobSystem& system,
            const t_String& workspaceFolder, const t_String& video, std::uint32_t number);
  // Stops a tool that still runs; removes the cover file unless it was taken.
  ~t_TagLoad();
  t_TagLoad(const t_TagLoad&) = delete;
  t_TagLoad& operator=(const t_TagLoad&) = delete;

  // Advances as far as possible without waiting; never raises.
  void Step() noexcept;

  bool Done() const noexcept { return m_state == t_State::Done; }
  bool Failed() const noexcept { return m_failed; }
  t_ErrorStage Stage() const noexcept { return m_errorStage; }
  std::int32_t ErrorCode() const noexcept { return m_errorCode; }
  // The tagger's exit code when it ended with one other than 0; 0 otherwise.
  std::uint32_t ToolExitCode() const noexcept { return m_toolExitCode; }
  const t_String& Video() const noexcept { return m_video; }
  // What the video holds; complete once Done.
  const t_ListedTags& Tags() const noexcept { return m_tags; }
  // The extracted cover's path (empty when the video has none); from now on
  // the caller removes the file.
  t_String TakeCover() noexcept;

 private:
  enum class t_State : std::uint8_t { Start, PollList, PollCover, Done };

  void RunState();
  // Starts the tagger on `options` and `file`, a new name in the workspace.
  void StartTool(t_StringView options, const t_String& file);
  // True once the tool ended with 0; raises its exit code otherwise.
  bool ToolEnded();

  t_State m_state = t_State::Start;
  std::unique_ptr<n_tools::t_UnpackedTools>& m_tools;
  t_JobSystem& m_system;
  const t_String m_workspaceFolder;
  const t_String m_video;
  const t_String m_listPath;
  t_String m_coverPath;
  t_ListedTags m_tags;
  bool m_runOn = false;
  bool m_failed = false;
  t_ErrorStage m_errorStage = t_ErrorStage::None;
  std::int32_t m_errorCode = 0;
  std::uint32_t m_toolExitCode = 0;
  std::unique_ptr<n_system::t_ToolProcess> m_child;
};

}  // namespace n_zorbel::n_tagging
