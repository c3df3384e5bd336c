#include "system/child_process.hpp"

namespace n_zorbel::n_system {

std::unique_ptr<t_ToolProcess> t_ChildProcessRunner::Start(const t_String& application,
                                                           const t_String& commandLine) {
  return std::make_unique<t_ChildProcess>(application, commandLine);
}

}  // namespace n_zorbel::n_system
