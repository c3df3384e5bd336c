#pragma once
// Whether the tool's command line fits what the platform can hand to a
// started program. Checked before a run starts: a line that does not fit
// would fail the start (Linux) or lose values (Windows) on the way.
#include <optional>
#include <vector>

#include "system/command_limits.hpp"
#include "system/text.hpp"
#include "tagging/tag_set.hpp"

namespace n_zorbel::n_tagging {

// The value an argument of the line carries.
enum class t_LineField : unsigned char { Title, Artist, Year, Genre, Comment, Cover, Video };

struct t_LineBreach {
  // The one argument that is too long; empty: the line as a whole is.
  std::optional<t_LineField> field;
  // One argument: the most its value may hold, in the platform's units
  // (the option's own name and the terminator taken off). The whole line:
  // the platform's room for it.
  std::size_t limit = 0;
};

// Checks the line built for the longest of `videoPaths` (a longer path only
// makes the line longer); nothing when every video's line fits.
std::optional<t_LineBreach> CheckCommandLine(const t_TagSet& tags, bool removeBlank,
                                             const std::vector<t_String>& videoPaths,
                                             const n_system::t_CommandLimits& limits);

}  // namespace n_zorbel::n_tagging
