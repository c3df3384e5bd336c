#include "system/folder_walker.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <vector>

#include "system/entry_removal.hpp"

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

struct t_DirCloser {
  void operator()(DIR* dir) const noexcept {
    // closedir fails only on a broken stream; nothing sound can follow that.
    if (closedir(dir) != 0) std::terminate();
  }
};

// Every entry of `folder`, sorted by name; raises the folder error.
std::vector<t_ReadName> ReadNames(const t_String& folder) {
  const std::unique_ptr<DIR, t_DirCloser> dir(opendir(folder.c_str()));
  if (dir == nullptr) RaiseFolderError(LastSystemError());
  std::vector<t_ReadName> names;
  for (;;) {
    errno = 0;
    const dirent* found = readdir(dir.get());
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
  m_search->names = ReadNames(folder);
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
