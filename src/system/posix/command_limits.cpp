#include "system/command_limits.hpp"

#include <unistd.h>

#include <cstring>

extern char** environ;

namespace n_zorbel::n_system {

namespace {

// The kernel's MAX_ARG_STRLEN: 32 pages for one string, terminator included.
constexpr std::size_t kArgumentPages = 32;
// The tool starts as /proc/self/fd/N; its path is copied with the arguments.
constexpr std::size_t kToolPathRoom = 64;

}  // namespace

t_CommandLimits CommandLimits() {
  const long page = ::sysconf(_SC_PAGESIZE);
  const long argMax = ::sysconf(_SC_ARG_MAX);
  t_CommandLimits limits;
  limits.measure = t_CommandLimits::t_Measure::Arguments;
  limits.argument = page > 0 ? static_cast<std::size_t>(page) * kArgumentPages : 4096 * kArgumentPages;
  // ARG_MAX's floor when the system does not say.
  std::size_t total = argMax > 0 ? static_cast<std::size_t>(argMax) : 131072;
  // The environment's strings and pointers, and the two list terminators.
  std::size_t used = kToolPathRoom + 2 * sizeof(char*);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
    used += std::strlen(*entry) + 1 + sizeof(char*);
  limits.total = total > used ? total - used : 0;
  return limits;
}

}  // namespace n_zorbel::n_system
