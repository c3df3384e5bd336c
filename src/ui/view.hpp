#pragma once
// The View port: everything the dialog asks of a window system, named for
// what it does. t_MainDialog decides; an adapter (Win32, Qt) only carries the
// request out, and turns the window system's events into t_MainDialog calls.
#include <cstdint>
#include <optional>
#include <vector>

#include "system/text.hpp"

namespace n_zorbel::n_ui {

// Taskbar button progress states, numbered as ITaskbarList3's TBPF values.
enum class t_TaskbarState : std::uint8_t { NoProgress = 0, Normal = 2, Error = 4 };

// The menus whose check marks the dialog sets.
enum class t_MenuKind : std::uint8_t { System, Preview, Genre, Other };

// A point or rectangle in screen pixels. A rectangle's right and bottom are
// the first coordinates past it, as the platforms report them.
struct t_ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const t_ScreenPoint&, const t_ScreenPoint&) = default;
};
struct t_ScreenRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const t_ScreenRect&, const t_ScreenRect&) = default;
};

// One file-open picker, modal over the dialog.
struct t_PickRequest {
  t_String fileTypeName;      // a localized type name (file mode only)
  t_String defaultExtension;  // without the dot (file mode only)
  t_String pattern;           // "*.mp4" or "*.jpg;*.png" (file mode only)
  bool multiSelect = false;
  bool pickFolders = false;  // folder mode: no extension, no file types
  friend bool operator==(const t_PickRequest&, const t_PickRequest&) = default;
};

// The About box: a title, the product's two fixed lines, a footer link that
// shows `linkAddress`; a click on it opens `clickAddress` whatever the link says.
struct t_AboutBox {
  t_String title;
  t_String versionLine;
  t_String developerLine;
  t_String linkAddress;
  t_String clickAddress;
  friend bool operator==(const t_AboutBox&, const t_AboutBox&) = default;
};

class t_View {
 public:
  virtual ~t_View() = default;

  virtual void SetControlText(int control, const t_String& text) = 0;
  // The whole text of a control, or empty when it cannot be read whole (a
  // control that changes while it is read).
  virtual t_String ControlText(int control) = 0;
  // An id without a control is skipped.
  virtual void EnableControl(int control, bool enabled) = 0;
  virtual bool IsChecked(int control) = 0;
  // The most characters (UTF-16 units, line breaks as CR LF) the user can
  // put into an input field; what does not fit of a typing or a paste is
  // left out, and the adapter tells t_MainDialog::OnFieldFull.
  virtual void LimitField(int control, std::int32_t characters) = 0;
  // The platform's warning sound.
  virtual void Beep() = 0;
  // The year spin: its range, then its position, which it writes into its field.
  virtual void SetYearSpin(std::int32_t minimum, std::int32_t maximum, std::int32_t position) = 0;

  virtual void SetTitle(const t_String& title) = 0;

  // What a screen reader says of a control in place of its visible text,
  // and its longer description (empty: none); the visible text stays.
  virtual void SetAccessibleText(int control, const t_String& name, const t_String& description) = 0;
  // Tells a screen reader something that no control shows, once.
  virtual void Announce(const t_String& text) = 0;

  // The periodic tick delivered to t_MainDialog::OnTimerTick on the dialog's thread.
  virtual void StartTick(std::uint32_t periodMs) = 0;
  virtual void StopTick() = 0;

  // A modal message with only an OK button; returns when it is closed.
  virtual void ShowMessage(const t_String& text, const t_String& caption) = 0;
  // Draws attention once (FlashWindow with bInvert false).
  virtual void FlashWindow() = 0;
  // Taskbar progress; ignored while the platform offers no taskbar button.
  virtual void SetTaskbarState(t_TaskbarState state) = 0;
  virtual void SetTaskbarValue(std::uint64_t completed, std::uint64_t total) = 0;

  // Invalidates the preview and repaints it at once.
  virtual void RepaintPreview() = 0;

  // Runs the picker; the chosen paths in the picker's order, none when it was
  // cancelled or could not be shown. Items whose path cannot be had are left out.
  virtual std::vector<t_String> PickFiles(const t_PickRequest& request) = 0;

  // Pops up the genre menu beside the "+" button; a choice comes back as a command.
  virtual void PopUpGenreMenu() = 0;
  // The text of a genre menu item as the menu holds it; nothing when it cannot be read.
  virtual std::optional<t_String> GenreItemText(int command) = 0;
  // Pops up the preview menu with its top-left corner at `at` (screen pixels).
  virtual void PopUpPreviewMenu(t_ScreenPoint at) = 0;
  virtual void SetMenuCheck(t_MenuKind menu, int command, bool checked) = 0;
  virtual void EnableMenuItem(t_MenuKind menu, int command, bool enabled) = 0;
  // Puts "Always on top" (command 40101) and a separator at the top of the
  // window's own menu.
  virtual void AddAlwaysOnTopItem(const t_String& text) = 0;

  virtual t_ScreenRect ClientRectOnScreen() = 0;
  virtual t_ScreenRect PreviewRectOnScreen() = 0;

  virtual void OpenWebPage(const t_String& address) = 0;
  // Modal; returns when the box is closed.
  virtual void ShowAbout(const t_AboutBox& about) = 0;
  // Moves the window into (true) or out of the topmost band.
  virtual void SetTopmost(bool topmost) = 0;
  virtual bool IsCtrlDown() = 0;

  // The text of string id 101 to 154 in the interface language.
  virtual t_String LoadText(int id) = 0;

  // Ends the modal dialog with result 0.
  virtual void EndDialog() = 0;
};

}  // namespace n_zorbel::n_ui
