#include "tools/held_file.hpp"

#include <windows.h>

#include <exception>

#include "system/error.hpp"

namespace n_zorbel::n_tools {

t_HeldFile::~t_HeldFile() { Close(); }

void t_HeldFile::Open(const t_String& path) {
  Close();
  // Read sharing only: the tool runs (processes open it for reading and
  // execution) but nobody can write or delete it while we hold it.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) n_system::RaiseLastError();
  m_handle = reinterpret_cast<std::intptr_t>(file);
  m_launchPath = path;
}

void t_HeldFile::Close() noexcept {
  if (m_handle == kEmpty) return;
  const HANDLE file = reinterpret_cast<HANDLE>(m_handle);
  m_handle = kEmpty;
  m_launchPath.clear();
  if (!::CloseHandle(file)) std::terminate();
}

}  // namespace n_zorbel::n_tools
