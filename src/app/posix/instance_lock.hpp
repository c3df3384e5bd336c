#pragma once
// The per-user single-instance marker: an exclusive flock on a lock file of
// the user's own. The lock goes with the process, however it ends.
#include <string>
#include <string_view>

#include "system/posix/descriptor.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_app {

// $XDG_RUNTIME_DIR/mivora.lock when the runtime folder is set (it is the
// user's own); otherwise the temporary folder with the user id in the name.
t_String InstanceLockPath(std::string_view xdgRuntimeDir, const t_String& tempFolder, unsigned userId);

class t_InstanceLock {
 public:
  // Opens (or creates, mode 0600) the lock file and tries the lock without
  // waiting. Only another instance holding it stops the program: a file that
  // cannot be had (a link, a file another user owns or planted, an unwritable
  // folder) or a lock that fails otherwise leaves the program running, merely
  // without the one-instance guarantee.
  explicit t_InstanceLock(const t_String& path) noexcept;
  t_InstanceLock(const t_InstanceLock&) = delete;
  t_InstanceLock& operator=(const t_InstanceLock&) = delete;

  // True when another instance of this user holds the lock.
  bool AnotherInstanceRuns() const noexcept { return m_anotherInstanceRuns; }

 private:
  n_system::n_detail::t_Descriptor m_file;
  bool m_anotherInstanceRuns = false;
};

}  // namespace n_zorbel::n_app
