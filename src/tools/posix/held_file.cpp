#include "tools/held_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "system/error.hpp"
#include "system/posix/descriptor.hpp"

namespace n_zorbel::n_tools {

using n_system::n_detail::t_Descriptor;

struct t_HeldFile::t_Held {
  explicit t_Held(t_Descriptor held) noexcept : file(std::move(held)) {}
  t_Descriptor file;
};

t_HeldFile::t_HeldFile() noexcept = default;
t_HeldFile::~t_HeldFile() = default;

void t_HeldFile::Open(const t_String& path) {
  m_held.reset();
  m_launchPath.clear();
  // The workspace is private; O_NOFOLLOW still refuses a link put in the
  // tool's place.
  t_Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (file.IsEmpty()) n_system::RaiseLastError();
  // A shared lock: our own exclusive opens (the mapped file) now fail with a
  // sharing violation, as they do on Windows.
  if (::fchmod(file.Get(), S_IRWXU) != 0 || ::flock(file.Get(), LOCK_SH | LOCK_NB) != 0) {
    n_system::RaiseLastError();
  }
  t_String launchPath = "/proc/self/fd/" + std::to_string(file.Get());
  m_held = std::make_unique<t_Held>(std::move(file));
  m_launchPath = std::move(launchPath);
}

}  // namespace n_zorbel::n_tools
