#include "system/folder_walker.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "system/owned_handle.hpp"
#include "system/posix/descriptor.hpp"
#include "system/tree_removal.hpp"

namespace n_zorbel::n_system {

namespace {

struct t_ReadName {
  t_String name;
  unsigned char type;  // readdir's d_type; DT_UNKNOWN is asked by path later
};

}  // namespace

// readdir hands out entries in the file system's own order (hash or creation
// order), so the names are read whole at OpenSearch and handed out sorted by
// their bytes, as NTFS lists them by name on Windows.
struct t_FolderWalkerBase::t_Search {
  std::vector<t_ReadName> names;
  std::size_t next = 0;  // the entry NextEntry hands out
  t_String folder;       // ends with '/'
};

namespace {

struct t_DirTraits {
  using t_Value = DIR*;
  static DIR* Empty() noexcept { return nullptr; }
  static bool Release(DIR* dir) noexcept { return closedir(dir) == 0; }
};

using t_Dir = n_detail::t_OwnedHandle<t_DirTraits>;

// Every entry of an open folder, sorted by name; raises the folder error.
std::vector<t_ReadName> ReadNames(const t_Dir& dir) {
  if (dir.IsEmpty()) RaiseFolderError(LastSystemError());
  std::vector<t_ReadName> names;
  for (;;) {
    errno = 0;
    const dirent* found = readdir(dir.Get());
    if (found == nullptr) {
      if (errno != 0) RaiseFolderError(LastSystemError());
      break;
    }
    names.push_back({found->d_name, found->d_type});
  }
  // std::string compares its chars as unsigned: byte order, also for names
  // that are not UTF-8.
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return names;
}

// Fills `entry` from one read name; the type that readdir left open and the
// target of a link are asked now, without following the link itself.
void Describe(const t_String& folder, const t_ReadName& read, t_FolderEntry& entry) {
  entry.name = read.name;
  entry.isFolder = false;
  entry.isLink = false;

  unsigned char type = read.type;
  const t_String path = folder + entry.name;
  if (type == DT_UNKNOWN) {
    // Some file systems do not report the type; ask without following links.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
      if (S_ISLNK(info.st_mode))
        type = DT_LNK;
      else if (S_ISDIR(info.st_mode))
        type = DT_DIR;
    }
  }
  if (type == DT_DIR) {
    entry.isFolder = true;
  } else if (type == DT_LNK) {
    // Like a Windows directory link, a link to a folder reports the folder
    // bit, so visitors can tell it from a link to a file; it is never entered.
    entry.isLink = true;
    struct stat target {};
    entry.isFolder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  }
}

}  // namespace

t_FolderWalkerBase::t_FolderWalkerBase() : m_search(std::make_unique<t_Search>()) {}

t_FolderWalkerBase::~t_FolderWalkerBase() { CloseSearch(); }

bool t_FolderWalkerBase::OpenSearch(const t_String& folder) {
  CloseSearch();
  m_search->names = ReadNames(t_Dir(opendir(folder.c_str())));
  m_search->folder = folder;
  return NextEntry();
}

bool t_FolderWalkerBase::NextEntry() {
  if (m_search->next >= m_search->names.size()) {
    CloseSearch();
    return false;
  }
  Describe(m_search->folder, m_search->names[m_search->next++], m_entry);
  return true;
}

void t_FolderWalkerBase::CloseSearch() noexcept {
  if (m_search == nullptr) return;
  m_search->names.clear();
  m_search->next = 0;
}

namespace {

using n_detail::t_Descriptor;

// A folder opened without following a link at its place; -1 with errno set.
int OpenFolderAt(int parent, const char* name) noexcept {
  return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A listing of the open `folder`; raises the folder error.
t_Dir ListFolder(int folder) {
  // fdopendir takes its descriptor over; the caller keeps its own.
  t_Descriptor listed(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (listed.IsEmpty()) RaiseFolderError(LastSystemError());
  t_Dir dir(::fdopendir(listed.Get()));
  if (dir.IsEmpty()) RaiseFolderError(LastSystemError());
  listed.Detach();
  return dir;
}

// Removes everything beneath the open `folder`. Every step names its entry
// relative to that descriptor, so nothing renamed or linked in along the way
// can lead the removal outside the tree.
void RemoveContents(int folder) {
  // The listing is closed before the removal descends.
  const std::vector<t_ReadName> names = ReadNames(ListFolder(folder));
  for (const t_ReadName& read : names) {
    const char* name = read.name.c_str();
    if (t_FolderWalkerBase::IsDotEntry(read.name)) continue;
    struct stat info {};
    if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      n_detail::RaiseUnlessGone(LastSystemError());
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      const t_Descriptor sub(OpenFolderAt(folder, name));
      if (sub.Get() == -1) RaiseFolderError(LastSystemError());
      RemoveContents(sub.Get());
    }
    // A link is removed itself, whatever it names.
    if (::unlinkat(folder, name, S_ISDIR(info.st_mode) ? AT_REMOVEDIR : 0) != 0)
      n_detail::RaiseUnlessGone(LastSystemError());
  }
}

}  // namespace

namespace n_detail {

bool RemoveTreeIf(const t_String& folder, const std::optional<t_FolderIdentity>& expected) {
  // Without the trailing separator, so that O_NOFOLLOW sees a link in the
  // folder's place instead of resolving through it.
  t_String path = folder;
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  const t_Descriptor root(OpenFolderAt(AT_FDCWD, path.c_str()));
  if (root.Get() == -1) {
    if (errno == ELOOP || errno == ENOTDIR) return false;
    RaiseFolderError(LastSystemError());
  }
  struct stat info {};
  if (::fstat(root.Get(), &info) != 0) RaiseFolderError(LastSystemError());
  const t_FolderIdentity found{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  if (expected && found != *expected) return false;
  RemoveContents(root.Get());
  // rmdir removes only an empty folder and never follows a link.
  if (::rmdir(path.c_str()) != 0) RaiseUnlessGone(LastSystemError());
  return true;
}

}  // namespace n_detail

}  // namespace n_zorbel::n_system
