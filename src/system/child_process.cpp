#include "system/child_process.hpp"

namespace n_zorbel::n_system {

std::unique_ptr<ToolProcess> ChildProcessRunner::Start(const t_String& application,
                                                       const t_String& commandLine) {
  return std::make_unique<ChildProcess>(application, commandLine);
}

}  // namespace n_zorbel::n_system
