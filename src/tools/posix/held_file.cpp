#include "tools/held_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>

#include "system/error.hpp"

namespace n_zorbel::n_tools {

t_HeldFile::~t_HeldFile() { Close(); }

void t_HeldFile::Open(const t_String& path) {
  Close();
  // The workspace is private; O_NOFOLLOW still refuses a link put in the
  // tool's place.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) n_system::RaiseLastError();
  m_handle = fd;
  // A shared lock: our own exclusive opens (the mapped file) now fail with a
  // sharing violation, as they do on Windows.
  if (::fchmod(fd, S_IRWXU) != 0 || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    const std::uint32_t error = n_system::LastSystemError();
    Close();
    n_system::RaiseSystemError(error);
  }
  m_launchPath = "/proc/self/fd/" + std::to_string(fd);
}

void t_HeldFile::Close() noexcept {
  if (m_handle == kEmpty) return;
  const int fd = static_cast<int>(m_handle);
  m_handle = kEmpty;
  m_launchPath.clear();
  // EINTR still releases the descriptor on Linux; anything else is a broken
  // descriptor table, which we cannot go on with.
  if (::close(fd) != 0 && errno != EINTR) std::terminate();
}

}  // namespace n_zorbel::n_tools
