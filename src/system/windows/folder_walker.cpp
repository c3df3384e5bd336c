#include "system/folder_walker.hpp"

#include <windows.h>

#include "system/tree_removal.hpp"
#include "system/windows/folder_handle.hpp"
#include "system/windows/handle.hpp"

namespace n_zorbel::n_system {

struct t_FolderWalkerBase::t_Search {
  n_detail::t_FindHandle handle;
  WIN32_FIND_DATAW data{};
};

namespace {

void ReadEntry(const WIN32_FIND_DATAW& data, t_FolderEntry& entry) {
  entry.name = data.cFileName;
  entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Junctions and symbolic links carry the reparse-point attribute.
  entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

t_FolderWalkerBase::t_FolderWalkerBase() : m_search(std::make_unique<t_Search>()) {}

t_FolderWalkerBase::~t_FolderWalkerBase() { CloseSearch(); }

bool t_FolderWalkerBase::OpenSearch(const t_String& folder) {
  CloseSearch();
  const t_String pattern = folder + L"*";
  m_search->handle = n_detail::t_FindHandle(FindFirstFileW(pattern.c_str(), &m_search->data));
  if (m_search->handle.IsEmpty()) {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) return false;
    RaiseFolderError(error);
  }
  ReadEntry(m_search->data, m_entry);
  return true;
}

bool t_FolderWalkerBase::NextEntry() {
  if (m_search->handle.IsEmpty()) return false;
  if (!FindNextFileW(m_search->handle.Get(), &m_search->data)) {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) return false;
    RaiseFolderError(error);
  }
  ReadEntry(m_search->data, m_entry);
  return true;
}

void t_FolderWalkerBase::CloseSearch() noexcept {
  if (m_search == nullptr) return;
  // This runs during unwinding too, so the search goes as in teardown.
  m_search->handle = n_detail::t_FindHandle();
}

namespace {

// The system error of a call that answered `done` (0 on success).
DWORD ErrorOf(BOOL done) noexcept { return done ? 0 : ::GetLastError(); }

// Removes a link itself, through a handle that is checked to hold the link
// and not what it names. Wine opens the target instead, and its DeleteFileW
// deletes a link's target: there the link is refused and stays.
DWORD DeleteLink(const t_String& path) noexcept {
  const n_detail::t_FolderHandle link(path, DELETE | FILE_READ_ATTRIBUTES);
  if (!link.Valid()) return ::GetLastError();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(link.Handle(), &info)) return ::GetLastError();
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return ERROR_ACCESS_DENIED;
  return link.MarkForDeletion();
}

}  // namespace

namespace n_detail {

bool RemoveTreeIf(const t_String& folder, const std::optional<t_FolderIdentity>& expected) {
  t_String path = folder;
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  {
    // Held open while the contents go: the checked folder cannot be renamed
    // away and replaced meanwhile.
    const t_FolderHandle root(path);
    if (!root.Valid()) RaiseFolderError(::GetLastError());
    const BY_HANDLE_FILE_INFORMATION info = root.Information();
    if (root.IsReparsePoint(info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    if (expected && t_FolderHandle::Identity(info) != *expected) return false;
    WalkFolder(path, [](const t_String& entryPath, const t_FolderEntry& entry) {
      if (entry.isLink) {
        // A link goes by itself; following it could delete what lies outside
        // the tree.
        RaiseUnlessGone(DeleteLink(entryPath));
      } else if (entry.isFolder) {
        // Depth first, opened again as itself: a link put there meanwhile
        // is removed, not entered.
        if (!RemoveTreeIf(entryPath, std::nullopt)) RaiseUnlessGone(DeleteLink(entryPath));
      } else {
        RaiseUnlessGone(ErrorOf(::DeleteFileW(entryPath.c_str())));
      }
    });
  }
  RaiseUnlessGone(ErrorOf(::RemoveDirectoryW(path.c_str())));
  return true;
}

}  // namespace n_detail

}  // namespace n_zorbel::n_system
