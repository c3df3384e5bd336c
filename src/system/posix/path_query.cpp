#include "system/path_query.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "system/error.hpp"

namespace n_zorbel::n_system {

t_PathKind QueryPath(const t_String& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return t_PathKind::Missing;
    RaiseLastError();
  }
  return S_ISDIR(info.st_mode) ? t_PathKind::Folder : t_PathKind::File;
}

bool IsLink(const t_String& path) noexcept {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace n_zorbel::n_system
