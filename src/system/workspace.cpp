#include "system/workspace.hpp"

#include <mutex>
#include <optional>
#include <vector>

#include "system/tree_removal.hpp"

namespace n_zorbel::n_system {

namespace {

struct t_OwnFolder {
  t_String folder;
  n_detail::t_FolderIdentity identity;
};

// The workspaces this process made or accepted. Only these are ever removed,
// so a folder or link planted at the path, or a folder left by another run,
// survives a run in which Apply was never pressed.
class t_OwnFolders {
 public:
  void Note(const t_String& folder, const n_detail::t_FolderIdentity& identity) {
    const std::lock_guard lock(m_mutex);
    Forget(folder);
    m_folders.push_back({folder, identity});
  }
  std::optional<n_detail::t_FolderIdentity> Take(const t_String& folder) {
    const std::lock_guard lock(m_mutex);
    std::optional<n_detail::t_FolderIdentity> identity;
    for (const t_OwnFolder& own : m_folders)
      if (own.folder == folder) identity = own.identity;
    Forget(folder);
    return identity;
  }

 private:
  void Forget(const t_String& folder) {
    std::erase_if(m_folders, [&](const t_OwnFolder& own) { return own.folder == folder; });
  }
  std::mutex m_mutex;
  std::vector<t_OwnFolder> m_folders;
};

t_OwnFolders& OwnFolders() {
  static t_OwnFolders folders;
  return folders;
}

}  // namespace

t_String WorkspacePath() {
  const t_String usual = n_detail::UsualWorkspacePath();
  if (n_detail::MayBecomeWorkspace(usual)) return usual;
  try {
    const t_String fresh = n_detail::MakeFreshWorkspace(usual);
    CreateWorkspace(fresh);
    return fresh;
  } catch (const t_ErrorException&) {
    // No fresh folder can be made: Apply reports why the usual one fails.
    return usual;
  }
}

void CreateWorkspace(const t_String& folder) { OwnFolders().Note(folder, n_detail::OpenPrivateFolder(folder)); }

void RemoveWorkspace(const t_String& folder) {
  const std::optional<n_detail::t_FolderIdentity> identity = OwnFolders().Take(folder);
  // A folder that is no longer the one noted (replaced, or a link put in its
  // place) is someone else's now and stays.
  if (identity) n_detail::RemoveTreeIf(folder, identity);
}

}  // namespace n_zorbel::n_system
