#pragma once
// A folder opened as itself: a reparse point in its place (junction, symbolic
// link) is opened, not followed. While it is open nobody can rename or delete
// the folder, so what was checked stays at its place. Internal to the system
// layer.
#include <windows.h>

#include "system/error.hpp"
#include "system/text.hpp"
#include "system/tree_removal.hpp"

namespace n_zorbel::n_system::n_detail {

class t_FolderHandle {
 public:
  // `path` without the trailing separator; Valid() tells, GetLastError why not.
  explicit t_FolderHandle(const t_String& path) noexcept
      : m_handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {}
  ~t_FolderHandle() { Close(); }
  t_FolderHandle(const t_FolderHandle&) = delete;
  t_FolderHandle& operator=(const t_FolderHandle&) = delete;

  bool Valid() const noexcept { return m_handle != INVALID_HANDLE_VALUE; }
  // Its attributes and file index; raises the system error.
  BY_HANDLE_FILE_INFORMATION Information() const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(m_handle, &info)) RaiseLastError();
    return info;
  }
  static t_FolderIdentity Identity(const BY_HANDLE_FILE_INFORMATION& info) noexcept {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }
  void Close() noexcept {
    if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE m_handle;
};

}  // namespace n_zorbel::n_system::n_detail
