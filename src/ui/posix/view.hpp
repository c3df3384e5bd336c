#pragma once
// The Qt adapter: carries out what t_MainDialog asks of its View with Qt
// widgets, and turns the window's events into t_MainDialog calls. It decides
// nothing of its own: what a press, a drop or a tick means is t_MainDialog's.
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <map>
#include <memory>

#include "ui/main_dialog.hpp"
#include "ui/posix/art.hpp"
#include "ui/posix/desktop_services.hpp"
#include "ui/posix/dialog_units.hpp"
#include "ui/texts.hpp"
#include "ui/view.hpp"

namespace n_zorbel::n_ui::n_posix {

class t_QtView;

// The dialog window: a fixed-size top-level window without a maximize box.
class t_DialogWidget final : public QWidget {
  Q_OBJECT
 public:
  explicit t_DialogWidget(t_QtView& view);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Shift+F10: the focused control's menu, as the menu key asks for it.
  void RequestFocusMenu();

  t_QtView& m_view;
  bool m_manualMove = false;
  QPoint m_moveOffset;
};

// The cover preview; presses pass through to the window.
class t_PreviewWidget final : public QWidget {
  Q_OBJECT
 public:
  t_PreviewWidget(t_QtView& view, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  t_QtView& m_view;
};

class t_QtView final : public t_View {
 public:
  // `dialog` and `services` outlive the view.
  t_QtView(t_MainDialog& dialog, t_Language language, t_DesktopServices& services, t_Art art);
  ~t_QtView() override;
  t_QtView(const t_QtView&) = delete;
  t_QtView& operator=(const t_QtView&) = delete;

  // Hands the window to t_MainDialog (its initialisation: texts, title, the
  // command-line paths) and shows it centred on the mouse pointer, the focus
  // on the first tab stop.
  void Open();
  // True once the dialog has ended; the window is hidden then.
  bool Ended() const noexcept { return m_ended; }

  // For the program and the tests.
  QWidget* Window() const noexcept { return m_window.get(); }
  QWidget* Control(int id) const;
  QMenu* GenreMenu() const noexcept { return m_genreMenu.get(); }
  QMenu* PreviewMenu() const noexcept { return m_previewMenu.get(); }
  const QTimer& Tick() const noexcept { return m_tick; }
  t_BaseUnits BaseUnits() const noexcept { return m_units; }
  const t_LauncherProgress& Launcher() const noexcept { return m_launcher; }
  t_MainDialog& Dialog() noexcept { return m_dialog; }

  // --- View ---
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
  friend class t_DialogWidget;
  friend class t_PreviewWidget;

  void BuildControls();
  void BuildMenus();
  // Paths handed over whole (a file manager's drop, a second start's arguments).
  void AcceptPaths(const std::vector<t_String>& paths);
  // A menu's choice comes back as a command after the menu has closed, as
  // Windows posts it.
  void PostCommand(QAction* chosen);
  void PaintPreview(QWidget& preview);
  // Moves the window so that its whole frame, title bar included, lies on
  // the screen it was placed on. The frame is known only some time after the
  // window is shown, once the window manager has framed it (never without
  // one), so this looks again `triesLeft` times meanwhile.
  void KeepFrameOnScreen(int triesLeft);
  void UpdateLauncher();

  t_MainDialog& m_dialog;
  t_Language m_language;
  QTranslator m_qtTexts;  // Qt's own texts (pickers, message boxes) in m_language
  t_DesktopServices& m_services;
  t_Art m_art;
  std::unique_ptr<t_DialogWidget> m_window;
  t_BaseUnits m_units;
  std::map<int, QWidget*> m_controls;  // owned by the window
  std::unique_ptr<QMenu> m_genreMenu;
  std::unique_ptr<QMenu> m_previewMenu;
  QTimer m_tick;
  t_LauncherProgress m_launcher;
  bool m_ended = false;
  bool m_closing = false;
};

}  // namespace n_zorbel::n_ui::n_posix
