#include "ui/posix/desktop_services.hpp"

#include <QAbstractItemView>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>

#include "ui/posix/handed_paths.hpp"
#include "ui/posix/qt_text.hpp"

namespace n_zorbel::n_ui::n_posix {

t_PickerSetup PickerSetupFor(const t_PickRequest& request) {
  t_PickerSetup setup;
  if (request.pickFolders) {
    setup.fileMode = QFileDialog::Directory;
    setup.severalFolders = request.multiSelect;
    return setup;
  }
  setup.fileMode = request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile;
  // Windows separates patterns with ";", Qt's filters with blanks.
  QString patterns = ToQString(request.pattern);
  patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
  setup.nameFilter = ToQString(request.fileTypeName) + QStringLiteral(" (") + patterns + QLatin1Char(')');
  setup.defaultSuffix = ToQString(request.defaultExtension);
  return setup;
}

QVariantMap t_LauncherProgress::Properties() const {
  return {{QStringLiteral("progress"), progress},
          {QStringLiteral("progress-visible"), visible},
          {QStringLiteral("urgent"), urgent}};
}

std::vector<t_String> t_QtDesktopServices::PickFiles(QWidget* parent, const t_PickerSetup& setup) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(setup.fileMode);
  if (setup.fileMode == QFileDialog::Directory) dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (!setup.nameFilter.isEmpty()) dialog.setNameFilter(setup.nameFilter);
  if (!setup.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(setup.defaultSuffix);
  if (setup.severalFolders) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>())
      view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  }
  std::vector<t_String> paths;
  if (dialog.exec() != QDialog::Accepted) return paths;
  for (const QString& file : dialog.selectedFiles())
    if (!file.isEmpty()) paths.push_back(PathFromQString(file));
  return paths;
}

void t_QtDesktopServices::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

bool t_QtDesktopServices::CtrlDown() {
  return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

void t_QtDesktopServices::ServeSecondStarts(QWidget& window, t_Opened opened) {
  new t_HandedPathsAdaptor(&window, m_desktopId, std::move(opened));  // owned by the window
}

void t_QtDesktopServices::UpdateLauncher(const t_LauncherProgress& progress) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;  // no session bus: no launcher to show it
  QDBusMessage signal = QDBusMessage::createSignal(
      QStringLiteral("/com/canonical/unity/launcherentry/mivora"),
      QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
  signal << QStringLiteral("application://") + m_desktopId + QStringLiteral(".desktop")
         << progress.Properties();
  bus.send(signal);
}

QUrl WebAddress(const t_String& address) { return QUrl(ToQString(address), QUrl::TolerantMode); }

}  // namespace n_zorbel::n_ui::n_posix
