#include "tagging/tag_load.hpp"

#include <string>
#include <string_view>

#include "system/error.hpp"
#include "system/regular_file.hpp"
#include "tagging/command_line.hpp"

namespace n_zorbel::n_tagging {

namespace {

// A listing holds the values whole; one far beyond any tag a field takes is no listing to load.
constexpr std::uint64_t kLargestListing = 64ull << 20;

t_String Numbered(const t_String& folder, std::string_view name, std::uint32_t number) {
  const std::string text = std::string(name) + std::to_string(number);
  return folder + t_String(text.begin(), text.end());
}

}  // namespace

t_TagLoad::t_TagLoad(std::unique_ptr<n_tools::t_UnpackedTools>& tools, t_JobSystem& system,
                     const t_String& workspaceFolder, const t_String& video, std::uint32_t number)
    : m_tools(tools),
      m_system(system),
      m_workspaceFolder(workspaceFolder),
      m_video(video),
      m_listPath(Numbered(workspaceFolder, "tags-", number) + ZTEXT(".txt")),
      m_coverPath(Numbered(workspaceFolder, "cover-", number)) {}

t_TagLoad::~t_TagLoad() {
  // The tool ends before its files go.
  m_child.reset();
  m_system.RemoveFile(m_listPath);
  if (!m_coverPath.empty()) m_system.RemoveFile(m_coverPath);
}

t_String t_TagLoad::TakeCover() noexcept {
  t_String cover;
  if (m_tags.hasCover) cover.swap(m_coverPath);
  return cover;
}

void t_TagLoad::Step() noexcept {
  if (m_failed || Done()) return;
  try {
    do {
      m_runOn = false;
      RunState();
    } while (m_runOn);
  } catch (const n_system::t_ErrorException& error) {
    m_errorCode = error.Code();
    m_failed = true;
  } catch (...) {
    m_errorCode = n_system::kCodeUnexpected;
    m_failed = true;
  }
}

void t_TagLoad::RunState() {
  switch (m_state) {
    case t_State::Start:
      if (!m_tools) {
        m_errorStage = t_ErrorStage::CreateTempFolder;
        m_system.CreateWorkspace(m_workspaceFolder);
        m_errorStage = t_ErrorStage::UnpackTools;
        m_tools = m_system.UnpackTools(m_workspaceFolder);
      }
      StartTool(ZTEXT(" -list-meta:machine -output:"), m_listPath);
      m_state = t_State::PollList;
      return;
    case t_State::PollList: {
      if (!ToolEnded()) return;
      const auto listing = n_system::ReadRegularFile(m_listPath, kLargestListing);
      if (!listing) n_system::RaiseSystemError(n_system::kErrorInvalidData);
      m_tags = ReadListing(std::string_view(reinterpret_cast<const char*>(listing->data()), listing->size()));
      if (!m_tags.hasCover) {
        m_state = t_State::Done;
        return;
      }
      m_coverPath += m_tags.coverExtension;
      StartTool(ZTEXT(" -extract-cover:1:"), m_coverPath);
      m_state = t_State::PollCover;
      return;
    }
    case t_State::PollCover:
      if (ToolEnded()) m_state = t_State::Done;
      return;
    case t_State::Done:
      return;
  }
}

void t_TagLoad::StartTool(t_StringView options, const t_String& file) {
  m_errorStage = t_ErrorStage::RunTool;
  // The tagger creates the file anew and never writes over one: a file an
  // earlier program run left under this name goes first.
  m_system.RemoveFile(file);
  m_child = m_system.Runner().Start(m_tools->ToolLaunchPath(), ReadCommandLine(options, file, m_video));
}

bool t_TagLoad::ToolEnded() {
  m_errorStage = t_ErrorStage::ToolExit;
  m_child->Finish(0, true);
  if (!m_child->Finished()) return false;
  if (!m_child->ExitCodeValid()) n_system::RaiseCode(n_system::kCodeUnexpected);
  if (m_child->ExitCode() != 0) {
    m_toolExitCode = m_child->ExitCode();
    n_system::RaiseSystemError(m_toolExitCode);
  }
  m_runOn = true;
  return true;
}

}  // namespace n_zorbel::n_tagging
