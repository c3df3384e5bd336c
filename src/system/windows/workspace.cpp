#include "system/workspace.hpp"

#include <windows.h>

#include "system/error.hpp"
#include "system/temp_folder.hpp"

namespace n_zorbel::n_system {

t_String WorkspacePath() { return TempFolderPath() + L"Mivora\\"; }

void CreateWorkspace(const t_String& folder) {
  // A folder left by an earlier run is reused with whatever it holds.
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    RaiseLastError();
  }
}

}  // namespace n_zorbel::n_system
