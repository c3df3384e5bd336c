#pragma once
// The Win32 adapter: dialog 203 run modally, every window message turned into
// a t_MainDialog call, and the View carried out with HWNDs, menus, GDI/GDI+,
// the taskbar button, the file-open picker, the About task dialog and the
// OLE drop target. It decides nothing itself.
#include <exception>
#include <optional>
#include <vector>

#include "ui/main_dialog.hpp"
#include "ui/view.hpp"
#include "ui/win32/com_ptr.hpp"
#include "ui/win32/drop_target.hpp"
#include "ui/win32/win32.hpp"

namespace n_zorbel::n_ui::n_win32 {

// Icon sizes of the display, read once at start-up.
struct t_IconSizes {
  int bigWidth = 32;
  int bigHeight = 32;
  int smallWidth = 16;
  int smallHeight = 16;
};

// Owners for the window-system objects the adapter loads.
class t_Menu {
 public:
  explicit t_Menu(HMENU menu) noexcept : m_menu(menu) {}
  ~t_Menu() {
    if (m_menu != nullptr) ::DestroyMenu(m_menu);
  }
  t_Menu(const t_Menu&) = delete;
  t_Menu& operator=(const t_Menu&) = delete;
  // The first pop-up, the one the program shows.
  HMENU Popup() const noexcept { return m_menu != nullptr ? ::GetSubMenu(m_menu, 0) : nullptr; }

 private:
  HMENU m_menu;
};

class t_GdiObject {
 public:
  explicit t_GdiObject(HGDIOBJ object) noexcept : m_object(object) {}
  ~t_GdiObject() {
    if (m_object != nullptr) ::DeleteObject(m_object);
  }
  t_GdiObject(const t_GdiObject&) = delete;
  t_GdiObject& operator=(const t_GdiObject&) = delete;
  HGDIOBJ Get() const noexcept { return m_object; }

 private:
  HGDIOBJ m_object;
};

class t_Icon {
 public:
  t_Icon() noexcept = default;
  ~t_Icon() { Reset(nullptr); }
  t_Icon(const t_Icon&) = delete;
  t_Icon& operator=(const t_Icon&) = delete;
  void Reset(HICON icon) noexcept {
    if (m_icon != nullptr) ::DestroyIcon(m_icon);
    m_icon = icon;
  }
  HICON Get() const noexcept { return m_icon; }

 private:
  HICON m_icon = nullptr;
};

class t_DialogWindow final : public t_View, private t_DropSink {
 public:
  // Loads what the window needs before it exists: the drop helper, the
  // taskbar's registered message, menus 207 and 208, bitmaps 205 and 206.
  t_DialogWindow(HINSTANCE module, t_MainDialog& dialog, const t_IconSizes& iconSizes) noexcept;
  ~t_DialogWindow() override;
  t_DialogWindow(const t_DialogWindow&) = delete;
  t_DialogWindow& operator=(const t_DialogWindow&) = delete;

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
  static HRESULT CALLBACK AboutCallback(HWND window, UINT notification, WPARAM wParam, LPARAM lParam,
                                        LONG_PTR data);

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
  t_Menu m_genreMenu;
  t_Menu m_previewMenu;
  t_GdiObject m_reelTall;
  t_GdiObject m_reelWide;
  HMENU m_systemMenu = nullptr;  // the window's own copy; goes with the window
  HWND m_window = nullptr;
  t_Icon m_bigIcon;
  t_Icon m_smallIcon;
  std::exception_ptr m_failure;
};

}  // namespace n_zorbel::n_ui::n_win32
