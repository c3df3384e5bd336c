#include "app/posix/instance_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace n_zorbel::n_app {

t_String InstanceLockPath(std::string_view xdgRuntimeDir, const t_String& tempFolder, unsigned userId) {
  if (!xdgRuntimeDir.empty()) {
    t_String path(xdgRuntimeDir);
    if (path.back() != '/') path += '/';
    return path + "mivora.lock";
  }
  return tempFolder + "mivora-" + std::to_string(userId) + ".lock";
}

t_InstanceLock::t_InstanceLock(const t_String& path) noexcept
    : m_file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600)) {
  if (m_file.IsEmpty()) return;
  // In a shared temporary folder another user could plant the file and hold
  // its lock for ever; such a file says nothing about our instances.
  struct stat status {};
  if (::fstat(m_file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) return;
  m_anotherInstanceRuns = ::flock(m_file.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace n_zorbel::n_app
