#pragma once
// The private folder under the temporary folder into which the tool is unpacked.
#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system {

// The temporary folder + "Mivora" + separator; on POSIX, when the temporary
// folder is shared between users, "Mivora-<uid>" so nobody else can own it.
// When something else already holds that name (a link, a file, a folder of
// another user or one others may write), a fresh private folder with a unique
// name beside it is made and answered instead, so nobody can block Apply.
t_String WorkspacePath();

// Creates the workspace's last level or accepts an existing one, and notes it
// as this process's own. On POSIX the folder is created 0700 and an existing
// one is refused unless it is a real folder (not a link) owned by the user and
// not writable by group or others; on Windows a reparse point is refused.
void CreateWorkspace(const t_String& folder);

// Removes the workspace with everything in it, but only one that this process
// created or accepted (CreateWorkspace, or the fresh folder of WorkspacePath)
// and only while that very folder is still at its place, opened without
// following a link or reparse point there. Anything else is left alone.
// Raises when a removal that may go ahead fails.
void RemoveWorkspace(const t_String& folder);

}  // namespace n_zorbel::n_system
