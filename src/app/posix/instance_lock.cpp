#include "app/posix/instance_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/error.hpp"

namespace n_zorbel::n_app {

t_String InstanceLockPath(std::string_view xdgRuntimeDir, const t_String& tempFolder, unsigned userId) {
  if (!xdgRuntimeDir.empty()) {
    t_String path(xdgRuntimeDir);
    if (path.back() != '/') path += '/';
    return path + "mivora.lock";
  }
  return tempFolder + "mivora-" + std::to_string(userId) + ".lock";
}

t_InstanceLock::t_InstanceLock(const t_String& path) {
  m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
  if (m_fd < 0) n_system::RaiseLastError();
  struct stat status {};
  if (::fstat(m_fd, &status) != 0) {
    const int error = errno;
    ::close(m_fd);
    errno = error;
    n_system::RaiseLastError();
  }
  // In a shared temporary folder another user could plant the file and hold
  // its lock for ever; such a file is not ours to trust.
  if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    ::close(m_fd);
    m_fd = -1;
    errno = EACCES;
    n_system::RaiseLastError();
  }
  if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
    m_acquired = true;
    return;
  }
  const int error = errno;
  if (error == EWOULDBLOCK) return;
  ::close(m_fd);
  m_fd = -1;
  errno = error;
  n_system::RaiseLastError();
}

t_InstanceLock::~t_InstanceLock() {
  if (m_fd >= 0) ::close(m_fd);
}

}  // namespace n_zorbel::n_app
