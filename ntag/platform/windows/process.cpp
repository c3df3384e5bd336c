#include "platform/process.hpp"

#include "platform/stop_request.hpp"

namespace n_zorbel::n_ntag {

void PrepareProcess() { ListenForStopRequests(); }

}  // namespace n_zorbel::n_ntag
