#include "system/temp_folder.hpp"

#include <cstdlib>

namespace n_zorbel::n_system {

namespace {

const char* NonEmptyVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

t_String TempFolderPath() {
  // The per-user runtime folder is private to the user, so it comes first.
  const char* folder = NonEmptyVariable("XDG_RUNTIME_DIR");
  if (folder == nullptr) folder = NonEmptyVariable("TMPDIR");
  t_String path = folder != nullptr ? folder : "/tmp";
  if (path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

}  // namespace n_zorbel::n_system
