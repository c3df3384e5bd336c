#include "platform/process.hpp"

#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "platform/stop_request.hpp"

namespace n_zorbel::n_ntag {

void PrepareProcess() {
#ifdef __linux__
  ::prctl(PR_SET_NAME, "ntag", 0, 0, 0);
#endif
  ::signal(SIGXFSZ, SIG_IGN);
  ListenForStopRequests();
}

}  // namespace n_zorbel::n_ntag
