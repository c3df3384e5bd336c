#pragma once
// How a rewrite's copy is named, and the lock file that proves a named copy to be ntag's own.
// A name alone proves nothing (a user may keep a file of the same form), and no mark inside
// the copy survives on every file system (vfat and exFAT keep no extended attributes), so a
// copy that has a name has a lock file beside it, created before the copy's name, removed
// after it: ".ntag-PID-RANDOM.lock", holding exactly the copy's name, held open by the
// living run. A later run that finds such a lock held by no one removes the copy it names
// and then the lock; one that is still empty (its run was killed before it held its line)
// proves no copy, and goes alone.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace n_zorbel::n_ntag {

struct t_CopyNames {
  std::string copy;  // ".ntag-" PID "-" 16 hex digits ".tmp"
  std::string lock;  // the same, ending in ".lock"
};

t_CopyNames NewCopyNames(unsigned long pid, std::uint64_t random);
// The names of the copy whose lock is called `lock`, when it is exactly such a name.
std::optional<t_CopyNames> CopyNamesOfLock(std::string_view lock);
// What the lock of a copy holds.
std::string LockContent(const t_CopyNames& names);

// What a lock of `names` that no living run holds proves, from its first bytes (up to one
// more than LockContent's): its copy, nothing (it is empty), or that it is not ntag's.
enum class t_LockProof { Copy, Nothing, NotOurs };
t_LockProof ProofOfLock(std::string_view start, const t_CopyNames& names);

#ifdef _WIN32
// Creates the lock of `names` in `folder` (with its trailing separator) exclusively, held
// without delete sharing while this run lives; a handle. Throws t_IoError.
std::intptr_t CreateCopyLock(const std::wstring& folder, const t_CopyNames& names);
// Marks the lock for deletion when its handle closes (a kill included), or takes the mark
// back; false when the file system cannot.
bool MarkCopyLockForDeletion(std::intptr_t lock, bool on);
// Removes a lock this run holds, given by its handle.
void RemoveCopyLock(std::intptr_t lock);
void RemoveAbandonedCopies(const std::wstring& folder);
#else
// Creates the lock of `names` in `folder` exclusively, held (flock) while this run lives;
// its descriptor, or -errno (-EEXIST when the name is taken, or lost before it was held).
// Where the file system has unnamed files, the lock is named only once it holds its line.
int CreateCopyLock(int folder, const t_CopyNames& names);
// Gives an unnamed file (O_TMPFILE) the name `name` in `folder`, which must not exist yet;
// 0 or errno.
int LinkUnnamed(int fd, int folder, const std::string& name);
// Removes the lock this run holds and closes it.
void RemoveCopyLock(int folder, const std::string& lockName, int lock);
void RemoveAbandonedCopies(int folder);
#endif

}  // namespace n_zorbel::n_ntag
