#include "tagging/job_system.hpp"

#include "system/workspace.hpp"

namespace n_zorbel::n_tagging {

void RealJobSystem::CreateWorkspace(const t_String& folder) { n_system::CreateWorkspace(folder); }

void RealJobSystem::RemoveWorkspace(const t_String& folder) { n_system::RemoveWorkspace(folder); }

std::unique_ptr<n_tools::UnpackedTools> RealJobSystem::UnpackTools(const t_String& folder) {
  return std::make_unique<n_tools::UnpackedTools>(m_module, folder);
}

}  // namespace n_zorbel::n_tagging
