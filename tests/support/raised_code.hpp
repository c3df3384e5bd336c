#pragma once
// The code of the error an action raises, or 0 when it raises none (no system
// error converts to 0), so that a test compares one number.
#include <cstdint>
#include <functional>

#include "system/error.hpp"

namespace n_zorbel::n_testing {

template <class t_Error = n_system::t_ErrorException>
std::int32_t CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const t_Error& error) {
    return error.Code();
  }
  return 0;
}

}  // namespace n_zorbel::n_testing
