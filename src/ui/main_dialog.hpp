#pragma once
// t_MainDialog: the whole dialog's behaviour, written once against the View
// port. It holds the dialog's state (options, the video list, the tag set,
// the cover, the run's job and the unpacked tool) and decides everything a
// user can observe that does not depend on the window system. The adapters
// forward events here and carry out what the View is asked to do.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "intake/path_queries.hpp"
#include "intake/video_file_list.hpp"
#include "preview/cover_image.hpp"
#include "preview/preview_geometry.hpp"
#include "system/text.hpp"
#include "tagging/command_line_check.hpp"
#include "tagging/tag_load.hpp"
#include "tagging/tag_set.hpp"
#include "tagging/tagging_job.hpp"
#include "ui/view.hpp"

namespace n_zorbel::n_ui {

// One entry of a drop: the whole path, or nothing when the window system
// could not hand it over whole.
using t_DroppedPath = std::optional<t_String>;

// What t_MainDialog is given by the program that starts it.
struct t_MainDialogSetup {
  // Handed to AddPath, first to last, when the dialog opens.
  std::vector<t_String> arguments;
  // The private workspace, ending with the separator; created by the first
  // run, removed with everything in it when t_MainDialog goes.
  t_String workspaceFolder;
  // Side of a preview checker cell (n_preview::CheckSizeForDpi).
  std::int32_t checkSize = 16;
};

// The system parts a run and the dialog reach, injected so tests can use fakes.
struct t_MainDialogPorts {
  n_tagging::t_JobSystem& jobSystem;  // workspace creation, unpacking (from the module), process start
  n_intake::t_PathQueries& paths;     // what a path is, what a folder holds
  n_preview::t_CoverDecoder& coverDecoder;
};

class t_MainDialog {
 public:
  static constexpr std::uint32_t kTickPeriodMs = 200;
  static constexpr std::int32_t kInitialYear = 2016;
  static constexpr std::uint32_t kLongestDroppedPath = 32768;

  t_MainDialog(const t_MainDialogSetup& setup, const t_MainDialogPorts& ports);
  // Ends a running tool, releases the unpacked tool and the cover, then
  // removes the workspace folder (failures there are ignored).
  ~t_MainDialog();
  t_MainDialog(const t_MainDialog&) = delete;
  t_MainDialog& operator=(const t_MainDialog&) = delete;

  // --- Events the adapter forwards -------------------------------------

  // After the adapter wired the window (back-pointer, drop target, icons):
  // year spin, texts, the system-menu item, the title, the command-line
  // paths, the list and the cover. Returns true (focus to the first tab stop).
  bool OnInitDialog(t_View& view);
  // Every command (button, menu item); what it does depends on whether a run is active.
  void OnCommand(int id);
  // The window's own menu; true when the command was ours (40101).
  bool OnSystemCommand(int id);
  // The periodic tick (any timer id).
  void OnTimerTick();
  // The close box, Alt+F4, the system menu's Close.
  void OnClose();
  // The user's session is ending: a run is stopped, then the dialog ends.
  void OnSessionEnding();
  // An input field refused what did not fit into it (typing, a paste).
  void OnFieldFull();
  // A menu is about to open; true when its check marks are ours.
  bool UpdateMenuChecks(t_MenuKind menu);
  // Non-client hit test at a screen point: true means "caption", so the
  // window is dragged by its background. The adapter stores the answer.
  bool HitTest(t_ScreenPoint point);
  // A right press on the background (arriving as non-client) at a screen point.
  void ShowPreviewMenu(t_ScreenPoint point);
  // The context-menu key or Shift+F10, wherever the focus is: the preview
  // menu opens at the preview's top-left corner.
  void ShowPreviewMenuFromKeyboard();
  // A drop of files and folders, in the drop's order; ignored during a run.
  // Entries that are missing, empty or longer than kLongestDroppedPath are skipped.
  void AcceptDrop(std::span<const t_DroppedPath> paths);
  // Paths a second start of the program handed to this window, taken as a
  // drop. During a run they wait and join the list when the run ends, however
  // it ends: the job reads the list by position, and a user who opened files
  // must not lose them.
  void AcceptHandedPaths(std::span<const t_DroppedPath> paths);

  // --- What the adapter reads to draw ----------------------------------

  n_preview::t_PreviewLayout PreviewLayout(std::int32_t itemWidth, std::int32_t itemHeight) const;
  const n_preview::t_CoverImage* Cover() const noexcept { return m_coverImage.get(); }
  t_String DropDescriptionText();  // string 121

  // --- State, for the adapters' drawing and for tests ------------------

  bool Running() const noexcept { return m_job != nullptr; }
  const n_tagging::t_TaggingJob* Job() const noexcept { return m_job.get(); }
  const n_intake::t_VideoFileList& VideoFiles() const noexcept { return m_videoFiles; }
  const n_tagging::t_TagSet& Tags() const noexcept { return m_tags; }
  bool RemoveBlank() const noexcept { return m_removeBlank; }
  bool AlwaysOnTop() const noexcept { return m_alwaysOnTop; }
  n_preview::t_PreviewOptions PreviewOptions() const noexcept {
    return {m_drawChecks, m_drawVideoReel, m_fitInto256};
  }
  std::int32_t CheckSize() const noexcept { return m_checkSize; }
  bool HasUnpackedTools() const noexcept { return m_tools != nullptr; }
  bool Loading() const noexcept { return m_load != nullptr; }

 private:
  void RefreshTitle();
  void ApplyRunState();
  void ShowVideoList();
  void ShowCoverPath();
  // Decodes the cover again; the preview repaints when the picture arrives.
  void ReloadCover();
  void RedrawCover();
  n_tagging::t_TagFieldTexts ReadTagFields();
  // The one message for values the platform cannot hand to the tagger, or
  // nothing when the line fits.
  std::optional<t_String> LineTooLongMessage(const n_tagging::t_TagFieldTexts& texts);
  // After each intake: says once how many paths were too long to be added.
  void ReportSkippedPaths();
  void StartRun();
  // Ends the run and tells a screen reader how it ended (string `endTextId`).
  void StopRun(int endTextId);
  // The first line names the stage and the code; the video and the tagger's
  // reason follow where there are such.
  t_String FailureMessage();
  // Loads the first video's tags and cover into the fields, through the tagger.
  void StartLoad();
  // Fills the fields from an ended load, or says why it did not.
  void FinishLoad();
  // The message that refuses a loaded value a field cannot take, if any.
  std::optional<t_String> LoadRefusal(const n_tagging::t_TagFieldTexts& fields);
  t_String LoadFailureMessage(const n_tagging::t_TagLoad& load);
  void OnCommandIdle(int id);
  void OnCommandRunning(int id);
  void BrowseVideos();
  void BrowseCover();
  void InsertGenre(int command);
  void ToggleAlwaysOnTop();
  void ShowAbout();
  void AddPath(t_StringView path);

  // Set by OnInitDialog; the dialog does nothing with a window before that.
  t_View* m_view = nullptr;
  t_MainDialogPorts m_ports;
  std::vector<t_String> m_arguments;
  t_String m_workspaceFolder;

  bool m_alwaysOnTop = false;
  bool m_drawChecks = true;
  bool m_drawVideoReel = true;
  bool m_fitInto256 = true;
  // True while the title carries progress, or still has to be reset; true at
  // the start so that the first refresh writes the title.
  bool m_titleShowsProgress = true;
  bool m_removeBlank = false;
  std::uint8_t m_lastPercent = 101;  // outside 0..100: nothing shown yet
  std::int32_t m_checkSize;

  std::unique_ptr<n_preview::t_CoverImage> m_coverImage;
  std::unique_ptr<n_tools::t_UnpackedTools> m_tools;  // filled by the first run, kept until the end
  n_intake::t_VideoFileList m_videoFiles;
  n_tagging::t_TagSet m_tags;
  std::unique_ptr<n_tagging::t_TaggingJob> m_job;  // exactly while a run is active
  std::unique_ptr<n_tagging::t_TagLoad> m_load;    // exactly while tags are loaded
  std::uint32_t m_loads = 0;
  // The cover file the last load extracted, ours to remove.
  t_String m_loadedCover;
  std::vector<t_DroppedPath> m_handedDuringRun;     // added when the run ends
};

}  // namespace n_zorbel::n_ui
