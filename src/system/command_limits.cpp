#include "system/command_limits.hpp"

#include "system/command_line_splitter.hpp"

namespace n_zorbel::n_system {

std::size_t CommandCost(const t_CommandLimits& limits, t_StringView line) {
  if (limits.measure == t_CommandLimits::t_Measure::Line) return line.size() + 1;
  std::size_t cost = 0;
  for (const t_String& argument : SplitCommandLine(line)) cost += argument.size() + 1 + sizeof(char*);
  return cost;
}

}  // namespace n_zorbel::n_system
