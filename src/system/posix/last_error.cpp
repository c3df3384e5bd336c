#include <cerrno>

#include "system/error.hpp"

namespace n_zorbel::n_system {

std::uint32_t LastSystemError() noexcept { return WindowsErrorFromErrno(errno); }

}  // namespace n_zorbel::n_system
