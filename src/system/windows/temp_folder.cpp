#include "system/temp_folder.hpp"

#include <windows.h>

#include "system/error.hpp"

namespace n_zorbel::n_system {

t_String TempFolderPath() {
  t_String path;
  // The needed length, with the terminating NUL; a usable answer fits MAX_PATH.
  const DWORD needed = GetTempPathW(0, nullptr);
  if (needed < 2 || needed > MAX_PATH + 1) RaiseLastError();
  path.resize(needed);
  if (GetTempPathW(needed, path.data()) != needed - 1) RaiseLastError();
  path.resize(needed - 1);
  if (path.back() != L'\\') path += L'\\';
  return path;
}

}  // namespace n_zorbel::n_system
