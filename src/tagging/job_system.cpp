#include "tagging/job_system.hpp"

#include <filesystem>
#include <system_error>

#include "system/workspace.hpp"

namespace n_zorbel::n_tagging {

void t_RealJobSystem::CreateWorkspace(const t_String& folder) { n_system::CreateWorkspace(folder); }

void t_RealJobSystem::RemoveWorkspace(const t_String& folder) { n_system::RemoveWorkspace(folder); }

std::unique_ptr<n_tools::t_UnpackedTools> t_RealJobSystem::UnpackTools(const t_String& folder) {
  return std::make_unique<n_tools::t_UnpackedTools>(m_module, folder);
}

void t_RealJobSystem::RemoveFile(const t_String& path) noexcept {
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(path), ignored);
}

}  // namespace n_zorbel::n_tagging
