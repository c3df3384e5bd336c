#include <windows.h>

#include "system/error.hpp"

namespace n_zorbel::n_system {

std::uint32_t LastSystemError() noexcept { return GetLastError(); }

}  // namespace n_zorbel::n_system
