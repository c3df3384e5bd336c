#include "app/posix/application.hpp"

#include <QScreen>
#include <cmath>
#include <cstdlib>

#include "app/exit_code.hpp"
#include "preview/preview_geometry.hpp"
#include "system/workspace.hpp"
#include "ui/language.hpp"

namespace n_zorbel::n_app {

namespace {

std::string_view Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string_view() : std::string_view(value);
}

}  // namespace

n_ui::t_Language LanguageFromEnvironment() {
  const std::vector<std::string> preferred = n_ui::PosixPreferredLanguages(
      Environment("LANGUAGE"), Environment("LC_ALL"), Environment("LC_MESSAGES"), Environment("LANG"));
  return n_ui::ChooseLanguage(n_ui::WithEnglishFallback(preferred));
}

bool t_GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    m_failed = true;
    QCoreApplication::exit(kEscapedExceptionExitCode);
    return false;
  }
}

t_Application::t_Application(int argc, char** argv)
    : m_programName(argc > 0 && argv[0] != nullptr ? argv[0] : "mivora") {
  m_qtArgv[0] = m_programName.data();
  m_qt = std::make_unique<t_GuardedApplication>(m_qtArgc, m_qtArgv);
  QGuiApplication::setApplicationName(QStringLiteral("Mivora"));
  QGuiApplication::setApplicationDisplayName(QString());
  QGuiApplication::setDesktopFileName(QStringLiteral(MIVORA_DESKTOP_ID));
  // The dialog ends the program, not the last window closing.
  QGuiApplication::setQuitOnLastWindowClosed(false);

  m_language = LanguageFromEnvironment();
  // The checker cells follow the screen's density in device pixels.
  qreal dpi = 96;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    dpi = screen->logicalDotsPerInchX() * screen->devicePixelRatio();
  m_setup.checkSize = n_preview::CheckSizeForDpi(static_cast<std::int32_t>(std::lround(dpi)));
  for (int index = 1; index < argc; ++index)
    if (argv[index] != nullptr) m_setup.arguments.emplace_back(argv[index]);
  m_setup.workspaceFolder = n_system::WorkspacePath();
}

t_Application::~t_Application() = default;

int t_Application::Exec() {
  const int result = QApplication::exec();
  return m_qt->Failed() ? kEscapedExceptionExitCode : result;
}

}  // namespace n_zorbel::n_app
