#include "copy_mark.hpp"

#include <dirent.h>
#include <fcntl.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace n_zorbel::n_ntag {
namespace {

bool IsMarkedAsCopy(int fd) {
#ifdef __linux__
  char value[2];
  return ::fgetxattr(fd, kCopyMark, value, sizeof value) == 1 && value[0] == '1';
#else
  (void)fd;
  return false;
#endif
}

// Exactly the names NewCopyName makes.
bool IsCopyName(std::string_view name) {
  if (!name.starts_with(".ntag-") || !name.ends_with(".tmp")) return false;
  name = name.substr(6, name.size() - 10);
  const auto dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || name.size() - dash - 1 != 16) return false;
  const auto digits = name.substr(0, dash), hex = name.substr(dash + 1);
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         std::all_of(hex.begin(), hex.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

std::string NewCopyName(std::random_device& random) {
  char name[64];
  std::snprintf(name, sizeof name, ".ntag-%ld-%08x%08x.tmp", static_cast<long>(::getpid()), random(),
                random());
  return name;
}

void MarkAsCopy(int fd) {
#ifdef __linux__
  (void)::fsetxattr(fd, kCopyMark, "1", 1, 0);
#else
  (void)fd;
#endif
}

void UnmarkCopy(int fd) {
#ifdef __linux__
  (void)::fremovexattr(fd, kCopyMark);
#else
  (void)fd;
#endif
}

void RemoveAbandonedCopies(int folder) {
  // A run killed between naming its copy and putting it in place leaves it under its name.
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (!IsCopyName(name)) continue;
    const int copy =
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (copy < 0) continue;
    // Still the file under that name once locked, so nothing put there meanwhile goes.
    struct stat held, named;
    if (::fstat(copy, &held) == 0 && S_ISREG(held.st_mode) && IsMarkedAsCopy(copy) &&
        ::flock(copy, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      (void)::unlinkat(folder, name.c_str(), 0);
    }
    ::close(copy);
  }
  ::closedir(listing);
}

}  // namespace n_zorbel::n_ntag
