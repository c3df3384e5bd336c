#pragma once
// The end of the user's session, and SIGTERM, SIGINT and SIGHUP: each stops
// a run and closes the window, as the Windows dialog does at the end of a
// logon. Signals reach the GUI thread through a pipe; the session manager's
// request to quit arrives as Qt's Quit event.
#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "system/posix/descriptor.hpp"

namespace n_zorbel::n_app {

class t_SessionEnd final : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; `onEnd` runs on the GUI thread.
  explicit t_SessionEnd(std::function<void()> onEnd);
  // Puts the default handlers back.
  ~t_SessionEnd() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Drain();
  std::function<void()> m_onEnd;
  // The signal pipe; it outlives the notifier that watches its read end.
  n_system::n_detail::t_Descriptor m_readEnd;
  n_system::n_detail::t_Descriptor m_writeEnd;
  std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace n_zorbel::n_app
