#pragma once
// What the Qt window asks of the desktop beyond its own widgets: the file
// picker, the URL opener, the keyboard state and the launcher's progress.
// Behind an interface so the adapter's tests can stand in for them.
#include <QFileDialog>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <vector>

#include "system/text.hpp"
#include "ui/view.hpp"

namespace n_zorbel::n_ui::n_posix {

// A picker request in Qt's terms.
struct t_PickerSetup {
  QFileDialog::FileMode fileMode = QFileDialog::ExistingFile;
  QString nameFilter;     // "Video files (*.mp4)"; empty in folder mode
  QString defaultSuffix;  // "mp4"; empty in folder mode
  // Several folders at once: the platform's own dialogs pick only one, so
  // Qt's dialog is used then, with several rows selectable.
  bool severalFolders = false;
  friend bool operator==(const t_PickerSetup&, const t_PickerSetup&) = default;
};

t_PickerSetup PickerSetupFor(const t_PickRequest& request);

// The launcher entry's properties for a taskbar state and value, as the
// com.canonical.Unity.LauncherEntry "Update" signal carries them.
struct t_LauncherProgress {
  bool visible = false;
  double progress = 0;  // 0 to 1
  bool urgent = false;  // the error state
  QVariantMap Properties() const;
};

class t_DesktopServices {
 public:
  virtual ~t_DesktopServices() = default;
  // Modal over `parent`; the chosen paths in the picker's order, none when cancelled.
  virtual std::vector<t_String> PickFiles(QWidget* parent, const t_PickerSetup& setup) = 0;
  virtual void OpenUrl(const QUrl& url) = 0;
  virtual bool CtrlDown() = 0;
  virtual void UpdateLauncher(const t_LauncherProgress& progress) = 0;
  // From now on a second start of the program hands its paths to `window`
  // through `opened` (none when it had none), to be taken as a drop.
  using t_Opened = std::function<void(const std::vector<t_String>& paths)>;
  virtual void ServeSecondStarts(QWidget& window, t_Opened opened) = 0;
};

// The real desktop: QFileDialog (native where the platform has one),
// QDesktopServices, the keyboard, and the launcher signal on the session bus.
class t_QtDesktopServices final : public t_DesktopServices {
 public:
  // `desktopId` names the desktop entry ("example.zorbel.Mivora").
  explicit t_QtDesktopServices(QString desktopId) : m_desktopId(std::move(desktopId)) {}
  std::vector<t_String> PickFiles(QWidget* parent, const t_PickerSetup& setup) override;
  void OpenUrl(const QUrl& url) override;
  bool CtrlDown() override;
  void UpdateLauncher(const t_LauncherProgress& progress) override;
  void ServeSecondStarts(QWidget& window, t_Opened opened) override;

 private:
  QString m_desktopId;
};

// The web address as the dialog gives it ("...?from=Mivora v1.0.12"), with
// the blank kept as it is typed; Qt escapes it when it hands the address on.
QUrl WebAddress(const t_String& address);

}  // namespace n_zorbel::n_ui::n_posix
