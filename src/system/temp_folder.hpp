#pragma once
#include "system/text.hpp"

namespace n_zorbel::n_system {

// The user's temporary folder, always ending with the separator.
// Windows: GetTempPathW. POSIX: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp.
t_String TempFolderPath();

}  // namespace n_zorbel::n_system
