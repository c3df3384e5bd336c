// POSIX side of platform_file.hpp: open/pread/pwrite with 64-bit offsets; on Linux copies
// run in the kernel (copy_file_range) and start their write-back while they go, and the copy
// of a rewrite has no name until it takes the video's place (O_TMPFILE).
#include <fcntl.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#endif
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "platform/copy_mark.hpp"
#include "platform/fault_hook.hpp"
#include "platform/platform_file.hpp"
#include "platform/platform_handle.hpp"
#include "platform/stop_request.hpp"

namespace n_zorbel::n_ntag {
namespace {

// What each errno means to the user; any other is a failure of no cause they can act on.
struct t_Cause {
  int error;
  t_IoFailure kind;
};

constexpr t_Cause kCauses[] = {
    {ENOENT, t_IoFailure::NotFound},     {ENOTDIR, t_IoFailure::NotFound},
    {EACCES, t_IoFailure::AccessDenied}, {EPERM, t_IoFailure::AccessDenied},  // chattr +i
    {EROFS, t_IoFailure::AccessDenied},  {EWOULDBLOCK, t_IoFailure::InUse},   // a lock
    {ETXTBSY, t_IoFailure::InUse},       {EBUSY, t_IoFailure::InUse},
    {ENOSPC, t_IoFailure::DiskFull},     {EDQUOT, t_IoFailure::DiskFull},
    {EIO, t_IoFailure::DeviceError},     {ENXIO, t_IoFailure::DeviceError},  // device gone
    {EISDIR, t_IoFailure::NotAFile},
};
// EFBIG (a file-size limit, or FAT's 4 GiB) is no full disk: freeing space would not help.

[[noreturn]] void Fail(int error) { throw SystemError(error); }

#ifdef __linux__
// Shares the blocks of [at, at + size) with `toAt` in the other file (a reflink), in pieces;
// the file system needs both offsets on a block boundary (`size` may end at the end of the
// source). False when it cannot share them (nothing was shared then).
constexpr std::uint64_t kClonePiece = 256ull << 20;

bool CloneInKernel(int in, std::uint64_t at, std::uint64_t size, int out, std::uint64_t toAt) {
  bool first = true;
  while (size > 0) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, kClonePiece));
    n_hook::WholeWriteAllowance(piece);  // only whole pieces can be shared
    file_clone_range range{};
    range.src_fd = in;
    range.src_offset = at;
    range.src_length = piece;
    range.dest_offset = toAt;
    if (::ioctl(out, FICLONERANGE, &range) != 0) {
      const int error = errno;
      n_hook::AfterWrite(piece, 0);
      if (error == EINTR) continue;
      if (first) return false;
      Fail(error);
    }
    first = false;
    n_hook::AfterWrite(piece, piece);
    at += piece;
    toAt += piece;
    size -= piece;
  }
  return true;
}

// Copies in the kernel, in pieces after each of which the write-back starts, so that the
// final flush finds little left to do. False when the system cannot copy between these
// files this way (nothing was copied then).
constexpr std::size_t kKernelPiece = 32u << 20;

bool CopyInKernel(int in, std::uint64_t at, std::uint64_t size, int out, std::uint64_t toAt) {
  bool first = true;
  while (size > 0) {
    // Pieces end on multiples of their size in the source, so a file system that shares
    // aligned blocks on its own can do so for all but the first.
    const std::uint64_t toBoundary = kKernelPiece - at % kKernelPiece;
    const std::size_t piece = n_hook::WriteAllowance(static_cast<std::size_t>(std::min(size, toBoundary)));
    loff_t inAt = static_cast<loff_t>(at), outAt = static_cast<loff_t>(toAt);
    const ssize_t n = ::copy_file_range(in, &inAt, out, &outAt, piece, 0);
    if (n < 0) {
      const int error = errno;
      n_hook::AfterWrite(piece, 0);
      if (error == EINTR) continue;
      if (first && (error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL ||
                    error == EBADF || error == EPERM)) {
        return false;
      }
      Fail(error);
    }
    if (n == 0) throw t_IoError(t_IoFailure::Other, "unexpected end of file");
    n_hook::AfterWrite(piece, static_cast<std::size_t>(n));
    first = false;
    (void)::sync_file_range(out, static_cast<off_t>(toAt), n, SYNC_FILE_RANGE_WRITE);
    at += static_cast<std::uint64_t>(n);
    toAt += static_cast<std::uint64_t>(n);
    size -= static_cast<std::uint64_t>(n);
  }
  return true;
}
#endif

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string LeafOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The path of the file itself when `path` is or passes through a symbolic link.
std::string ResolveLinks(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string result(real);
  std::free(real);
  return result;
}

// A folder held only to name entries in it (and search it), which needs no read permission.
int OpenFolder(const std::string& folder) {
#ifdef O_PATH
  const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
  if (fd < 0) Fail(errno);
  return fd;
}

#ifdef __linux__
// A list or a value whose size the system tells first; asked again when it grew meanwhile.
// Empty with errno set on failure.
std::optional<std::vector<char>> ReadSized(const std::function<ssize_t(char*, std::size_t)>& read) {
  while (true) {
    const ssize_t need = read(nullptr, 0);
    if (need <= 0) return need == 0 ? std::optional<std::vector<char>>(std::in_place) : std::nullopt;
    std::vector<char> bytes(static_cast<std::size_t>(need));
    const ssize_t got = read(bytes.data(), bytes.size());
    if (got >= 0) {
      bytes.resize(static_cast<std::size_t>(got));
      return bytes;
    }
    if (errno != ERANGE) return std::nullopt;
  }
}

// Every extended attribute of `from` that this user may set, onto `to` (a comment, an origin
// URL, an access list); those the system keeps to privileged users, or this file system keeps
// none of, are left. An access list is the exception: without it the mode's group bits, its
// mask, would open the copy to the owning group, so a copy that cannot keep it is refused.
void CopyExtendedAttributes(int from, int to) {
  const auto names = ReadSized([from](char* b, std::size_t n) { return ::flistxattr(from, b, n); });
  if (!names) {
    if (errno == ENOTSUP || errno == ENOSYS) return;
    Fail(errno);
  }
  for (const char* name = names->data(); name < names->data() + names->size();
       name += std::strlen(name) + 1) {
    const auto value =
        ReadSized([from, name](char* b, std::size_t n) { return ::fgetxattr(from, name, b, n); });
    if (!value) {
      if (errno == ENODATA) continue;  // removed meanwhile
      Fail(errno);
    }
    if (::fsetxattr(to, name, value->data(), value->size(), 0) == 0) continue;
    if (std::strcmp(name, "system.posix_acl_access") == 0) {
      throw t_NtagError(t_ExitCode::AccessDenied,
                        "cannot write the video: its file system would not keep its access list");
    }
    if (errno != EPERM && errno != EACCES && errno != ENOTSUP && errno != ENOSYS) Fail(errno);
  }
}
#endif

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// The video's permissions for a copy owned by `uid` and `gid`: a class of users that are not
// the video's own (the file system gave the copy another owner or group) gets no more than
// those users had on the video, the others' bits; this user, who reads and writes the video
// already, may keep what any class had.
mode_t ModeFor(const struct stat& video, uid_t uid, gid_t gid) {
  const auto bits = [&](int shift) { return static_cast<mode_t>((video.st_mode >> shift) & 7); };
  const mode_t others = bits(0);
  const mode_t owner = uid == video.st_uid  ? bits(6)
                       : uid == ::geteuid() ? bits(6) | bits(3) | others
                                            : others;
  const mode_t group = gid == video.st_gid ? bits(3) : others;
  mode_t special = video.st_mode & S_ISVTX;
  if (uid == video.st_uid) special |= video.st_mode & S_ISUID;
  if (gid == video.st_gid) special |= video.st_mode & S_ISGID;
  return special | owner << 6 | group << 3 | others;
}

// The permissions the copy is created with, for the owner and group a new file in `folder`
// gets: where the file system refuses chmod, they are all it will have. The umask is left
// out, as for the chmod after it: the copy replaces a file whose permissions are given.
int CreateWithVideosMode(int folder, const struct stat& video, const std::function<int(mode_t)>& create) {
  struct stat in;
  const gid_t gid = ::fstat(folder, &in) == 0 && (in.st_mode & S_ISGID) ? in.st_gid : ::getegid();
  const mode_t old = ::umask(0);
  const int fd = create(ModeFor(video, ::geteuid(), gid) & 0777);
  const int error = errno;
  ::umask(old);
  errno = error;
  return fd;
}

}  // namespace

t_IoError SystemError(long code) {
  const auto* cause =
      std::find_if(std::begin(kCauses), std::end(kCauses), [&](const t_Cause& c) { return c.error == code; });
  return t_IoError(cause == std::end(kCauses) ? t_IoFailure::Other : cause->kind,
                   std::strerror(static_cast<int>(code)));
}

t_File t_File::Open(const t_NativePath& path, t_OpenMode mode) {
  // Not blocking: opening a FIFO would wait for a writer that may never come.
  const int flags = (mode == t_OpenMode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  t_File file;
  int fd;
  if (mode == t_OpenMode::Read) {
    do fd = ::open(path.c_str(), flags);
    while (fd < 0 && errno == EINTR);
  } else if (mode == t_OpenMode::CreateNew) {
    // O_EXCL refuses any name that exists, and never follows a link there.
    do fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    while (fd < 0 && errno == EINTR);
  } else {
    const std::string real = ResolveLinks(path);
    file.m_folder = OpenFolder(FolderOf(real));
    file.m_name = LeafOf(real);
    // The links are resolved: a link in the name now was put there since.
    do fd = ::openat(static_cast<int>(file.m_folder), file.m_name.c_str(), flags | O_NOFOLLOW);
    while (fd < 0 && errno == EINTR);
  }
  if (fd < 0) Fail(errno);
  file.m_handle = fd;
  struct stat st;
  if (::fstat(fd, &st) != 0) Fail(errno);
  if (!S_ISREG(st.st_mode)) Fail(EISDIR);
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) Fail(errno);
  if (mode == t_OpenMode::ReadWrite) {
    // Two taggers on one file would undo each other's switches; the second one waits for nobody.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) Fail(errno);
#ifdef F_OFD_SETLK
    // Programs that lock with fcntl instead of flock hold the file too.
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &whole) != 0 && (errno == EAGAIN || errno == EACCES)) Fail(EWOULDBLOCK);
#endif
  }
  return file;
}

std::uint64_t t_File::Size() const {
  struct stat st;
  if (::fstat(static_cast<int>(m_handle), &st) != 0) Fail(errno);
  return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t t_File::AllocatedSize() const {
  struct stat st;
  if (::fstat(static_cast<int>(m_handle), &st) != 0) Fail(errno);
  return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

void CloseHandleOf(std::intptr_t handle) { (void)::close(static_cast<int>(handle)); }

std::size_t ReadSomeAt(std::intptr_t handle, std::uint64_t offset, void* buffer, std::size_t size) {
  while (true) {
    const ssize_t n = ::pread(static_cast<int>(handle), buffer, size, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) Fail(errno);
  }
}

std::size_t WriteSomeAt(std::intptr_t handle, std::uint64_t offset, const void* data, std::size_t size) {
  while (true) {
    const ssize_t n = ::pwrite(static_cast<int>(handle), data, size, static_cast<off_t>(offset));
    if (n > 0) return static_cast<std::size_t>(n);
    if (n == 0) Fail(ENOSPC);
    if (errno != EINTR) Fail(errno);
  }
}

void TruncateHandle(std::intptr_t handle, std::uint64_t size) {
  if (::ftruncate(static_cast<int>(handle), static_cast<off_t>(size)) != 0) Fail(errno);
}

void FlushHandle(std::intptr_t handle, bool dataOnly) {
  const int fd = static_cast<int>(handle);
  if ((dataOnly ? ::fdatasync(fd) : ::fsync(fd)) != 0) Fail(errno);
}

std::uint64_t CopyRange(const t_File& from, std::uint64_t at, std::uint64_t size, t_File& to,
                        std::uint64_t toAt) {
  const int in = static_cast<int>(from.m_handle);
  const int out = static_cast<int>(to.m_handle);
  std::uint64_t shared = 0;
  (void)::posix_fadvise(in, static_cast<off_t>(at), static_cast<off_t>(size), POSIX_FADV_SEQUENTIAL);
  const std::uint64_t end = at + size;
  std::uint64_t pos = at;
  while (pos < end) {
    // The next stretch of data; the holes between them are left holes.
    std::uint64_t data = pos, hole = end;
#ifdef SEEK_DATA
    const off_t d = ::lseek(in, static_cast<off_t>(pos), SEEK_DATA);
    if (d < 0 && errno == ENXIO) return shared;  // only a hole is left
    if (d >= 0) {
      data = static_cast<std::uint64_t>(d);
      const off_t h = ::lseek(in, d, SEEK_HOLE);
      if (h >= 0) hole = std::min<std::uint64_t>(end, static_cast<std::uint64_t>(h));
    }
#endif
    if (data >= end) return shared;
    std::uint64_t target = toAt + (data - at);
#ifdef __linux__
    // Blocks can be shared when source and target lie alike on block boundaries: copy up to
    // the first boundary, share whole blocks, copy the rest (unless the source ends there).
    struct stat st;
    const std::uint64_t block = ::fstat(out, &st) == 0 && st.st_blksize > 0 ? st.st_blksize : 4096;
    if (data % block == target % block) {
      const std::uint64_t head = std::min(hole - data, (block - data % block) % block);
      const std::uint64_t body =
          hole == from.Size() ? hole - data - head : (hole - data - head) / block * block;
      if (body > 0 && CloneInKernel(in, data + head, body, out, target + head)) {
        if (head > 0 && !CopyInKernel(in, data, head, out, target)) {
          CopyThroughBuffer(from, data, head, to, target);
        }
        shared += body;
        data += head + body;
        target += head + body;
      }
    }
    if (data < hole && CopyInKernel(in, data, hole - data, out, target)) data = hole;
#endif
    if (data < hole) CopyThroughBuffer(from, data, hole - data, to, target);
    pos = hole;
  }
  return shared;
}

void t_File::CopyAttributesFrom(const t_File& model) {
  const int fd = static_cast<int>(m_handle);
  struct stat video, copy;
  if (::fstat(static_cast<int>(model.m_handle), &video) != 0) Fail(errno);
  // The owner needs privileges we usually lack, the group a membership; many removable,
  // phone and network file systems keep neither, nor the mode. What they refuse is left as
  // they show it, unless that opens the copy to more users than the video.
  if (::fchown(fd, video.st_uid, video.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), video.st_gid);
  if (::fstat(fd, &copy) != 0) Fail(errno);
  const mode_t wanted = ModeFor(video, copy.st_uid, copy.st_gid);
  if ((copy.st_mode & 07777) != wanted) {
    (void)::fchmod(fd, wanted);
    if (::fstat(fd, &copy) != 0) Fail(errno);
  }
  if ((copy.st_mode & 07777 & ~wanted) != 0) {
    throw t_NtagError(t_ExitCode::AccessDenied,
                      "cannot write the video: its file system would open the rewritten video to more "
                      "users than now (it keeps neither its owner and group nor its permissions)");
  }
#ifdef __linux__
  // After the mode: an access list sets the group bits from its mask, the same as the model's.
  CopyExtendedAttributes(static_cast<int>(model.m_handle), fd);
#endif
}

void RemoveAbandonedCopiesBeside(const t_NativePath& video) {
#ifdef O_PATH
  const int folder = ::open(FolderOf(ResolveLinks(video)).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  const int folder = ::open(FolderOf(ResolveLinks(video)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
  if (folder < 0) return;
  RemoveAbandonedCopies(folder);
  ::close(folder);
}

std::uint64_t FreeSpaceBeside(const t_File& video) {
  struct statvfs st;
  if (::fstatvfs(static_cast<int>(video.m_handle), &st) != 0) return UINT64_MAX;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

t_Replacement::t_Replacement(const t_File& video) : m_folder(video.m_folder), m_video(video.m_name) {
  const int folder = static_cast<int>(m_folder);
  struct stat model;
  if (::fstat(static_cast<int>(video.m_handle), &model) != 0) Fail(errno);
  int fd = -1;
#ifdef O_TMPFILE
  fd = CreateWithVideosMode(folder, model, [folder](mode_t mode) {
    return ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  });
  if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(errno);
    // (those three say that the file system has no unnamed files)
#endif
  if (fd < 0) {
    // Named from the start; a stop removes it at once.
    const t_StopDeferred whole;
    m_name = TakeNames([&](const std::string& name) {
      fd = CreateWithVideosMode(folder, model, [&](mode_t mode) {
        return ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      });
      return fd < 0 ? errno : 0;
    });
    SetStopCleanup([folder, copy = m_name, lock = m_lockName] {
      (void)::unlinkat(folder, copy.c_str(), 0);
      (void)::unlinkat(folder, lock.c_str(), 0);
    });
  }
  m_file.m_handle = fd;
}

t_NativePath t_Replacement::TakeNames(const std::function<int(const t_NativePath&)>& create) {
  const int folder = static_cast<int>(m_folder);
  std::random_device random;
  for (int attempt = 0;; ++attempt) {
    const t_CopyNames names =
        NewCopyNames(static_cast<unsigned long>(::getpid()), std::uint64_t{random()} << 32 | random());
    const int lock = CreateCopyLock(folder, names);
    int error = -lock;
    if (lock >= 0) {
      error = create(names.copy);
      if (error == 0) {
        m_lock = lock;
        m_lockName = names.lock;
        return names.copy;
      }
      RemoveCopyLock(folder, names.lock, lock);
    }
    if (error != EEXIST || attempt == 16) Fail(error);
  }
}

void t_Replacement::RemoveLock() {
  if (m_lock < 0) return;
  RemoveCopyLock(static_cast<int>(m_folder), m_lockName, static_cast<int>(m_lock));
  m_lock = -1;
}

t_Replacement::~t_Replacement() {
  const t_StopDeferred whole;
  m_file.Close();
  if (!m_published && !m_name.empty()) (void)::unlinkat(static_cast<int>(m_folder), m_name.c_str(), 0);
  RemoveLock();
  SetStopCleanup({});
}

void t_Replacement::Publish(t_File& video) {
  const t_StopDeferred whole;
  const int folder = static_cast<int>(m_folder);
  const int fd = static_cast<int>(m_file.m_handle);
#ifdef O_TMPFILE
  // A name only for the rename, unique to this run, with its lock; a kill between the two
  // leaves both, and the next run removes them.
  if (m_name.empty()) {
    m_name = TakeNames([fd, folder](const std::string& name) { return LinkUnnamed(fd, folder, name); });
  }
#endif
  // Whoever may rename in the folder could have put another file or a link under the video's
  // name since it was opened; that entry is left alone. (Should it happen even after this
  // check, the rename replaces the entry itself and follows no link.)
  struct stat held, named;
  if (::fstat(static_cast<int>(video.m_handle), &held) != 0) Fail(errno);
  if (::fstatat(folder, m_video.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_dev != held.st_dev ||
      named.st_ino != held.st_ino) {
    throw t_IoError(t_IoFailure::Other, "its name was given to another file while it was tagged");
  }
  if (::renameat(folder, m_name.c_str(), folder, m_video.c_str()) != 0) Fail(errno);
  m_published = true;
  if (t_IoObserver* o = n_hook::Observer()) o->Renamed(m_file.m_handle);
  RemoveLock();
  SetStopCleanup({});
  // The rename itself must reach the disk, not only the data.
  const int dir = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    if (::fsync(dir) == 0) {
      if (t_IoObserver* o = n_hook::Observer()) o->FolderFlushed();
    }
    ::close(dir);
  }
  // Held until now, so no other tagger could take the old file between our check and the
  // switch; the folder, borrowed from it, goes with it.
  video.Close();
}

std::string PathToUtf8(const t_NativePath& path) { return path; }
void WriteOut(const std::string& utf8) { WriteAll(1, utf8); }
void WriteErr(const std::string& utf8) { WriteAll(2, utf8); }

}  // namespace n_zorbel::n_ntag
