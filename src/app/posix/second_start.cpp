#include "app/posix/second_start.hpp"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/posix/application.hpp"
#include "ui/ids.hpp"
#include "ui/posix/handed_paths.hpp"
#include "ui/texts.hpp"

namespace n_zorbel::n_app {

namespace {

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// Qt ends the process when it finds no display; only try where one is named.
bool DisplayNamed() { return Named("QT_QPA_PLATFORM") || Named("WAYLAND_DISPLAY") || Named("DISPLAY"); }

}  // namespace

int RunSecondStart(int argc, char** argv) {
  const std::vector<std::string> paths(argv + 1, argv + argc);
  int qtArgc = 1;  // Qt takes none of the paths for its own options
  {
    const QCoreApplication bus(qtArgc, argv);
    if (n_ui::n_posix::HandToRunningInstance(QStringLiteral(MIVORA_DESKTOP_ID), paths)) return 0;
  }
  const n_ui::t_Language language = LanguageFromEnvironment();
  std::string message(n_ui::TextUtf8(language, n_ui::kTextAlreadyRunning));
  if (!paths.empty()) message.append("\n").append(n_ui::TextUtf8(language, n_ui::kTextPathsNotHandedOver));
  // First, so the words stay even where the display then cannot be had.
  std::fprintf(stderr, "mivora: %s\n", message.c_str());
  std::fflush(stderr);
  if (DisplayNamed()) {
    const QApplication gui(qtArgc, argv);
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(n_ui::kProductName), QString::fromUtf8(message),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  }
  return paths.empty() ? 0 : 1;
}

}  // namespace n_zorbel::n_app
