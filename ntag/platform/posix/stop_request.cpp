#include "platform/stop_request.hpp"

#include <signal.h>

#include <thread>

namespace n_zorbel::n_ntag {

void ListenForStopRequests() {
  sigset_t requests;
  sigemptyset(&requests);
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
    // An ignored signal, inherited from the caller, would never reach the listener.
    ::signal(s, SIG_DFL);
    sigaddset(&requests, s);
  }
  // Blocked before the thread starts, so it inherits the mask and only sigwait takes them.
  ::pthread_sigmask(SIG_BLOCK, &requests, nullptr);
  std::thread([requests] {
    int received = 0;
    while (::sigwait(&requests, &received) != 0) {
    }
    StopNow(128 + received);
  }).detach();
}

}  // namespace n_zorbel::n_ntag
