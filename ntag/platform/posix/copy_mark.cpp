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

// Whether `fd` is still the file called `name` in `folder`.
bool StillNamed(int folder, int fd, const std::string& name) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

// What `fd`, found as the lock of `names` in `folder`, proves once this run holds it: not ours
// unless it is a regular file that no one holds and that still has that name.
t_LockProof ProofOfFoundLock(int folder, int fd, const t_CopyNames& names) {
  struct stat held;
  if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
      !StillNamed(folder, fd, names.lock)) {
    return t_LockProof::NotOurs;
  }
  std::string start(LockContent(names).size() + 1, '\0');
  const ssize_t n = ::pread(fd, start.data(), start.size(), 0);
  if (n < 0) return t_LockProof::NotOurs;
  start.resize(static_cast<std::size_t>(n));
  return ProofOfLock(start, names);
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
  // Named while empty, it may be taken by another run for one a kill left, and removed, before
  // this run holds it; then its names are lost, and the caller tries new ones.
  int error = 0;
  if (!hold(fd)) {
    error = errno == EWOULDBLOCK ? EEXIST : errno != 0 ? errno : EIO;
  } else if (!StillNamed(folder, fd, names.lock)) {
    error = EEXIST;
  }
  if (error != 0) {
    if (StillNamed(folder, fd, names.lock)) (void)::unlinkat(folder, names.lock.c_str(), 0);
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
    const t_LockProof proof = ProofOfFoundLock(folder, lock, *names);
    // The copy goes first, so a kill here leaves the lock that proves the rest.
    struct stat copy;
    if (proof == t_LockProof::Copy &&
        ::fstatat(folder, names->copy.c_str(), &copy, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(copy.st_mode)) {
      (void)::unlinkat(folder, names->copy.c_str(), 0);
    }
    if (proof != t_LockProof::NotOurs) (void)::unlinkat(folder, names->lock.c_str(), 0);
    ::close(lock);
  }
  ::closedir(listing);
}

}  // namespace n_zorbel::n_ntag
