#include "system/command_limits.hpp"

namespace n_zorbel::n_system {

namespace {

// CreateProcessW's lpCommandLine, terminator included.
constexpr std::size_t kLongestLine = 32767;

}  // namespace

t_CommandLimits CommandLimits() {
  return {.measure = t_CommandLimits::t_Measure::Line, .argument = 0, .total = kLongestLine};
}

}  // namespace n_zorbel::n_system
