#include "platform/copy_mark.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace n_zorbel::n_ntag {
namespace {

// What flock says on a file system that keeps no locks (some network mounts).
bool NoLocksHere(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

bool WriteWhole(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Whether `fd`, under `name` in `folder`, is a lock whose run has ended: a regular file that
// no one holds, that holds exactly what the lock of `names` holds, and still has that name.
bool IsAbandonedLock(int folder, int fd, const t_CopyNames& names) {
  struct stat held, named;
  if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
  const std::string expected = LockContent(names);
  std::string content(expected.size() + 1, '\0');
  const ssize_t n = ::pread(fd, content.data(), content.size(), 0);
  return n == static_cast<ssize_t>(expected.size()) && content.compare(0, expected.size(), expected) == 0 &&
         ::fstatat(folder, names.lock.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

}  // namespace

int LinkUnnamed(int fd, int folder, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != ENOENT) return errno;
  // Without /proc: through the descriptor itself, which older kernels allow privileged users only.
  return ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

int CreateCopyLock(int folder, const t_CopyNames& names) {
  const std::string content = LockContent(names);
  // Held from before its line: a later run reads a lock only once it can take it. Where the
  // file system has no locks at all, no run can take it, so none removes it meanwhile.
  const auto hold = [&content](int fd) {
    return (::flock(fd, LOCK_EX | LOCK_NB) == 0 || NoLocksHere(errno)) && WriteWhole(fd, content);
  };
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const int error = hold(fd) ? LinkUnnamed(fd, folder, names.lock) : (errno != 0 ? errno : EIO);
    if (error == 0) return fd;
    ::close(fd);
    return -error;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -errno;
#endif
  fd = ::openat(folder, names.lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -errno;
  if (!hold(fd)) {
    const int error = errno != 0 ? errno : EIO;
    (void)::unlinkat(folder, names.lock.c_str(), 0);
    ::close(fd);
    return -error;
  }
  return fd;
}

void RemoveCopyLock(int folder, const std::string& lockName, int lock) {
  (void)::unlinkat(folder, lockName.c_str(), 0);
  ::close(lock);
}

void RemoveAbandonedCopies(int folder) {
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const auto names = CopyNamesOfLock(entry->d_name);
    if (!names) continue;
    const int lock =
        ::openat(folder, names->lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (lock < 0) continue;
    if (IsAbandonedLock(folder, lock, *names)) {
      // The copy goes first, so a kill here leaves the lock that proves the rest.
      struct stat copy;
      if (::fstatat(folder, names->copy.c_str(), &copy, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(copy.st_mode)) {
        (void)::unlinkat(folder, names->copy.c_str(), 0);
      }
      (void)::unlinkat(folder, names->lock.c_str(), 0);
    }
    ::close(lock);
  }
  ::closedir(listing);
}

}  // namespace n_zorbel::n_ntag
