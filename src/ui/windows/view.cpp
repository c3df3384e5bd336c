#include "ui/windows/view.hpp"

#include <cwchar>

#include "ui/ids.hpp"
#include "ui/windows/about_dialog.hpp"
#include "ui/windows/cover_decoder.hpp"
#include "ui/windows/desktop_services.hpp"
#include "ui/windows/guids.hpp"
#include "ui/windows/handed_paths.hpp"
#include "ui/windows/preview_painter.hpp"
#include "ui/windows/resource_text.hpp"

// After windows.h: the signed halves of a packed point.
#include <windowsx.h>

namespace n_zorbel::n_ui::n_windows {

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr MSAAPROPID kAccessibleTextProps[] = {kPropIdAccName, kPropIdAccDescription};

using n_system::n_detail::t_GdiObject;
using n_system::n_detail::t_Icon;
using n_system::n_detail::t_Menu;

t_Menu LoadMenuResource(HINSTANCE module, int id) noexcept {
  return t_Menu(::LoadMenuW(module, MAKEINTRESOURCEW(id)));
}

// The first pop-up of a menu resource, the one the program shows.
HMENU PopupOf(const t_Menu& menu) noexcept { return menu.IsEmpty() ? nullptr : ::GetSubMenu(menu.Get(), 0); }

t_GdiObject<HBITMAP> LoadBitmapResource(HINSTANCE module, int id) noexcept {
  return t_GdiObject<HBITMAP>(
      static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
}

t_Icon LoadIconResource(HINSTANCE module, int width, int height) noexcept {
  return t_Icon(static_cast<HICON>(
      ::LoadImageW(module, MAKEINTRESOURCEW(kIconGroupId), IMAGE_ICON, width, height, LR_DEFAULTCOLOR)));
}

// A screen point packed in a message's lParam, each half signed (a monitor
// left of or above the primary one gives negative coordinates).
t_ScreenPoint UnpackPoint(LPARAM lParam) noexcept { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

t_Win32View::t_Win32View(HINSTANCE module, t_MainDialog& dialog, const t_IconSizes& iconSizes) noexcept
    : m_module(module),
      m_dialog(dialog),
      m_iconSizes(iconSizes),
      m_dropTarget(*this),
      m_taskbarButtonCreatedMessage(::RegisterWindowMessageW(L"TaskbarButtonCreated")),
      m_genreMenu(LoadMenuResource(module, kGenreMenuId)),
      m_previewMenu(LoadMenuResource(module, kPreviewMenuId)),
      m_reelTall(LoadBitmapResource(module, kReelTallBitmapId)),
      m_reelWide(LoadBitmapResource(module, kReelWideBitmapId)) {}

t_Win32View::~t_Win32View() = default;

INT_PTR t_Win32View::Run() {
  m_failure = nullptr;
  const INT_PTR result = ::DialogBoxParamW(m_module, MAKEINTRESOURCEW(kDialogId), nullptr, &InitialProcedure,
                                           reinterpret_cast<LPARAM>(this));
  m_window = nullptr;
  if (m_failure) std::rethrow_exception(std::exchange(m_failure, nullptr));
  return result;
}

// --- Wiring ----------------------------------------------------------------------

INT_PTR CALLBACK t_Win32View::InitialProcedure(HWND window, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
  if (message != WM_INITDIALOG || lParam == 0) return FALSE;
  auto* self = reinterpret_cast<t_Win32View*>(lParam);
  self->m_window = window;
  return self->Guarded([self] { return self->OnInitDialog(); });
}

INT_PTR CALLBACK t_Win32View::ForwardingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<t_Win32View*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return FALSE;
  return self->Guarded([=] { return self->HandleMessage(message, wParam, lParam); });
}

INT_PTR t_Win32View::OnInitDialog() {
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(m_window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&ForwardingProcedure));
  // Without registration dropping does nothing; nothing to report.
  m_dropTarget.Register(m_window);
  // How a second start finds this window to hand over its paths.
  ::SetPropW(m_window, kRunningWindowProperty, m_window);
  ::ChangeWindowMessageFilterEx(m_window, m_taskbarButtonCreatedMessage, MSGFLT_ALLOW, nullptr);
  m_bigIcon = LoadIconResource(m_module, m_iconSizes.bigWidth, m_iconSizes.bigHeight);
  if (!m_bigIcon.IsEmpty())
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon.Get()));
  m_smallIcon = LoadIconResource(m_module, m_iconSizes.smallWidth, m_iconSizes.smallHeight);
  if (!m_smallIcon.IsEmpty())
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
  return m_dialog.OnInitDialog(*this) ? TRUE : FALSE;
}

// --- The message table --------------------------------------------------------------

INT_PTR t_Win32View::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      ClearAccessibleTexts();
      m_dropTarget.Revoke(m_window);
      ::RemovePropW(m_window, kRunningWindowProperty);
      ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
      return TRUE;
    case WM_CLOSE:
      m_dialog.OnClose();
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE || (lParam & (ENDSESSION_CLOSEAPP | ENDSESSION_CRITICAL)) != 0)
        m_dialog.OnSessionEnding();
      return TRUE;
    case WM_COPYDATA:
      return lParam != 0 && TakeHandedPaths(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_DRAWITEM:
      if (lParam != 0) DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_NCHITTEST:
      if (!m_dialog.HitTest(UnpackPoint(lParam))) return FALSE;
      // A dialog procedure answers through the message-result slot.
      ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT, HTCAPTION);
      return TRUE;
    case WM_NCRBUTTONDOWN:
      m_dialog.ShowPreviewMenu(UnpackPoint(lParam));
      return TRUE;
    case WM_CONTEXTMENU: {
      // The menu key and Shift+F10 arrive without a position, from any
      // control without a menu of its own; a right press is WM_NCRBUTTONDOWN.
      const t_ScreenPoint at = UnpackPoint(lParam);
      if (at.x != -1 || at.y != -1) return FALSE;
      m_dialog.ShowPreviewMenuFromKeyboard();
      return TRUE;
    }
    case WM_COMMAND:
      // An edit control that left out what did not fit says so with this
      // notification, not with a command.
      if (HIWORD(wParam) == EN_MAXTEXT) {
        m_dialog.OnFieldFull();
        return TRUE;
      }
      m_dialog.OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      // Every other system command keeps its default handling.
      if (wParam != static_cast<WPARAM>(kCommandAlwaysOnTop)) return FALSE;
      return m_dialog.OnSystemCommand(kCommandAlwaysOnTop) ? TRUE : FALSE;
    case WM_TIMER:
      m_dialog.OnTimerTick();
      return TRUE;
    case WM_INITMENUPOPUP:
      return m_dialog.UpdateMenuChecks(MenuOf(reinterpret_cast<HMENU>(wParam))) ? TRUE : FALSE;
    default:
      if (message != 0 && message == m_taskbarButtonCreatedMessage) {
        OnTaskbarButtonCreated();
        return TRUE;
      }
      return FALSE;
  }
}

bool t_Win32View::TakeHandedPaths(const COPYDATASTRUCT& data) {
  const std::optional<std::vector<t_DroppedPath>> paths = DecodeHandedPaths(data);
  if (!paths) return false;
  // The sender goes on at once (its data was copied): a folder scan here
  // must not run into its time limit.
  ::ReplyMessage(TRUE);
  if (::IsIconic(m_window)) ::ShowWindow(m_window, SW_RESTORE);
  // The sender, in the foreground, allowed this.
  ::SetForegroundWindow(m_window);
  m_dialog.AcceptHandedPaths(*paths);
  // The answer when sent from this thread; last, as the messages the list
  // sends on the way reset it.
  ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT, TRUE);
  return true;
}

void t_Win32View::DrawItem(const DRAWITEMSTRUCT& item) {
  const RECT& rect = item.rcItem;
  const n_preview::t_PreviewLayout layout =
      m_dialog.PreviewLayout(rect.right - rect.left, rect.bottom - rect.top);
  t_PreviewArtwork artwork;
  if (const auto* cover = dynamic_cast<const t_GdiplusCoverImage*>(m_dialog.Cover()))
    artwork.picture = cover->Image();
  artwork.reelTall = m_reelTall.Get();
  artwork.reelWide = m_reelWide.Get();
  if (!layout.hasPicture) artwork.placeholder = LoadText(kTextCoverPreview);
  DrawPreview(item.hDC, rect, layout, artwork);
}

void t_Win32View::OnTaskbarButtonCreated() noexcept {
  // Sent again after the shell restarts: the old interface is let go first.
  m_taskbar.Reset();
  ::CoCreateInstance(kClsidTaskbarList, nullptr, CLSCTX_INPROC_SERVER, kIidTaskbarList3, m_taskbar.OutVoid());
}

void t_Win32View::ClearAccessibleTexts() noexcept {
  if (m_accessibleProps)
    for (const HWND control : m_namedControls)
      m_accessibleProps->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                        kAccessibleTextProps, 2);
  m_namedControls.clear();
  m_accessibleProps.Reset();
}

HMENU t_Win32View::MenuHandle(t_MenuKind menu) const noexcept {
  switch (menu) {
    case t_MenuKind::System:
      return m_systemMenu;
    case t_MenuKind::Preview:
      return PopupOf(m_previewMenu);
    case t_MenuKind::Genre:
      return PopupOf(m_genreMenu);
    case t_MenuKind::Other:
      break;
  }
  return nullptr;
}

t_MenuKind t_Win32View::MenuOf(HMENU menu) const noexcept {
  if (menu == nullptr) return t_MenuKind::Other;
  if (menu == m_systemMenu) return t_MenuKind::System;
  if (menu == PopupOf(m_previewMenu)) return t_MenuKind::Preview;
  if (menu == PopupOf(m_genreMenu)) return t_MenuKind::Genre;
  return t_MenuKind::Other;
}

// --- The drop sink ----------------------------------------------------------------

t_String t_Win32View::DropDescriptionText() noexcept {
  try {
    return m_dialog.DropDescriptionText();
  } catch (...) {
    return {};
  }
}

bool t_Win32View::AcceptsDrops() const noexcept { return !m_dialog.Running(); }

void t_Win32View::TakeDrop(std::span<const t_DroppedPath> paths) noexcept {
  Guarded([&] {
    m_dialog.AcceptDrop(paths);
    return TRUE;
  });
}

// --- View: controls and the window ----------------------------------------------------

void t_Win32View::SetControlText(int control, const t_String& text) {
  ::SetDlgItemTextW(m_window, control, text.c_str());
}

t_String t_Win32View::ControlText(int control) {
  // The length first, then the characters; a count that differs means the
  // control changed in between, and nothing is better than a torn text.
  const LRESULT length = ::SendDlgItemMessageW(m_window, control, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  t_String text(static_cast<std::size_t>(length) + 1, L'\0');
  if (::SendDlgItemMessageW(m_window, control, WM_GETTEXT, text.size(),
                            reinterpret_cast<LPARAM>(text.data())) != length)
    return {};
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void t_Win32View::EnableControl(int control, bool enabled) {
  if (const HWND item = ::GetDlgItem(m_window, control)) ::EnableWindow(item, enabled ? TRUE : FALSE);
}

bool t_Win32View::IsChecked(int control) { return ::IsDlgButtonChecked(m_window, control) == BST_CHECKED; }

void t_Win32View::LimitField(int control, std::int32_t characters) {
  ::SendDlgItemMessageW(m_window, control, EM_SETLIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void t_Win32View::Beep() { ::MessageBeep(MB_OK); }

void t_Win32View::SetYearSpin(std::int32_t minimum, std::int32_t maximum, std::int32_t position) {
  // The range packs the maximum in the low word and the minimum in the high word.
  ::SendDlgItemMessageW(m_window, kYearSpin, UDM_SETRANGE, 0,
                        MAKELPARAM(static_cast<WORD>(maximum), static_cast<WORD>(minimum)));
  ::SendDlgItemMessageW(m_window, kYearSpin, UDM_SETPOS, 0, MAKELPARAM(static_cast<WORD>(position), 0));
}

void t_Win32View::SetTitle(const t_String& title) { ::SetWindowTextW(m_window, title.c_str()); }

void t_Win32View::SetAccessibleText(int control, const t_String& name, const t_String& description) {
  const HWND item = ::GetDlgItem(m_window, control);
  if (item == nullptr) return;
  // Without the service a screen reader reads the visible text, as before.
  if (!m_accessibleProps && FAILED(::CoCreateInstance(kClsidAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                                      kIidAccPropServices, m_accessibleProps.OutVoid())))
    return;
  const auto object = static_cast<DWORD>(OBJID_CLIENT);
  m_accessibleProps->SetHwndPropStr(item, object, CHILDID_SELF, kPropIdAccName, name.c_str());
  if (!description.empty())
    m_accessibleProps->SetHwndPropStr(item, object, CHILDID_SELF, kPropIdAccDescription, description.c_str());
  m_namedControls.push_back(item);
}

void t_Win32View::Announce(const t_String& /*text*/) {
  // Nothing more to do: screen readers read the window's title as it changes,
  // and a failure's message box is read as it opens.
}

void t_Win32View::StartTick(std::uint32_t periodMs) { ::SetTimer(m_window, kTickTimer, periodMs, nullptr); }

void t_Win32View::StopTick() { ::KillTimer(m_window, kTickTimer); }

void t_Win32View::ShowMessage(const t_String& text, const t_String& caption) {
  ::MessageBoxW(m_window, text.c_str(), caption.c_str(), MB_OK);
}

void t_Win32View::FlashWindow() { ::FlashWindow(m_window, FALSE); }

void t_Win32View::SetTaskbarState(t_TaskbarState state) {
  if (m_taskbar) m_taskbar->SetProgressState(m_window, static_cast<TBPFLAG>(state));
}

void t_Win32View::SetTaskbarValue(std::uint64_t completed, std::uint64_t total) {
  if (m_taskbar) m_taskbar->SetProgressValue(m_window, completed, total);
}

void t_Win32View::RepaintPreview() {
  if (const HWND preview = ::GetDlgItem(m_window, kPreview))
    ::RedrawWindow(preview, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void t_Win32View::SetTopmost(bool topmost) {
  ::SetWindowPos(m_window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOSENDCHANGING);
}

bool t_Win32View::IsCtrlDown() { return ::GetKeyState(VK_CONTROL) < 0; }

t_String t_Win32View::LoadText(int id) { return LoadResourceText(m_module, id); }

void t_Win32View::EndDialog() { ::EndDialog(m_window, 0); }

t_ScreenRect t_Win32View::ClientRectOnScreen() {
  RECT rect{};
  ::GetClientRect(m_window, &rect);
  ::MapWindowPoints(m_window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

t_ScreenRect t_Win32View::PreviewRectOnScreen() {
  RECT rect{};
  ::GetWindowRect(::GetDlgItem(m_window, kPreview), &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

// --- View: menus ------------------------------------------------------------------------

void t_Win32View::PopUpGenreMenu() {
  const HWND button = ::GetDlgItem(m_window, kGenreButton);
  RECT rect{};
  ::GetClientRect(button, &rect);
  ::MapWindowPoints(button, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  ::TrackPopupMenuEx(PopupOf(m_genreMenu), TPM_VCENTERALIGN, rect.right,
                     rect.top + (rect.bottom - rect.top) / 2, m_window, nullptr);
}

std::optional<t_String> t_Win32View::GenreItemText(int command) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  if (!::GetMenuItemInfoW(PopupOf(m_genreMenu), static_cast<UINT>(command), FALSE, &info))
    return std::nullopt;
  t_String text(info.cch + 1, L'\0');
  info.dwTypeData = text.data();
  info.cch += 1;
  if (!::GetMenuItemInfoW(PopupOf(m_genreMenu), static_cast<UINT>(command), FALSE, &info))
    return std::nullopt;
  text.resize(std::wcslen(text.c_str()));
  return text;
}

void t_Win32View::PopUpPreviewMenu(t_ScreenPoint at) {
  ::TrackPopupMenuEx(PopupOf(m_previewMenu), 0, at.x, at.y, m_window, nullptr);
}

void t_Win32View::SetMenuCheck(t_MenuKind menu, int command, bool checked) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE;
  info.fState = checked ? MFS_CHECKED : 0;
  ::SetMenuItemInfoW(MenuHandle(menu), static_cast<UINT>(command), FALSE, &info);
}

void t_Win32View::EnableMenuItem(t_MenuKind menu, int command, bool enabled) {
  ::EnableMenuItem(MenuHandle(menu), static_cast<UINT>(command),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void t_Win32View::AddAlwaysOnTopItem(const t_String& text) {
  m_systemMenu = ::GetSystemMenu(m_window, FALSE);
  if (m_systemMenu == nullptr) return;
  MENUITEMINFOW separator{};
  separator.cbSize = sizeof separator;
  separator.fMask = MIIM_FTYPE;
  separator.fType = MFT_SEPARATOR;
  ::InsertMenuItemW(m_systemMenu, 0, TRUE, &separator);
  t_String label = text;
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
  item.fType = MFT_STRING;
  item.fState = 0;
  item.wID = kCommandAlwaysOnTop;
  item.dwTypeData = label.data();
  ::InsertMenuItemW(m_systemMenu, 0, TRUE, &item);
}

std::vector<t_String> t_Win32View::PickFiles(const t_PickRequest& request) {
  return n_windows::PickFiles(m_window, request);
}

void t_Win32View::OpenWebPage(const t_String& address) { n_windows::OpenWebPage(address); }

void t_Win32View::ShowAbout(const t_AboutBox& about) {
  // The link shows the bare product page; a click opens the page with the query.
  ShowAboutDialog(m_window, m_module, about, [&about] { n_windows::OpenWebPage(about.clickAddress); });
}

}  // namespace n_zorbel::n_ui::n_windows
