#pragma once
// The tools of the package written into the workspace, each held open for
// reading until this object is destroyed (see t_HeldFile). Built completely
// or not at all.
#include <array>
#include <cstddef>

#include "system/text.hpp"
#include "tools/held_file.hpp"
#include "tools/module.hpp"
#include "tools/tool_package.hpp"

namespace n_zorbel::n_tools {

class t_UnpackedTools {
 public:
  // Decodes the package of `module` and writes every file into
  // `workspaceFolder` (an existing folder, ending with the separator),
  // replacing what is there. Raises code 13 for a damaged package, and the
  // converted system error for anything the system refuses; then no handle
  // is left open, a file whose writing failed is removed (a full disk leaves
  // no partial tool), and files written before it stay until the workspace goes.
  t_UnpackedTools(const t_Module& module, const t_String& workspaceFolder);
  t_UnpackedTools(const t_UnpackedTools&) = delete;
  t_UnpackedTools& operator=(const t_UnpackedTools&) = delete;

  static constexpr std::size_t Count() noexcept { return kToolFileCount; }
  // Where file `index` was written.
  const t_String& Path(std::size_t index) const noexcept { return m_paths[index]; }
  // What to start file `index` by: it runs exactly the bytes written.
  const t_String& LaunchPath(std::size_t index) const noexcept { return m_handles[index].LaunchPath(); }

  // The tagger, file 0.
  const t_String& ToolPath() const noexcept { return Path(0); }
  const t_String& ToolLaunchPath() const noexcept { return LaunchPath(0); }

 private:
  // Declared in this order so that destruction closes the handles first.
  std::array<t_String, kToolFileCount> m_paths;
  std::array<t_HeldFile, kToolFileCount> m_handles;
};

}  // namespace n_zorbel::n_tools
