#pragma once
// The few file operations ntag needs, behind one interface: platform_file.cpp implements
// t_File once on the system calls of platform_handle.hpp, which posix/platform_file.cpp and
// windows/platform_file.cpp implement with the rest. Paths are native strings: UTF-16 on
// Windows, bytes on POSIX.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "model/source.hpp"
#include "ntag_error.hpp"
#include "platform/copy_mark.hpp"

namespace n_zorbel::n_ntag {

#ifdef _WIN32
using t_NativePath = std::wstring;
#else
using t_NativePath = std::string;
#endif

enum class t_IoFailure { NotFound, AccessDenied, InUse, DiskFull, DeviceError, NotAFile, Other };

// A failed system call: what kind of failure, and the system's own wording.
class t_IoError : public std::runtime_error {
 public:
  t_IoError(t_IoFailure kind, const std::string& what) : std::runtime_error(what), m_kind(kind) {}
  t_IoFailure Kind() const { return m_kind; }

 private:
  t_IoFailure m_kind;
};

// The exit code of a write that failed so: the cause itself where the user can act on it,
// else the general write failure.
t_ExitCode WriteFailureCode(t_IoFailure kind);

enum class t_OpenMode {
  Read,       // shared reading
  ReadWrite,  // reading and writing, with no other writer at the same time
  CreateNew,  // a new file for writing; refused when the name exists, a link included
};

class t_Replacement;

// An open file addressed by absolute offsets. Owns its handle; move-only.
class t_File final : public t_Source {
 public:
  t_File() = default;
  ~t_File();
  t_File(t_File&& other) noexcept;
  t_File& operator=(t_File&& other) noexcept;
  t_File(const t_File&) = delete;
  t_File& operator=(const t_File&) = delete;

  // Opens an existing regular file; anything else (a folder, a FIFO, a device) is refused at
  // once, without waiting for a writer. Throws t_IoError. For writing, links in `path` are
  // resolved once, here: the file keeps the folder it was found in open, with its name there,
  // so that a rewrite replaces that entry and never looks the path up again. Opening for
  // writing also removes copies that runs killed in that folder left behind (t_Replacement).
  static t_File Open(const t_NativePath& path, t_OpenMode mode);

  bool IsOpen() const;
  std::uint64_t Size() const override;
  // Bytes the file takes on its disk: less than Size() where it is sparse.
  std::uint64_t AllocatedSize() const;
  // Reads exactly `size` bytes; a short read is an error.
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;
  void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  void Truncate(std::uint64_t size);
  // Forces written data, the size and the other metadata (permissions) to the storage device.
  void Flush();
  // Forces written data and the size to the storage device, not the times: enough to put the
  // steps of an edit in order, and cheaper than Flush where the system tells them apart.
  void FlushData();
  // Copies [at, at + size) of `from` to `toAt` in this file: by sharing the blocks where the
  // file system can (reflinks), else inside the kernel where the system can. Holes of a sparse
  // source stay holes; the caller sets the final size. Returns the bytes shared, not copied,
  // which are not in memory afterwards.
  std::uint64_t CopyFrom(const t_File& from, std::uint64_t at, std::uint64_t size, std::uint64_t toAt);
  // Gives the file the permissions and attributes of `model`: on POSIX the mode, the owner where
  // allowed and every extended attribute this user may set; on Windows the file attributes.
  void CopyAttributesFrom(const t_File& model);
  // Never fails: a failed close is not reported (platform_handle.hpp says why).
  void Close();

 private:
  friend class t_Replacement;
  friend std::uint64_t FreeSpaceBeside(const t_File& video);
  friend std::uint64_t CopyRange(const t_File& from, std::uint64_t at, std::uint64_t size, t_File& to,
                                 std::uint64_t toAt);
  std::intptr_t m_handle = -1;
  // Opened for writing: the folder it was found in (POSIX, held open) and its name there
  // (the full path on Windows).
  std::intptr_t m_folder = -1;
  t_NativePath m_name;
};

// The copy a rewrite writes before it takes the video's place. No other run can find or take
// it, and a run that ends before Publish, even by a kill, leaves nothing beside the video
// beyond the next run in that folder: on Linux it has no name until Publish; on Windows it and
// its lock are marked for deletion until then; on file systems without unnamed files it has a name unique
// to this run from the start, removed on every failure and on a stop request. Whenever it has
// a name, its lock (copy_mark.hpp) proves it ntag's to a later run, which removes it.
class t_Replacement {
 public:
  // Creates it, empty, in the folder `video` (opened for writing) was found in.
  explicit t_Replacement(const t_File& video);
  // Removes the copy unless it was published.
  ~t_Replacement();
  t_Replacement(const t_Replacement&) = delete;
  t_Replacement& operator=(const t_Replacement&) = delete;

  t_File& File() { return m_file; }
  // Puts the flushed copy in place of the video in one atomic step (the video is never
  // absent), and closes `video`, the video's own open file, when the system allows. The
  // video's name is checked to lead to `video` still, right before: when it was swapped for
  // another file or a link meanwhile, the copy is removed, nothing else is touched, and
  // t_IoError is thrown. A link is never followed.
  void Publish(t_File& video);

 private:
#ifdef _WIN32
  t_CopyNames m_names;
  bool m_lockMarked = false;  // for deletion when its handle closes, until Publish
#else
  // Creates the copy's lock under a fresh pair of names and returns the copy's name, which
  // `create` then makes (0 or errno; EEXIST when that name is taken).
  t_NativePath TakeNames(const std::function<int(const t_NativePath&)>& create);
#endif
  void RemoveLock();

  std::intptr_t m_folder = -1;  // POSIX: the video's folder, its own descriptor
  t_NativePath m_video;         // the video's name in it (the full path on Windows)
  t_NativePath m_name;          // the copy's, empty while the copy has no name
  t_NativePath m_lockName;      // the lock's while it exists
  std::intptr_t m_lock = -1;
  t_File m_file;
  bool m_published = false;
};

// The portable way of t_File::CopyFrom: through a buffer, skipping blocks of zeros so that
// they stay holes.
void CopyThroughBuffer(const t_File& from, std::uint64_t at, std::uint64_t size, t_File& to,
                       std::uint64_t toAt);

// Removes from the folder of `video` (links resolved) the copies and locks that killed runs
// left (copy_mark.hpp). Every run that reads or writes a video does, so nothing of ntag's
// outlives the next run in that folder; a folder it may not change is left as it is.
void RemoveAbandonedCopiesBeside(const t_NativePath& video);

// Bytes free for this user on the disk of `video` (opened for writing); UINT64_MAX when unknown.
std::uint64_t FreeSpaceBeside(const t_File& video);

// UTF-8 for messages; on POSIX the bytes as they are.
std::string PathToUtf8(const t_NativePath& path);
// Writes UTF-8 text to standard output or error, as the console expects it.
void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

}  // namespace n_zorbel::n_ntag
