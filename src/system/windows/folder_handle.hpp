#pragma once
// A folder, or a link, opened as itself: a reparse point in its place
// (junction, symbolic link) is opened, not followed. While it is open nobody can rename or delete
// the folder, so what was checked stays at its place. Internal to the system
// layer.
#include <windows.h>

#include "system/error.hpp"
#include "system/text.hpp"
#include "system/tree_removal.hpp"
#include "system/windows/handle.hpp"

namespace n_zorbel::n_system::n_detail {

class t_FolderHandle {
 public:
  // `path` without the trailing separator; Valid() tells, GetLastError why
  // not. `access` adds DELETE for a link that is to go through this handle.
  explicit t_FolderHandle(const t_String& path, DWORD access = FILE_READ_ATTRIBUTES) noexcept
      : m_path(path),
        m_handle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {}
  t_FolderHandle(const t_FolderHandle&) = delete;
  t_FolderHandle& operator=(const t_FolderHandle&) = delete;

  bool Valid() const noexcept { return !m_handle.IsEmpty(); }
  HANDLE Handle() const noexcept { return m_handle.Get(); }
  // Its attributes and file index; raises the system error.
  BY_HANDLE_FILE_INFORMATION Information() const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(m_handle.Get(), &info)) RaiseLastError();
    return info;
  }
  // A reparse point by the handle's answer or by the path's: Wine opens the
  // target of a link even when asked not to, and only the path tells.
  bool IsReparsePoint(const BY_HANDLE_FILE_INFORMATION& info) const noexcept {
    const DWORD byPath = ::GetFileAttributesW(m_path.c_str());
    return ((info.dwFileAttributes | (byPath == INVALID_FILE_ATTRIBUTES ? 0 : byPath)) &
            FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  // Deletes what the handle names (opened with DELETE), once closed.
  DWORD MarkForDeletion() const noexcept {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(m_handle.Get(), FileDispositionInfo, &disposition, sizeof disposition)
               ? 0
               : ::GetLastError();
  }
  static t_FolderIdentity Identity(const BY_HANDLE_FILE_INFORMATION& info) noexcept {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }

 private:
  t_String m_path;
  t_FileHandle m_handle;
};

}  // namespace n_zorbel::n_system::n_detail
