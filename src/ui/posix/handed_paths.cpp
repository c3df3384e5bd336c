#include "ui/posix/handed_paths.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>
#include <QUrl>
#include <unistd.h>

#include "ui/posix/uri_list.hpp"

namespace n_zorbel::n_ui::n_posix {

namespace {

constexpr char kInterface[] = "org.freedesktop.Application";

// The object path the interface's convention derives from the bus name.
QString ObjectPathOf(QString desktopId) {
  desktopId.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
  return QLatin1Char('/') + desktopId;
}

// A path of bytes as a file URI, so a name that is not UTF-8 keeps its bytes.
QString FileUri(const std::string& argument) {
  std::string path = argument;
  if (path.empty() || path.front() != '/') {
    char folder[4096];
    if (::getcwd(folder, sizeof folder) != nullptr) path = std::string(folder) + '/' + path;
  }
  return QStringLiteral("file://") +
         QString::fromLatin1(QUrl::toPercentEncoding(QByteArray::fromStdString(path), "/"));
}

}  // namespace

t_HandedPathsAdaptor::t_HandedPathsAdaptor(QObject* parent, const QString& desktopId, t_Opened opened)
    : QDBusAbstractAdaptor(parent), m_opened(std::move(opened)) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() && bus.registerObject(ObjectPathOf(desktopId), parent)) bus.registerService(desktopId);
}

void t_HandedPathsAdaptor::Activate(const QVariantMap& /*platformData*/) { m_opened({}); }

void t_HandedPathsAdaptor::Open(const QStringList& uris, const QVariantMap& /*platformData*/) {
  m_opened(LocalPathsFromUriList(uris.join(QStringLiteral("\r\n")).toUtf8()));
}

void t_HandedPathsAdaptor::ActivateAction(const QString& /*name*/, const QVariantList& /*parameter*/,
                                          const QVariantMap& /*platformData*/) {
  m_opened({});
}

bool HandToRunningInstance(const QString& desktopId, const std::vector<std::string>& arguments) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call;
  if (arguments.empty()) {
    call = QDBusMessage::createMethodCall(desktopId, ObjectPathOf(desktopId), QString::fromLatin1(kInterface),
                                          QStringLiteral("Activate"));
    call << QVariantMap();
  } else {
    QStringList uris;
    for (const std::string& argument : arguments) uris << FileUri(argument);
    call = QDBusMessage::createMethodCall(desktopId, ObjectPathOf(desktopId), QString::fromLatin1(kInterface),
                                          QStringLiteral("Open"));
    call << uris << QVariantMap();
  }
  // The running instance may still be starting: it holds the lock before it
  // takes its name on the bus.
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage) return true;
    QThread::msleep(100);
  }
  return false;
}

}  // namespace n_zorbel::n_ui::n_posix
