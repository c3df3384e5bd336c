#pragma once
// A written tool file held open for reading while the program runs, so that
// the bytes that run are the bytes that were written. Windows: opened with
// read sharing only, so nobody can write or delete it. POSIX: a close-on-exec
// descriptor with a shared lock (our own exclusive opens fail with a sharing
// violation) through which the tool is executed, so whatever is put at the
// path later never runs.
#include <memory>

#include "system/text.hpp"

namespace n_zorbel::n_tools {

class t_HeldFile {
 public:
  t_HeldFile() noexcept;
  ~t_HeldFile();
  t_HeldFile(const t_HeldFile&) = delete;
  t_HeldFile& operator=(const t_HeldFile&) = delete;

  // Closes what was held, then opens `path` for reading. POSIX also makes the
  // file owner-only executable (0700). Raises the converted system error.
  void Open(const t_String& path);
  bool IsOpen() const noexcept { return m_held != nullptr; }
  // The path to hand to the process runner: the file's own path on Windows,
  // /proc/self/fd/N on POSIX (the child resolves it before exec).
  const t_String& LaunchPath() const noexcept { return m_launchPath; }

 private:
  // The platform's owner of the open file: a failed release ends the
  // process, as in any teardown.
  struct t_Held;

  std::unique_ptr<t_Held> m_held;  // null while nothing is held
  t_String m_launchPath;
};

}  // namespace n_zorbel::n_tools
