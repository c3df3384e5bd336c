#include "qt_test_support.hpp"

#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <memory>

// Qt, fontconfig and the X libraries keep caches for the life of the
// process; the leak checker is not to count them.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MIVORA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(MIVORA_ASAN)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt6\nleak:libfontconfig\nleak:libdbus\nleak:libglib\nleak:libX11\nleak:libxcb\n";
}
#endif

namespace n_zorbel::n_testing {

QApplication& TestApplication() {
  static QApplication* application = [] {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    auto* created = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return created;
  }();
  return *application;
}

namespace {

template <typename Find, typename Act>
void WhenOpens(Find find, Act act) {
  auto* timer = new QTimer(QCoreApplication::instance());
  auto* clock = new QElapsedTimer();
  clock->start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, clock, find, act] {
    if (auto* found = find()) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      act(*found);
    } else if (clock->elapsed() > 5000) {
      timer->stop();
      timer->deleteLater();
      delete clock;
    }
  });
  timer->start();
}

}  // namespace

void WhenModalOpens(std::function<void(QWidget&)> act) {
  WhenOpens([] { return QApplication::activeModalWidget(); }, std::move(act));
}

void WhenMenuOpens(std::function<void(QMenu&)> act) {
  WhenOpens(
      []() -> QMenu* {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr && menu->isVisible() ? menu : nullptr;
      },
      std::move(act));
}

void ChooseMenuItem(QMenu& menu, int index) {
  menu.setActiveAction(menu.actions().at(index));
  QTest::keyClick(&menu, Qt::Key_Return);
}

}  // namespace n_zorbel::n_testing
