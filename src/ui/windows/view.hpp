#pragma once
// The Win32 adapter: dialog 203 run modally, every window message turned into
// a t_MainDialog call, and the View carried out with HWNDs, menus, GDI/GDI+,
// the taskbar button, the file-open picker, the About task dialog and the
// OLE drop target. It decides nothing itself.
#include <exception>
#include <optional>
#include <vector>

#include "system/windows/handle.hpp"
#include "ui/main_dialog.hpp"
#include "ui/view.hpp"
#include "ui/windows/com_ptr.hpp"
#include "ui/windows/drop_target.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

// Icon sizes of the display, read once at start-up.
struct t_IconSizes {
  int bigWidth = 32;
  int bigHeight = 32;
  int smallWidth = 16;
  int smallHeight = 16;
};

class t_Win32View final : public t_View, private t_DropSink {
 public:
  // Loads what the window needs before it exists: the drop helper, the
  // taskbar's registered message, menus 207 and 208, bitmaps 205 and 206.
  t_Win32View(HINSTANCE module, t_MainDialog& dialog, const t_IconSizes& iconSizes) noexcept;
  ~t_Win32View() override;
  t_Win32View(const t_Win32View&) = delete;
  t_Win32View& operator=(const t_Win32View&) = delete;

  // Runs dialog 203 modally and returns its result (DialogBoxParamW's own
  // failure value unchanged). An exception raised while a message was handled
  // ends the dialog and is raised again from here.
  INT_PTR Run();

  // --- View ------------------------------------------------------------------
  void SetControlText(int control, const t_String& text) override;
  t_String ControlText(int control) override;
  void EnableControl(int control, bool enabled) override;
  bool IsChecked(int control) override;
  void LimitField(int control, std::int32_t characters) override;
  void Beep() override;
  void SetYearSpin(std::int32_t minimum, std::int32_t maximum, std::int32_t position) override;
  void SetTitle(const t_String& title) override;
  void SetAccessibleText(int control, const t_String& name, const t_String& description) override;
  void Announce(const t_String& text) override;
  void StartTick(std::uint32_t periodMs) override;
  void StopTick() override;
  void ShowMessage(const t_String& text, const t_String& caption) override;
  void FlashWindow() override;
  void SetTaskbarState(t_TaskbarState state) override;
  void SetTaskbarValue(std::uint64_t completed, std::uint64_t total) override;
  void RepaintPreview() override;
  std::vector<t_String> PickFiles(const t_PickRequest& request) override;
  void PopUpGenreMenu() override;
  std::optional<t_String> GenreItemText(int command) override;
  void PopUpPreviewMenu(t_ScreenPoint at) override;
  void SetMenuCheck(t_MenuKind menu, int command, bool checked) override;
  void EnableMenuItem(t_MenuKind menu, int command, bool enabled) override;
  void AddAlwaysOnTopItem(const t_String& text) override;
  t_ScreenRect ClientRectOnScreen() override;
  t_ScreenRect PreviewRectOnScreen() override;
  void OpenWebPage(const t_String& address) override;
  void ShowAbout(const t_AboutBox& about) override;
  void SetTopmost(bool topmost) override;
  bool IsCtrlDown() override;
  t_String LoadText(int id) override;
  void EndDialog() override;

 private:
  static INT_PTR CALLBACK InitialProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK ForwardingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Runs `handler`; an exception is kept for Run and ends the dialog.
  template <typename F>
  INT_PTR Guarded(F&& handler) noexcept {
    try {
      return handler();
    } catch (...) {
      // The platform's dialog code between here and Run cannot pass an
      // exception on; it is carried across and raised again after the loop.
      if (!m_failure) m_failure = std::current_exception();
      if (m_window != nullptr) ::EndDialog(m_window, 0);
      return FALSE;
    }
  }
  INT_PTR OnInitDialog();
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_COPYDATA: the paths a second start handed over; false when not ours.
  bool TakeHandedPaths(const COPYDATASTRUCT& data);
  void DrawItem(const DRAWITEMSTRUCT& item);
  void OnTaskbarButtonCreated() noexcept;
  // Takes back the names given to controls; they would outlive the window.
  void ClearAccessibleTexts() noexcept;
  HMENU MenuHandle(t_MenuKind menu) const noexcept;
  t_MenuKind MenuOf(HMENU menu) const noexcept;

  // t_DropSink.
  HWND DropWindow() const noexcept override { return m_window; }
  t_String DropDescriptionText() noexcept override;
  bool AcceptsDrops() const noexcept override;
  void TakeDrop(std::span<const t_DroppedPath> paths) noexcept override;

  HINSTANCE m_module;
  t_MainDialog& m_dialog;
  t_IconSizes m_iconSizes;
  t_DropTarget m_dropTarget;
  t_ComPtr<ITaskbarList3> m_taskbar;
  t_ComPtr<IAccPropServices> m_accessibleProps;  // null until a name is given, or without the service
  std::vector<HWND> m_namedControls;
  UINT m_taskbarButtonCreatedMessage;
  n_system::n_detail::t_Menu m_genreMenu;
  n_system::n_detail::t_Menu m_previewMenu;
  n_system::n_detail::t_GdiObject<HBITMAP> m_reelTall;
  n_system::n_detail::t_GdiObject<HBITMAP> m_reelWide;
  HMENU m_systemMenu = nullptr;  // the window's own copy; goes with the window
  HWND m_window = nullptr;
  n_system::n_detail::t_Icon m_bigIcon;
  n_system::n_detail::t_Icon m_smallIcon;
  std::exception_ptr m_failure;
};

}  // namespace n_zorbel::n_ui::n_windows
