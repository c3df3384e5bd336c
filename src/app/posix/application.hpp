#pragma once
// The process services of the Linux program: Qt's application object, the
// interface language, the arguments and the workspace path. The lock that
// keeps one instance per user is taken before any of this (main.cpp).
#include <QApplication>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "system/text.hpp"
#include "ui/main_dialog.hpp"
#include "ui/texts.hpp"

namespace n_zorbel::n_app {

// The interface language from the user's LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG, with English as the last fallback.
n_ui::t_Language LanguageFromEnvironment();

// QApplication that turns an exception escaping an event handler into the
// end of the program with kEscapedExceptionExitCode, as the entry point does for one
// escaping the dialog loop.
class t_GuardedApplication final : public QApplication {
 public:
  t_GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;
  bool Failed() const noexcept { return m_failed; }

 private:
  bool m_failed = false;
};

class t_Application {
 public:
  // Every argument after the program's name is a path for AddPath; Qt is
  // given none of them, so no path is taken for a Qt option.
  t_Application(int argc, char** argv);
  ~t_Application();
  t_Application(const t_Application&) = delete;
  t_Application& operator=(const t_Application&) = delete;

  n_ui::t_Language UiLanguage() const noexcept { return m_language; }
  const n_ui::t_MainDialogSetup& Setup() const noexcept { return m_setup; }
  // Runs the event loop until the dialog ends; kEscapedExceptionExitCode when
  // an exception escaped.
  int Exec();

 private:
  std::string m_programName;
  int m_qtArgc = 1;
  char* m_qtArgv[2] = {nullptr, nullptr};
  std::unique_ptr<t_GuardedApplication> m_qt;
  n_ui::t_Language m_language = n_ui::t_Language::English;
  n_ui::t_MainDialogSetup m_setup;
};

}  // namespace n_zorbel::n_app
