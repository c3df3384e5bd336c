#include "system/folder_walker.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "system/entry_removal.hpp"

namespace n_zorbel::n_system {

struct t_FolderWalkerBase::t_Search {
  DIR* dir = nullptr;
  t_String folder;  // ends with '/'; entries whose type readdir leaves open are asked by path
};

namespace {

// Reads the next entry into `entry`; false at the end; raises the folder error.
bool ReadEntry(DIR* dir, const t_String& folder, t_FolderEntry& entry) {
  errno = 0;
  const dirent* found = readdir(dir);
  if (found == nullptr) {
    if (errno != 0) RaiseFolderError(LastSystemError());
    return false;
  }
  entry.name = found->d_name;
  entry.isFolder = false;
  entry.isLink = false;

  unsigned char type = found->d_type;
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
  return true;
}

}  // namespace

t_FolderWalkerBase::t_FolderWalkerBase() : m_search(std::make_unique<t_Search>()) {}

t_FolderWalkerBase::~t_FolderWalkerBase() { CloseSearch(); }

bool t_FolderWalkerBase::OpenSearch(const t_String& folder) {
  CloseSearch();
  m_search->dir = opendir(folder.c_str());
  if (m_search->dir == nullptr) RaiseFolderError(LastSystemError());
  m_search->folder = folder;
  if (!ReadEntry(m_search->dir, m_search->folder, m_entry)) {
    CloseSearch();
    return false;
  }
  return true;
}

bool t_FolderWalkerBase::NextEntry() {
  if (m_search->dir == nullptr) return false;
  return ReadEntry(m_search->dir, m_search->folder, m_entry);
}

void t_FolderWalkerBase::CloseSearch() noexcept {
  if (m_search == nullptr || m_search->dir == nullptr) return;
  // closedir fails only on a broken stream; nothing sound can follow that.
  if (closedir(m_search->dir) != 0) std::terminate();
  m_search->dir = nullptr;
}

namespace n_detail {

std::uint32_t DeleteFileEntry(const t_String& path) noexcept {
  return unlink(path.c_str()) == 0 ? 0 : LastSystemError();
}

std::uint32_t DeleteFolderLink(const t_String& path) noexcept {
  return unlink(path.c_str()) == 0 ? 0 : LastSystemError();
}

std::uint32_t RemoveEmptyFolder(const t_String& folder) noexcept {
  return rmdir(folder.c_str()) == 0 ? 0 : LastSystemError();
}

}  // namespace n_detail

}  // namespace n_zorbel::n_system
