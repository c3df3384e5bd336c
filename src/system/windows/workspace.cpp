// The temporary folder of a Windows user is the user's own, so the workspace
// is the plain "Mivora" folder there; only a reparse point in its place (a
// stale junction or link) is refused, so nothing is ever written or removed
// through one.
#include "system/workspace.hpp"

#include <windows.h>

#include <string>

#include "system/error.hpp"
#include "system/temp_folder.hpp"
#include "system/tree_removal.hpp"
#include "system/windows/folder_handle.hpp"

namespace n_zorbel::n_system::n_detail {

namespace {

constexpr int kFreshNameAttempts = 100;

t_String WithoutSeparator(t_String path) {
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

bool IsPlainFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace

t_String UsualWorkspacePath() { return TempFolderPath() + L"Mivora\\"; }

bool MayBecomeWorkspace(const t_String& folder) {
  const DWORD attributes = ::GetFileAttributesW(WithoutSeparator(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  return IsPlainFolder(attributes);
}

t_String MakeFreshWorkspace(const t_String& usual) {
  const t_String stem = WithoutSeparator(usual) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
  for (int attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
    const t_String path = stem + std::to_wstring(attempt);
    if (::CreateDirectoryW(path.c_str(), nullptr)) return path + L'\\';
    if (::GetLastError() != ERROR_ALREADY_EXISTS) RaiseLastError();
  }
  RaiseSystemError(ERROR_ALREADY_EXISTS);
}

t_FolderIdentity OpenPrivateFolder(const t_String& folder) {
  // A folder left by an earlier run is reused with whatever it holds.
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    RaiseLastError();
  }
  const t_FolderHandle opened(WithoutSeparator(folder));
  if (!opened.Valid()) RaiseLastError();
  const BY_HANDLE_FILE_INFORMATION info = opened.Information();
  if (opened.IsReparsePoint(info) || !IsPlainFolder(info.dwFileAttributes)) RaiseSystemError(ERROR_ACCESS_DENIED);
  return opened.Identity(info);
}

}  // namespace n_zorbel::n_system::n_detail
