#pragma once
// The per-user single-instance marker: an exclusive flock on a lock file of
// the user's own. The lock goes with the process, however it ends.
#include <string>
#include <string_view>

#include "system/text.hpp"

namespace n_zorbel::n_app {

// $XDG_RUNTIME_DIR/mivora.lock when the runtime folder is set (it is the
// user's own); otherwise the temporary folder with the user id in the name.
t_String InstanceLockPath(std::string_view xdgRuntimeDir, const t_String& tempFolder, unsigned userId);

class t_InstanceLock {
 public:
  // Opens (or creates, mode 0600) the lock file, refusing a link or a file
  // another user owns, and tries the lock without waiting. Raises
  // t_ErrorException when the file cannot be had.
  explicit t_InstanceLock(const t_String& path);
  ~t_InstanceLock();
  t_InstanceLock(const t_InstanceLock&) = delete;
  t_InstanceLock& operator=(const t_InstanceLock&) = delete;

  // False when another instance of this user holds the lock.
  bool Acquired() const noexcept { return m_acquired; }

 private:
  int m_fd = -1;
  bool m_acquired = false;
};

}  // namespace n_zorbel::n_app
