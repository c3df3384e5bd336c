#include "system/folder_walker.hpp"

#include <windows.h>

#include <exception>

#include "system/entry_removal.hpp"

namespace n_zorbel::n_system {

struct t_FolderWalkerBase::t_Search {
  HANDLE handle = INVALID_HANDLE_VALUE;
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
  m_search->handle = FindFirstFileW(pattern.c_str(), &m_search->data);
  if (m_search->handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) return false;
    RaiseFolderError(error);
  }
  ReadEntry(m_search->data, m_entry);
  return true;
}

bool t_FolderWalkerBase::NextEntry() {
  if (m_search->handle == INVALID_HANDLE_VALUE) return false;
  if (!FindNextFileW(m_search->handle, &m_search->data)) {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) return false;
    RaiseFolderError(error);
  }
  ReadEntry(m_search->data, m_entry);
  return true;
}

void t_FolderWalkerBase::CloseSearch() noexcept {
  if (m_search == nullptr || m_search->handle == INVALID_HANDLE_VALUE) return;
  // This runs during unwinding too; a search that cannot be closed ends the process.
  if (!FindClose(m_search->handle)) std::terminate();
  m_search->handle = INVALID_HANDLE_VALUE;
}

namespace n_detail {

std::uint32_t DeleteFileEntry(const t_String& path) noexcept {
  return DeleteFileW(path.c_str()) ? 0 : GetLastError();
}

std::uint32_t DeleteFolderLink(const t_String& path) noexcept {
  // A directory link is removed as a folder; the folder it names stays.
  return RemoveDirectoryW(path.c_str()) ? 0 : GetLastError();
}

std::uint32_t RemoveEmptyFolder(const t_String& folder) noexcept {
  return RemoveDirectoryW(folder.c_str()) ? 0 : GetLastError();
}

}  // namespace n_detail

}  // namespace n_zorbel::n_system
