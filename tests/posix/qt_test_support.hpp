#pragma once
// What the Qt tests share: one QApplication on the offscreen platform, fake
// desktop services, and a way to act on a modal window or popup menu while
// the code under test waits in its loop.
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/posix/desktop_services.hpp"

namespace n_zorbel::n_testing {

// The process's QApplication, on the offscreen platform unless the
// environment chose one.
QApplication& TestApplication();

// Stands in for the desktop: records what the adapter asked for.
class t_FakeDesktopServices final : public n_ui::n_posix::t_DesktopServices {
 public:
  std::vector<n_ui::n_posix::t_PickerSetup> pickerSetups;
  std::vector<t_String> pickedPaths;  // what every picker returns
  std::vector<QUrl> openedUrls;
  bool ctrlDown = false;
  std::vector<n_ui::n_posix::t_LauncherProgress> launcherUpdates;

  std::vector<t_String> PickFiles(QWidget*, const n_ui::n_posix::t_PickerSetup& setup) override {
    pickerSetups.push_back(setup);
    return pickedPaths;
  }
  void OpenUrl(const QUrl& url) override { openedUrls.push_back(url); }
  bool CtrlDown() override { return ctrlDown; }
  void UpdateLauncher(const n_ui::n_posix::t_LauncherProgress& progress) override {
    launcherUpdates.push_back(progress);
  }
  t_Opened secondStart;  // what a second start of the program would call
  void ServeSecondStarts(QWidget&, t_Opened opened) override { secondStart = std::move(opened); }
};

// Runs `act` on the first modal widget (dialog or message box) or popup menu
// that opens within five seconds, from the event loop that shows it.
void WhenModalOpens(std::function<void(QWidget&)> act);
void WhenMenuOpens(std::function<void(QMenu&)> act);

// Chooses the menu's item at `index` with the keyboard, as a user would.
void ChooseMenuItem(QMenu& menu, int index);

}  // namespace n_zorbel::n_testing
