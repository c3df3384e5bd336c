#pragma once
// The platform steps of removing a folder tree and of keeping the workspace
// private. Internal to the system layer.
#include <cstdint>
#include <optional>

#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system::n_detail {

// What tells one folder from another while it exists: device and inode on
// POSIX, volume serial number and file index on Windows.
struct t_FolderIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const t_FolderIdentity&) const = default;
};

// Removes `folder` with everything in it, depth first, when a real folder is
// at its place (a link or reparse point there is not followed) and, given
// `expected`, it is that very folder; otherwise touches nothing and answers
// false. Links inside are removed themselves, never entered. Raises the folder
// error when the folder cannot be opened or listed, and the system error of a
// deletion that fails for any reason but "already gone".
bool RemoveTreeIf(const t_String& folder, const std::optional<t_FolderIdentity>& expected);

// Creates `folder` (its last level) private to the user, or accepts an
// existing private folder of ours; anything else there (a link, another
// user's folder, one others may write) raises access denied. Answers the
// folder's identity.
t_FolderIdentity OpenPrivateFolder(const t_String& folder);

// Whether `folder` is free or a folder OpenPrivateFolder would accept: a
// forecast that start-up uses to pick a name; creation checks again.
bool MayBecomeWorkspace(const t_String& folder);

// The usual workspace path, and a fresh uniquely named private folder made
// beside it (the usual path, without separator, plus a suffix).
t_String UsualWorkspacePath();
t_String MakeFreshWorkspace(const t_String& usual);

// "Not found" means the entry is gone already, which is what removal wants.
inline void RaiseUnlessGone(std::uint32_t error) {
  if (error != 0 && error != kErrorFileNotFound && error != kErrorPathNotFound) RaiseSystemError(error);
}

}  // namespace n_zorbel::n_system::n_detail
