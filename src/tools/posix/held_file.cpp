#include "tools/held_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "system/error.hpp"
#include "system/posix/descriptor.hpp"

namespace n_zorbel::n_tools {

using n_system::n_detail::t_Descriptor;

t_HeldFile::~t_HeldFile() { Close(); }

void t_HeldFile::Open(const t_String& path) {
  Close();
  // The workspace is private; O_NOFOLLOW still refuses a link put in the
  // tool's place.
  t_Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (file.IsEmpty()) n_system::RaiseLastError();
  // A shared lock: our own exclusive opens (the mapped file) now fail with a
  // sharing violation, as they do on Windows.
  if (::fchmod(file.Get(), S_IRWXU) != 0 || ::flock(file.Get(), LOCK_SH | LOCK_NB) != 0) {
    n_system::RaiseLastError();
  }
  m_launchPath = "/proc/self/fd/" + std::to_string(file.Get());
  m_handle = file.Detach();
}

void t_HeldFile::Close() noexcept {
  if (m_handle == kEmpty) return;
  m_launchPath.clear();
  // Released as in teardown, where this also runs.
  const t_Descriptor released(static_cast<int>(std::exchange(m_handle, kEmpty)));
}

}  // namespace n_zorbel::n_tools
