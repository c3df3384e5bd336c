#include "tools/held_file.hpp"

#include <windows.h>

#include <utility>

#include "system/error.hpp"
#include "system/windows/handle.hpp"

namespace n_zorbel::n_tools {

using n_system::n_detail::t_FileHandle;

struct t_HeldFile::t_Held {
  explicit t_Held(t_FileHandle held) noexcept : file(std::move(held)) {}
  t_FileHandle file;
};

t_HeldFile::t_HeldFile() noexcept = default;
t_HeldFile::~t_HeldFile() = default;

void t_HeldFile::Open(const t_String& path) {
  m_held.reset();
  m_launchPath.clear();
  // Read sharing only: the tool runs (processes open it for reading and
  // execution) but nobody can write or delete it while we hold it.
  t_FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsEmpty()) n_system::RaiseLastError();
  t_String launchPath = path;
  m_held = std::make_unique<t_Held>(std::move(file));
  m_launchPath = std::move(launchPath);
}

}  // namespace n_zorbel::n_tools
