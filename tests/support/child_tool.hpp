#pragma once
// Where the tests find child_tool, and the command lines they give it.
#include "system/text.hpp"

namespace n_zorbel::n_testing {

// child_tool's full path, as CreateProcessW or execv of this test takes it.
inline t_String ChildToolPath() { return FromUtf8(MIVORA_CHILD_TOOL); }

// A command line that starts with the quoted program name, as the tagging
// job's lines do, followed by `commands` as they stand.
inline t_String ChildToolCommandLine(t_StringView commands) {
  return ZTEXT("\"") + ChildToolPath() + ZTEXT("\" ") + t_String(commands);
}

}  // namespace n_zorbel::n_testing
