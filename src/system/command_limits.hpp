#pragma once
// How much a started tool can be handed. A line that does not fit must be
// refused before the start: Linux refuses the whole exec (E2BIG), and Windows
// refuses or cuts what CreateProcessW gets, so a value would be lost.
#include <cstddef>

#include "system/text.hpp"

namespace n_zorbel::n_system {

struct t_CommandLimits {
  // How a line is counted against `total`.
  enum class t_Measure : unsigned char {
    Line,       // the line's characters and its terminator (Windows)
    Arguments,  // each argument the line splits into: its bytes, its terminator and its pointer (POSIX)
  };
  t_Measure measure = t_Measure::Line;
  // The longest one argument, with its terminator; 0 where only the total counts.
  std::size_t argument = 0;
  // Room for the line, in `measure`'s units: what is left of the platform's
  // limit after the environment and the tool's own path.
  std::size_t total = 0;
};

// Windows: 32,767 characters for CreateProcessW's whole line. Linux: 32 pages
// (MAX_ARG_STRLEN) for one argument, and sysconf(_SC_ARG_MAX) for arguments
// and environment together, less this process's environment (the tool
// inherits it) and room for the tool's path.
t_CommandLimits CommandLimits();

// What `line` costs against CommandLimits().total (see t_Measure).
std::size_t CommandCost(const t_CommandLimits& limits, t_StringView line);

}  // namespace n_zorbel::n_system
