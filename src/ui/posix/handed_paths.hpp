#pragma once
// A second start of the program hands its paths to the window that runs:
// through the session bus, by the desktop's org.freedesktop.Application
// interface (Open with file URIs, Activate without), under the desktop
// entry's name. What the second start does when no window answers is the
// entry point's (src/app/posix/second_start.hpp).
#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantMap>
#include <string>
#include <vector>

#include "ui/posix/desktop_services.hpp"

namespace n_zorbel::n_ui::n_posix {

// Answers the interface for the running window: the paths of an Open, then a
// request to be raised, go to `opened` (an empty list for Activate).
class t_HandedPathsAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

 public:
  using t_Opened = t_DesktopServices::t_Opened;
  // Registers `parent` under `desktopId` on the session bus; does nothing
  // where there is no bus or the name is taken.
  t_HandedPathsAdaptor(QObject* parent, const QString& desktopId, t_Opened opened);

 public slots:
  void Activate(const QVariantMap& platformData);
  void Open(const QStringList& uris, const QVariantMap& platformData);
  void ActivateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData);

 private:
  t_Opened m_opened;
};

// Hands `arguments` (paths as the second start was given them, relative to
// its working folder) to the running instance named `desktopId`. False when
// no instance answered on the session bus.
bool HandToRunningInstance(const QString& desktopId, const std::vector<std::string>& arguments);

}  // namespace n_zorbel::n_ui::n_posix
