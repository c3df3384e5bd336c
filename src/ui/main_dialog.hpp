#pragma once
// MainDialog: the whole dialog's behaviour, written once against the View
// port. It holds the dialog's state (options, the video list, the tag set,
// the cover, the run's job and the unpacked tool) and decides everything a
// user can observe that does not depend on the window system. The adapters
// forward events here and carry out what the View is asked to do.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "intake/path_queries.hpp"
#include "intake/video_file_list.hpp"
#include "preview/cover_image.hpp"
#include "preview/preview_geometry.hpp"
#include "system/text.hpp"
#include "tagging/tag_set.hpp"
#include "tagging/tagging_job.hpp"
#include "ui/view.hpp"

namespace n_zorbel::n_ui {

// The paths of one drop, asked for one at a time as the shell's dropped-file
// list gives them: the count, each path's length in characters, then the
// characters into a buffer of `capacity` units (NUL included); the result is
// the count copied without the NUL.
class DroppedPaths {
 public:
  virtual ~DroppedPaths() = default;
  virtual std::uint32_t Count() = 0;
  virtual std::uint32_t Length(std::uint32_t index) = 0;
  virtual std::uint32_t Fetch(std::uint32_t index, t_Char* buffer, std::uint32_t capacity) = 0;
};

// A drop whose paths are already at hand (a list of file addresses).
class t_PathListDrop final : public DroppedPaths {
 public:
  explicit t_PathListDrop(std::span<const t_String> paths) noexcept : m_paths(paths) {}
  std::uint32_t Count() override;
  std::uint32_t Length(std::uint32_t index) override;
  std::uint32_t Fetch(std::uint32_t index, t_Char* buffer, std::uint32_t capacity) override;

 private:
  std::span<const t_String> m_paths;
};

// What MainDialog is given by the program that starts it.
struct t_MainDialogSetup {
  // Handed to AddPath, first to last, when the dialog opens.
  std::vector<t_String> arguments;
  // The private workspace, ending with the separator; created by the first
  // run, removed with everything in it when MainDialog goes.
  t_String workspaceFolder;
  // Side of a preview checker cell (n_preview::CheckSizeForDpi).
  std::int32_t checkSize = 16;
};

// The system parts a run and the dialog reach, injected so tests can use fakes.
struct t_MainDialogPorts {
  n_tagging::JobSystem& jobSystem;  // workspace creation, unpacking (from the module), process start
  n_intake::t_PathQueries& paths;   // what a path is, what a folder holds
  n_preview::CoverDecoder& coverDecoder;
};

class MainDialog {
 public:
  static constexpr std::uint32_t kTickPeriodMs = 200;
  static constexpr std::int32_t kInitialYear = 2016;
  static constexpr std::uint32_t kLongestDroppedPath = 32768;

  MainDialog(const t_MainDialogSetup& setup, const t_MainDialogPorts& ports);
  // Ends a running tool, releases the unpacked tool and the cover, then
  // removes the workspace folder (failures there are ignored).
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // --- Events the adapter forwards -------------------------------------

  // After the adapter wired the window (back-pointer, drop target, icons):
  // year spin, texts, the system-menu item, the title, the command-line
  // paths, the list and the cover. Returns true (focus to the first tab stop).
  bool OnInitDialog(View& view);
  // Every command (button, menu item); dispatched to the handler in force.
  void OnCommand(int notificationCode, int id);
  // The window's own menu; true when the command was ours (40101).
  bool OnSystemCommand(int id);
  // The periodic tick (any timer id).
  void OnTimerTick();
  // The close box, Alt+F4, the system menu's Close.
  void OnClose();
  // The end of the user's session: `ending` is WM_ENDSESSION's wParam,
  // `flags` its lParam (ENDSESSION_CLOSEAPP 1, ENDSESSION_CRITICAL 0x40000000).
  void OnEndSession(bool ending, std::uint32_t flags);
  // A menu is about to open; true when its check marks are ours.
  bool UpdateMenuChecks(Menu menu);
  // Non-client hit test at a screen point: true means "caption", so the
  // window is dragged by its background. The adapter stores the answer.
  bool HitTest(t_ScreenPoint point);
  // A right press on the background (arriving as non-client) at a screen point.
  void ShowPreviewMenu(t_ScreenPoint point);
  // A drop of files and folders; ignored during a run.
  void AcceptDrop(DroppedPaths& paths);

  // --- What the adapter reads to draw ----------------------------------

  n_preview::t_PreviewLayout PreviewLayout(std::int32_t itemWidth, std::int32_t itemHeight) const;
  const n_preview::CoverImage* Cover() const noexcept { return m_coverImage.get(); }
  t_String DropDescriptionText();  // string 121

  // --- The operations, by name -----------------------------------------

  void RefreshTitle();
  void ApplyRunState();
  void ShowVideoList();
  void ShowCoverPath();
  void ReloadCover();
  // The whole text of a control, or empty when it cannot be read consistently.
  void ReadControlText(int control, t_String& text);
  bool GatherTagSet();
  void StartRun();
  void StopRun();
  // The first line names the stage and the code; the video and the tagger's
  // reason follow where there are such.
  t_String FailureMessage();
  void OnCommandIdle(int notificationCode, int id);
  void OnCommandRunning(int notificationCode, int id);
  void InsertGenre(int command);
  void ToggleAlwaysOnTop();
  void ShowAbout();
  void LoadCoverImage(const t_String& path);

  // Both edges count as inside: one pixel more than the platforms' own test.
  static bool PointInRect(t_ScreenPoint topLeft, t_ScreenPoint bottomRight, t_ScreenPoint point) noexcept;
  // A point packed in a message's lParam: x in the low word, y in the high
  // word, both signed 16-bit.
  static t_ScreenPoint UnpackPoint(std::uint32_t lParam) noexcept;

  // --- State, for the adapters' drawing and for tests ------------------

  bool Running() const noexcept { return m_job != nullptr; }
  const n_tagging::TaggingJob* Job() const noexcept { return m_job.get(); }
  const n_intake::VideoFileList& VideoFiles() const noexcept { return m_videoFiles; }
  const n_tagging::TagSet& Tags() const noexcept { return m_tags; }
  bool RemoveBlank() const noexcept { return m_removeBlank; }
  bool AlwaysOnTop() const noexcept { return m_alwaysOnTop; }
  n_preview::t_PreviewOptions PreviewOptions() const noexcept {
    return {m_drawChecks, m_drawVideoReel, m_fitInto256};
  }
  std::int32_t CheckSize() const noexcept { return m_checkSize; }
  bool HasUnpackedTools() const noexcept { return m_tools != nullptr; }

 private:
  using t_CommandHandler = void (MainDialog::*)(int notificationCode, int id);

  void PickFiles(int typeTextId, t_StringView defaultExtension, t_StringView pattern, bool multiSelect,
                 bool pickFolders, bool videos);
  void AddPath(t_StringView path);

  // Set by OnInitDialog; the dialog does nothing with a window before that.
  View* m_view = nullptr;
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

  std::unique_ptr<n_preview::CoverImage> m_coverImage;
  std::unique_ptr<n_tools::UnpackedTools> m_tools;  // filled by the first run, kept until the end
  t_CommandHandler m_onCommand = &MainDialog::OnCommandIdle;
  n_intake::VideoFileList m_videoFiles;
  n_tagging::TagSet m_tags;
  std::unique_ptr<n_tagging::TaggingJob> m_job;  // exactly while a run is active
  t_String m_scratch;                            // reused work text; its content never outlives one operation
};

}  // namespace n_zorbel::n_ui
