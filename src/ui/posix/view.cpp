#include "ui/posix/view.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "ui/dialog_layout.hpp"
#include "ui/ids.hpp"
#include "ui/posix/about_dialog.hpp"
#include "ui/posix/accessibility.hpp"
#include "ui/posix/cover_decoder.hpp"
#include "ui/posix/field_limit.hpp"
#include "ui/posix/multi_line_edit.hpp"
#include "ui/posix/preview_painter.hpp"
#include "ui/posix/qt_text.hpp"
#include "ui/posix/qt_translations.hpp"
#include "ui/posix/read_only_edit.hpp"
#include "ui/posix/uri_list.hpp"
#include "ui/posix/year_spin_box.hpp"

namespace n_zorbel::n_ui::n_posix {

namespace {

constexpr char kUriListType[] = "text/uri-list";
constexpr char kCommandProperty[] = "mivoraCommand";

t_ScreenPoint ToScreenPoint(QPoint point) { return {point.x(), point.y()}; }

// The part of the screen holding `point` that windows may use.
QRect AvailableAt(QPoint point) {
  QScreen* screen = QGuiApplication::screenAt(point);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen == nullptr ? QRect() : screen->availableGeometry();
}

// Where `placed` goes to lie inside `available`; its top-left corner stays
// on the screen when it is larger.
QPoint KeptInside(const QRect& placed, const QRect& available) {
  if (available.isEmpty()) return placed.topLeft();
  return {std::clamp(placed.left(), available.left(),
                     std::max(available.left(), available.right() + 1 - placed.width())),
          std::clamp(placed.top(), available.top(),
                     std::max(available.top(), available.bottom() + 1 - placed.height()))};
}

// A widget's rectangle on the screen; right and bottom are the first
// coordinates past it.
t_ScreenRect ScreenRectOf(const QWidget& widget) {
  const QPoint topLeft = widget.mapToGlobal(QPoint(0, 0));
  return {topLeft.x(), topLeft.y(), topLeft.x() + widget.width(), topLeft.y() + widget.height()};
}

QAction* AddCommand(QMenu& menu, int command, std::string_view text) {
  QAction* action = menu.addAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  action->setProperty(kCommandProperty, command);
  return action;
}

QAction* FindCommand(const QMenu& menu, int command) {
  for (QAction* action : menu.actions())
    if (action->property(kCommandProperty).toInt() == command) return action;
  return nullptr;
}

}  // namespace

// --- t_DialogWidget --------------------------------------------------------

t_DialogWidget::t_DialogWidget(t_QtView& view)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_view(view) {
  setObjectName(QStringLiteral("mivora"));
  setAcceptDrops(true);
  // A screen reader announces a dialog, not a plain container.
  SetAccessibleRole(*this, QAccessible::Dialog);
  auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
  connect(shiftF10, &QShortcut::activated, this, &t_DialogWidget::RequestFocusMenu);
}

void t_DialogWidget::RequestFocusMenu() {
  // The request the platform makes of the menu key: an edit field opens its
  // own menu, any other control passes it on to the window.
  QWidget* target = focusWidget();
  if (target == nullptr) target = this;
  const QPoint at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
  QContextMenuEvent request(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
  QCoreApplication::sendEvent(target, &request);
}

void t_DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
  // A right press is taken as a press (mousePressEvent); from the keyboard,
  // wherever the focus is, the preview's menu opens.
  if (event->reason() != QContextMenuEvent::Keyboard) {
    event->ignore();
    return;
  }
  event->accept();
  m_view.m_dialog.ShowPreviewMenuFromKeyboard();
}

void t_DialogWidget::closeEvent(QCloseEvent* event) {
  // The close box, Alt+F4 and the window menu's Close all end the dialog.
  m_view.m_closing = true;
  if (!m_view.m_ended) m_view.m_dialog.OnClose();
  m_view.m_closing = false;
  if (m_view.m_ended)
    event->accept();
  else
    event->ignore();
}

void t_DialogWidget::mousePressEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  if (event->button() == Qt::LeftButton) {
    // The background, the labels and the preview move the window.
    if (!m_view.m_dialog.HitTest(ToScreenPoint(global))) return;
    QWindow* handle = windowHandle();
    if (handle != nullptr && handle->startSystemMove()) return;
    // Without a window manager that moves windows, move it here.
    m_manualMove = true;
    m_moveOffset = global - frameGeometry().topLeft();
  } else if (event->button() == Qt::RightButton) {
    m_view.m_dialog.ShowPreviewMenu(ToScreenPoint(global));
  }
}

void t_DialogWidget::mouseMoveEvent(QMouseEvent* event) {
  if (m_manualMove && (event->buttons() & Qt::LeftButton))
    move(event->globalPosition().toPoint() - m_moveOffset);
}

void t_DialogWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_manualMove = false;
}

void t_DialogWidget::dragEnterEvent(QDragEnterEvent* event) {
  // Files and folders from file managers; the window reports a copy, so no
  // drag source ever moves or deletes what was dropped.
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kUriListType))) return;
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void t_DialogWidget::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kUriListType))) return;
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void t_DialogWidget::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kUriListType))) return;
  event->setDropAction(Qt::CopyAction);
  event->accept();
  m_view.AcceptPaths(LocalPathsFromUriList(event->mimeData()->data(QString::fromLatin1(kUriListType))));
}

// --- t_PreviewWidget -------------------------------------------------------

t_PreviewWidget::t_PreviewWidget(t_QtView& view, QWidget* parent) : QWidget(parent), m_view(view) {
  setObjectName(QStringLiteral("preview"));
  setFocusPolicy(Qt::NoFocus);
  SetAccessibleRole(*this, QAccessible::Graphic);
}

void t_PreviewWidget::paintEvent(QPaintEvent* /*event*/) { m_view.PaintPreview(*this); }

// --- t_QtView: building ----------------------------------------------------

t_QtView::t_QtView(t_MainDialog& dialog, t_Language language, t_DesktopServices& services, t_Art art)
    : m_dialog(dialog), m_language(language), m_services(services), m_art(std::move(art)) {
  // Without this the pickers, message boxes and edit menus that Qt draws
  // itself stay English.
  if (LoadQtTexts(m_qtTexts, m_language)) QCoreApplication::installTranslator(&m_qtTexts);
  m_window = std::make_unique<t_DialogWidget>(*this);
  m_window->setWindowIcon(m_art.icon);
  m_units = BaseUnitsOf(m_window->font());
  m_window->setFixedSize(DialogXToPixels(kDialogWidth, m_units), DialogYToPixels(kDialogHeight, m_units));
  BuildControls();
  BuildMenus();
  m_tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&m_tick, &QTimer::timeout, [this] { m_dialog.OnTimerTick(); });
}

t_QtView::~t_QtView() { m_tick.stop(); }

void t_QtView::BuildControls() {
  // Created in template order, which is Qt's tab order too. Each label comes
  // just before its field and is tied to it, so screen readers name the field.
  QLabel* labelBefore = nullptr;
  for (const t_ControlSpec& control : DialogControls()) {
    QWidget* widget = nullptr;
    switch (control.kind) {
      case t_ControlKind::Label: {
        auto* label = new QLabel(m_window.get());
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        widget = label;
        break;
      }
      case t_ControlKind::ReadOnlyEdit:
        widget = new t_ReadOnlyEdit(m_window.get());
        break;
      case t_ControlKind::Edit:
        widget = new QLineEdit(m_window.get());
        break;
      case t_ControlKind::Button: {
        auto* button = new QPushButton(m_window.get());
        // Enter presses the focused button, as in a Windows dialog; no
        // button is the default, so Enter elsewhere does nothing.
        button->setAutoDefault(true);
        QObject::connect(button, &QPushButton::clicked, [this, id = control.id] { m_dialog.OnCommand(id); });
        widget = button;
        break;
      }
      case t_ControlKind::YearSpin:
        continue;  // the year's field carries its own arrows
      case t_ControlKind::YearEdit: {
        auto* year = new t_YearSpinBox(m_window.get());
        m_controls[kYearSpin] = year;
        widget = year;
        break;
      }
      case t_ControlKind::MultiLineEdit:
        widget = new t_MultiLineEdit(m_window.get());
        break;
      case t_ControlKind::Preview:
        widget = new t_PreviewWidget(*this, m_window.get());
        break;
      case t_ControlKind::CheckBox:
        widget = new QCheckBox(m_window.get());
        break;
    }
    widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    widget->setGeometry(DialogRectToPixels(control.rect, m_units));
    // Drops go to the window, whatever control they land on.
    widget->setAcceptDrops(false);
    if (auto* edit = qobject_cast<t_MultiLineEdit*>(widget)) edit->viewport()->setAcceptDrops(false);
    if (auto* year = qobject_cast<t_YearSpinBox*>(widget)) year->Edit()->setAcceptDrops(false);
    m_controls[control.id] = widget;
    if (labelBefore != nullptr) labelBefore->setBuddy(widget);
    labelBefore = qobject_cast<QLabel*>(widget);
  }
  // The Apply button starts disabled, as in the template.
  Control(kApply)->setEnabled(false);
}

void t_QtView::BuildMenus() {
  m_genreMenu = std::make_unique<QMenu>();
  m_genreMenu->setObjectName(QStringLiteral("genreMenu"));
  for (const t_MenuItem& item : GenreMenuItems()) AddCommand(*m_genreMenu, item.command, item.text);
  QObject::connect(m_genreMenu.get(), &QMenu::aboutToShow,
                   [this] { m_dialog.UpdateMenuChecks(t_MenuKind::Genre); });

  m_previewMenu = std::make_unique<QMenu>();
  m_previewMenu->setObjectName(QStringLiteral("previewMenu"));
  for (const t_MenuItem& item : PreviewMenuItems(m_language)) {
    QAction* action = AddCommand(*m_previewMenu, item.command, item.text);
    if (item.command == kCommandDrawChecks || item.command == kCommandDrawVideoReel ||
        item.command == kCommandFitInto256)
      action->setCheckable(true);
  }
  QObject::connect(m_previewMenu.get(), &QMenu::aboutToShow,
                   [this] { m_dialog.UpdateMenuChecks(t_MenuKind::Preview); });
}

void t_QtView::Open() {
  m_dialog.OnInitDialog(*this);
  // Centred on the mouse pointer, kept on its screen.
  const QPoint pointer = QCursor::pos();
  QRect placed(QPoint(0, 0), m_window->size());
  placed.moveCenter(pointer);
  m_window->move(KeptInside(placed, AvailableAt(pointer)));
  m_window->show();
  KeepFrameOnScreen(40);
  m_services.ServeSecondStarts(*m_window, [this](const std::vector<t_String>& paths) {
    const std::vector<t_DroppedPath> entries(paths.begin(), paths.end());
    m_dialog.AcceptHandedPaths(entries);
    m_window->raise();
    m_window->activateWindow();
  });
  Control(kBrowseVideos)->setFocus(Qt::OtherFocusReason);
}

void t_QtView::AcceptPaths(const std::vector<t_String>& paths) {
  const std::vector<t_DroppedPath> entries(paths.begin(), paths.end());
  m_dialog.AcceptDrop(entries);
}

void t_QtView::KeepFrameOnScreen(int triesLeft) {
  if (m_window->windowHandle()->frameMargins().isNull() && triesLeft > 0) {
    QTimer::singleShot(50, m_window.get(), [this, triesLeft] { KeepFrameOnScreen(triesLeft - 1); });
    return;
  }
  const QRect frame = m_window->frameGeometry();
  const QPoint kept = KeptInside(frame, AvailableAt(frame.center()));
  if (kept != frame.topLeft()) m_window->move(kept);
}

QWidget* t_QtView::Control(int id) const {
  const auto found = m_controls.find(id);
  return found == m_controls.end() ? nullptr : found->second;
}

// --- t_QtView: texts and controls ------------------------------------------

t_String t_QtView::ControlText(int control) {
  QWidget* widget = Control(control);
  if (auto* year = qobject_cast<t_YearSpinBox*>(widget)) return FromQString(year->Edit()->text());
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return FromQString(edit->text());
  if (auto* multi = qobject_cast<t_MultiLineEdit*>(widget)) return multi->Text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return FromQString(button->text());
  if (auto* label = qobject_cast<QLabel*>(widget)) return FromQString(label->text());
  return {};
}

void t_QtView::SetControlText(int control, const t_String& text) {
  QWidget* widget = Control(control);
  const QString qtext = ToQString(text);
  if (auto* year = qobject_cast<t_YearSpinBox*>(widget)) {
    year->Edit()->setText(qtext);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(qtext);
    edit->setCursorPosition(0);  // a long list shows its start
  } else if (auto* multi = qobject_cast<t_MultiLineEdit*>(widget)) {
    multi->SetText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(qtext);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(qtext);
  }
}

void t_QtView::EnableControl(int control, bool enabled) {
  if (QWidget* widget = Control(control)) widget->setEnabled(enabled);
}

bool t_QtView::IsChecked(int control) {
  auto* box = qobject_cast<QAbstractButton*>(Control(control));
  return box != nullptr && box->isChecked();
}

void t_QtView::LimitField(int control, std::int32_t characters) {
  QWidget* widget = Control(control);
  auto full = [this] { m_dialog.OnFieldFull(); };
  if (auto* year = qobject_cast<t_YearSpinBox*>(widget)) {
    year->SetLimit(characters, full);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    // One over, so that Qt's own silent cut shows in the validator.
    edit->setMaxLength(characters + 1);
    edit->setValidator(new t_FieldLimitValidator(characters, full, edit));
  } else if (auto* multi = qobject_cast<t_MultiLineEdit*>(widget)) {
    multi->SetLimit(characters, full);
  }
}

void t_QtView::Beep() { QApplication::beep(); }

void t_QtView::SetYearSpin(std::int32_t minimum, std::int32_t maximum, std::int32_t position) {
  auto* year = qobject_cast<t_YearSpinBox*>(Control(kYear));
  if (year == nullptr) return;
  year->SetRange(minimum, maximum);
  year->SetPosition(position);
}

void t_QtView::SetTitle(const t_String& title) { m_window->setWindowTitle(ToQString(title)); }

void t_QtView::SetAccessibleText(int control, const t_String& name, const t_String& description) {
  QWidget* widget = Control(control);
  if (widget == nullptr) return;
  widget->setAccessibleName(ToQString(name));
  widget->setAccessibleDescription(ToQString(description));
}

void t_QtView::Announce(const t_String& text) { TellScreenReader(*m_window, ToQString(text)); }

// --- t_QtView: the run -------------------------------------------------------

void t_QtView::StartTick(std::uint32_t periodMs) { m_tick.start(static_cast<int>(periodMs)); }

void t_QtView::StopTick() { m_tick.stop(); }

void t_QtView::ShowMessage(const t_String& text, const t_String& caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, m_window.get());
  box.setObjectName(QStringLiteral("message"));
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void t_QtView::FlashWindow() {
  // The urgency hint: the desktop marks the window until it is activated.
  QApplication::alert(m_window.get(), 0);
}

void t_QtView::SetTaskbarState(t_TaskbarState state) {
  switch (state) {
    case t_TaskbarState::NoProgress:
      m_launcher = {};
      break;
    case t_TaskbarState::Normal:
      m_launcher.visible = true;
      m_launcher.urgent = false;
      break;
    case t_TaskbarState::Error:
      // Launchers have no error colour; the urgent mark stands in for it.
      m_launcher.urgent = true;
      break;
  }
  UpdateLauncher();
}

void t_QtView::SetTaskbarValue(std::uint64_t completed, std::uint64_t total) {
  m_launcher.progress = total == 0 ? 0.0 : static_cast<double>(completed) / static_cast<double>(total);
  UpdateLauncher();
}

void t_QtView::UpdateLauncher() { m_services.UpdateLauncher(m_launcher); }

// --- t_QtView: preview, pickers, menus ---------------------------------------

void t_QtView::RepaintPreview() {
  if (QWidget* preview = Control(kPreview)) preview->repaint();
}

void t_QtView::PaintPreview(QWidget& preview) {
  QPainter painter(&preview);
  const qreal ratio = preview.devicePixelRatioF();
  const QSize size = DeviceSize(preview.size(), ratio);
  const n_preview::t_PreviewLayout layout = m_dialog.PreviewLayout(size.width(), size.height());
  t_PreviewArt art{nullptr, &m_art.reelTall, &m_art.reelWide};
  if (const auto* cover = dynamic_cast<const t_QtCoverImage*>(m_dialog.Cover()))
    art.picture = &cover->Image();
  DrawPreview(painter, ratio, layout, art, PreviewColoursOf(preview.palette()),
              ToQString(LoadText(kTextCoverPreview)));
}

std::vector<t_String> t_QtView::PickFiles(const t_PickRequest& request) {
  return m_services.PickFiles(m_window.get(), PickerSetupFor(request));
}

void t_QtView::PostCommand(QAction* chosen) {
  if (chosen == nullptr) return;
  const int command = chosen->property(kCommandProperty).toInt();
  QMetaObject::invokeMethod(
      m_window.get(), [this, command] { m_dialog.OnCommand(command); }, Qt::QueuedConnection);
}

void t_QtView::PopUpGenreMenu() {
  // Left edge at the button's right edge, centred on the button's middle.
  QWidget* button = Control(kGenreButton);
  const t_ScreenRect rect = ScreenRectOf(*button);
  const int middle = rect.top + (rect.bottom - rect.top) / 2;
  m_genreMenu->ensurePolished();
  const int height = m_genreMenu->sizeHint().height();
  PostCommand(m_genreMenu->exec(QPoint(rect.right, middle - height / 2)));
}

std::optional<t_String> t_QtView::GenreItemText(int command) {
  const QAction* action = FindCommand(*m_genreMenu, command);
  if (action == nullptr) return std::nullopt;
  return FromQString(action->text());
}

void t_QtView::PopUpPreviewMenu(t_ScreenPoint at) { PostCommand(m_previewMenu->exec(QPoint(at.x, at.y))); }

void t_QtView::SetMenuCheck(t_MenuKind menu, int command, bool checked) {
  if (menu != t_MenuKind::Preview) return;  // the window menu is the window manager's
  if (QAction* action = FindCommand(*m_previewMenu, command)) action->setChecked(checked);
}

void t_QtView::EnableMenuItem(t_MenuKind menu, int command, bool enabled) {
  if (menu != t_MenuKind::Preview) return;
  if (QAction* action = FindCommand(*m_previewMenu, command)) action->setEnabled(enabled);
}

void t_QtView::AddAlwaysOnTopItem(const t_String& /*text*/) {
  // Linux window managers carry "Always on top" in the window's own menu
  // (GNOME, KDE Plasma, Xfce, Cinnamon); a second switch here would only
  // disagree with theirs.
}

t_ScreenRect t_QtView::ClientRectOnScreen() { return ScreenRectOf(*m_window); }

t_ScreenRect t_QtView::PreviewRectOnScreen() { return ScreenRectOf(*Control(kPreview)); }

// --- t_QtView: the rest --------------------------------------------------------

void t_QtView::OpenWebPage(const t_String& address) { m_services.OpenUrl(WebAddress(address)); }

void t_QtView::ShowAbout(const t_AboutBox& about) {
  t_AboutDialog box(m_window.get(), about, m_art.icon,
                    [this, address = about.clickAddress] { m_services.OpenUrl(WebAddress(address)); });
  box.exec();
}

void t_QtView::SetTopmost(bool topmost) {
  m_window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
  if (!m_ended) m_window->show();
}

bool t_QtView::IsCtrlDown() { return m_services.CtrlDown(); }

t_String t_QtView::LoadText(int id) { return n_ui::LoadText(m_language, id); }

void t_QtView::EndDialog() {
  m_ended = true;
  m_tick.stop();
  if (!m_closing) m_window->hide();
  // Every loop ends, also one a message box or a picker runs.
  QCoreApplication::exit(0);
}

}  // namespace n_zorbel::n_ui::n_posix
