#pragma once
// A folder on a disk of its own that a test can fill. POSIX: a tmpfs of
// `size` mounted on `folder` (root only) and unmounted at the end. Windows,
// which cannot mount from a test: the folder that MIVORA_SMALL_DISK names,
// where the one running the test has mounted a small disk (under Wine, a
// tmpfs seen through Z:). Ready() is false when there is none.
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/mount.h>
#endif

#include "system/text.hpp"

namespace n_zorbel::n_testing {

class t_SmallDisk {
 public:
  t_SmallDisk(const std::filesystem::path& folder, const char* size) {
#ifdef _WIN32
    (void)folder;
    (void)size;
    if (const char* given = std::getenv("MIVORA_SMALL_DISK")) m_folder = given;
#else
    std::filesystem::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, (std::string("mode=0700,size=") + size).c_str()) == 0) {
      m_folder = folder;
      m_mounted = true;
    }
#endif
  }
  ~t_SmallDisk() {
#ifndef _WIN32
    if (m_mounted) ::umount2(m_folder.c_str(), MNT_DETACH);
#endif
  }
  t_SmallDisk(const t_SmallDisk&) = delete;
  t_SmallDisk& operator=(const t_SmallDisk&) = delete;

  bool Ready() const noexcept { return !m_folder.empty(); }
  // The folder, ending with the separator.
  t_String Path() const { return (m_folder / "").native(); }

 private:
  std::filesystem::path m_folder;
  bool m_mounted = false;
};

}  // namespace n_zorbel::n_testing
