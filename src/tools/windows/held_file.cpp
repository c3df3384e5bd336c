#include "tools/held_file.hpp"

#include <windows.h>

#include <utility>

#include "system/error.hpp"
#include "system/windows/handle.hpp"

namespace n_zorbel::n_tools {

using n_system::n_detail::t_FileHandle;

t_HeldFile::~t_HeldFile() { Close(); }

void t_HeldFile::Open(const t_String& path) {
  Close();
  // Read sharing only: the tool runs (processes open it for reading and
  // execution) but nobody can write or delete it while we hold it.
  t_FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsEmpty()) n_system::RaiseLastError();
  m_handle = reinterpret_cast<std::intptr_t>(file.Detach());
  m_launchPath = path;
}

void t_HeldFile::Close() noexcept {
  if (m_handle == kEmpty) return;
  m_launchPath.clear();
  // Released as in teardown, where this also runs.
  const t_FileHandle released(reinterpret_cast<HANDLE>(std::exchange(m_handle, kEmpty)));
}

}  // namespace n_zorbel::n_tools
