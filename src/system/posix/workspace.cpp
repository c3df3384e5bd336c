// On POSIX the temporary folder is often shared by all users (/tmp), so the
// workspace must be private: whoever owns the folder could plant the tool
// that we run. It is created 0700, and an existing one is used only when it
// is a real folder of ours that nobody else can write to.
#include "system/workspace.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "system/error.hpp"
#include "system/posix/descriptor.hpp"
#include "system/temp_folder.hpp"
#include "system/tree_removal.hpp"

namespace n_zorbel::n_system::n_detail {

namespace {

t_String WithSeparator(t_String path) {
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

// Without the trailing separator, so that O_NOFOLLOW and lstat see a link
// as the last component instead of resolving through it.
t_String WithoutSeparator(t_String path) {
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();
  return path;
}

// $XDG_RUNTIME_DIR belongs to one user alone; any other temporary folder
// may be shared.
bool IsPerUserFolder(const t_String& temp) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && *runtime != '\0' && WithSeparator(runtime) == temp;
}

// A real folder of ours that nobody else can write to.
bool IsPrivateFolder(const struct stat& info) {
  return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

t_String UsualWorkspacePath() {
  const t_String temp = TempFolderPath();
  if (IsPerUserFolder(temp)) return temp + "Mivora/";
  return temp + "Mivora-" + std::to_string(::geteuid()) + "/";
}

bool MayBecomeWorkspace(const t_String& folder) {
  struct stat info {};
  if (::lstat(WithoutSeparator(folder).c_str(), &info) != 0) return errno == ENOENT;
  return IsPrivateFolder(info);
}

t_String MakeFreshWorkspace(const t_String& usual) {
  // mkdtemp makes the folder 0700 under a name nobody held before.
  t_String path = WithoutSeparator(usual) + "-XXXXXX";
  if (::mkdtemp(path.data()) == nullptr) RaiseLastError();
  return path + kPathSeparator;
}

t_FolderIdentity OpenPrivateFolder(const t_String& folder) {
  const t_String path = WithoutSeparator(folder);
  const bool created = ::mkdir(path.c_str(), 0700) == 0;
  if (!created && errno != EEXIST) RaiseLastError();

  const t_Descriptor opened(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (opened.Get() == -1) {
    // A link (ELOOP) or something that is not a folder (ENOTDIR) is refused
    // like a folder we may not use.
    if (errno == ELOOP || errno == ENOTDIR) RaiseSystemError(kErrorAccessDenied);
    RaiseLastError();
  }
  // The umask may have taken bits we need; a new folder is exactly 0700.
  if (created && ::fchmod(opened.Get(), 0700) != 0) RaiseLastError();
  struct stat info {};
  if (::fstat(opened.Get(), &info) != 0) RaiseLastError();
  if (!IsPrivateFolder(info)) RaiseSystemError(kErrorAccessDenied);
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace n_zorbel::n_system::n_detail
