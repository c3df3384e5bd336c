#include "system/path_query.hpp"

#include <windows.h>

#include "system/error.hpp"

namespace n_zorbel::n_system {

t_PathKind QueryPath(const t_String& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return t_PathKind::Missing;
    RaiseSystemError(error);
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? t_PathKind::Folder : t_PathKind::File;
}

bool IsLink(const t_String& path) noexcept {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace n_zorbel::n_system
