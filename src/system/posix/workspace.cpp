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
#include "system/temp_folder.hpp"

namespace n_zorbel::n_system {

namespace {

t_String WithSeparator(t_String path) {
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

// $XDG_RUNTIME_DIR belongs to one user alone; any other temporary folder
// may be shared.
bool IsPerUserFolder(const t_String& temp) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && *runtime != '\0' && WithSeparator(runtime) == temp;
}

class t_Descriptor {
 public:
  explicit t_Descriptor(int fd) noexcept : m_fd(fd) {}
  ~t_Descriptor() {
    if (m_fd != -1) ::close(m_fd);
  }
  t_Descriptor(const t_Descriptor&) = delete;
  t_Descriptor& operator=(const t_Descriptor&) = delete;
  int Get() const noexcept { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

t_String WorkspacePath() {
  const t_String temp = TempFolderPath();
  if (IsPerUserFolder(temp)) return temp + "Mivora/";
  return temp + "Mivora-" + std::to_string(::geteuid()) + "/";
}

void CreateWorkspace(const t_String& folder) {
  // Without the trailing separator, so that O_NOFOLLOW sees a planted link
  // as the last component instead of resolving through it.
  t_String path = folder;
  while (path.size() > 1 && path.back() == kPathSeparator) path.pop_back();

  const bool created = ::mkdir(path.c_str(), 0700) == 0;
  if (!created && errno != EEXIST) RaiseLastError();

  t_Descriptor opened(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (opened.Get() == -1) {
    // A link (ELOOP) or something that is not a folder (ENOTDIR) is refused
    // like a folder we may not use.
    if (errno == ELOOP || errno == ENOTDIR) RaiseSystemError(kErrorAccessDenied);
    RaiseLastError();
  }
  struct stat info {};
  if (::fstat(opened.Get(), &info) != 0) RaiseLastError();
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) RaiseSystemError(kErrorAccessDenied);
  if (created) {
    // The umask may have taken bits we need; a new folder is exactly 0700.
    if (::fchmod(opened.Get(), 0700) != 0) RaiseLastError();
  } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    RaiseSystemError(kErrorAccessDenied);
  }
}

}  // namespace n_zorbel::n_system
