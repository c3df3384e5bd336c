#include "tools/unpacked_tools.hpp"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "system/memory_mapped_file.hpp"

namespace n_zorbel::n_tools {

namespace {

// Makes the file at `path` exactly `bytes`: whatever it held before, of any
// length, is replaced, through one mapped view and one copy. Once the file is
// ours, a failure (a full disk) removes it: a partial tool never stays, and
// the next run writes it anew. A file held by someone else is left alone.
void WriteWholeFile(const t_String& path, std::span<const std::byte> bytes) {
  n_system::t_MemoryMappedFile file;
  file.Open(path);
  try {
    std::byte* region = file.ReplaceRegion(static_cast<std::uint32_t>(bytes.size()), file.Size(), 0);
    std::memcpy(region, bytes.data(), bytes.size());
    file.Close();
  } catch (...) {
    try {
      file.Close();
    } catch (...) {
      // The first failure is the one to report.
    }
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(path), ignored);
    throw;
  }
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
