#pragma once
// The private folder under the temporary folder into which the tool is unpacked.
#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system {

// The temporary folder + "Mivora" + separator; on POSIX, when the temporary
// folder is shared between users, "Mivora-<uid>" so nobody else can own it.
t_String WorkspacePath();

// Creates the workspace's last level or accepts an existing one. On POSIX the
// folder is created 0700 and an existing one is refused unless it is a real
// folder (not a link) owned by the user and not writable by group or others.
void CreateWorkspace(const t_String& folder);

}  // namespace n_zorbel::n_system
