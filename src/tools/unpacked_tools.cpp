#include "tools/unpacked_tools.hpp"

#include <cstring>

#include "system/memory_mapped_file.hpp"

namespace n_zorbel::n_tools {

namespace {

// Makes the file at `path` exactly `bytes`: whatever it held before, of any
// length, is replaced, through one mapped view and one copy.
void WriteWholeFile(const t_String& path, std::span<const std::byte> bytes) {
  n_system::t_MemoryMappedFile file;
  file.Open(path);
  std::byte* region = file.ReplaceRegion(static_cast<std::uint32_t>(bytes.size()), file.Size(), 0);
  std::memcpy(region, bytes.data(), bytes.size());
  file.Close();
}

}  // namespace

t_UnpackedTools::t_UnpackedTools(const t_Module& module, const t_String& workspaceFolder) {
  const t_ToolPayload payload(module.ToolPackage());
  for (std::size_t i = 0; i < kToolFileCount; ++i) {
    m_paths[i] = workspaceFolder;
    m_paths[i] += ToolFileName(i);
    WriteWholeFile(m_paths[i], payload.File(i));
    m_handles[i].Open(m_paths[i]);
  }
}

}  // namespace n_zorbel::n_tools
