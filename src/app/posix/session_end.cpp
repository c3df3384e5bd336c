#include "app/posix/session_end.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <cerrno>

#include "system/error.hpp"

namespace n_zorbel::n_app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};

void OnSignal(int number) {
  const int saved = errno;
  const char byte = static_cast<char>(number);
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

t_SessionEnd::t_SessionEnd(std::function<void()> onEnd) : m_onEnd(std::move(onEnd)) {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) n_system::RaiseLastError();
  m_readEnd = n_system::n_detail::t_Descriptor(g_pipe[0]);
  m_writeEnd = n_system::n_detail::t_Descriptor(g_pipe[1]);
  m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : kSignals) ::sigaction(number, &action, nullptr);
  QCoreApplication::instance()->installEventFilter(this);
}

t_SessionEnd::~t_SessionEnd() {
  if (QCoreApplication* application = QCoreApplication::instance()) application->removeEventFilter(this);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int number : kSignals) ::sigaction(number, &action, nullptr);
  m_notifier.reset();
  // The pipe's owners close it after this body.
  g_pipe[0] = g_pipe[1] = -1;
}

void t_SessionEnd::Drain() {
  char bytes[16];
  bool signalled = false;
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) signalled = true;
  if (signalled) m_onEnd();
}

bool t_SessionEnd::eventFilter(QObject* watched, QEvent* event) {
  // Qt turns the session manager's "die" into a Quit event for the
  // application; the dialog ends itself instead.
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
    m_onEnd();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace n_zorbel::n_app
