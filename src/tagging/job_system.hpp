#pragma once
// What a tagging job needs of the system: the workspace folder, the unpacked
// tool and a process runner. The job reaches them only through this port, so
// it runs against fakes in tests and against the real system in the program.
#include <memory>

#include "system/child_process.hpp"
#include "system/command_limits.hpp"
#include "system/text.hpp"
#include "tools/module.hpp"
#include "tools/unpacked_tools.hpp"

namespace n_zorbel::n_tagging {

class t_JobSystem {
 public:
  virtual ~t_JobSystem() = default;
  // Creates the workspace folder's last level or accepts an existing one;
  // raises on any other failure.
  virtual void CreateWorkspace(const t_String& folder) = 0;
  // Removes the workspace folder at the end, when it is the one this process
  // created or accepted; raises when such a removal fails.
  virtual void RemoveWorkspace(const t_String& folder) = 0;
  // Unpacks the tool package into `folder`; raises on failure.
  virtual std::unique_ptr<n_tools::t_UnpackedTools> UnpackTools(const t_String& folder) = 0;
  // Removes a file the tool wrote into the workspace; one that is gone, or
  // cannot go, is left to the workspace's removal.
  virtual void RemoveFile(const t_String& path) noexcept = 0;
  virtual n_system::t_ProcessRunner& Runner() = 0;
  // What a started tool can be handed (checked before a run starts).
  virtual n_system::t_CommandLimits CommandLimits() = 0;
};

// The real thing: the workspace rules of the system layer, the package of
// `module`, and real child processes.
class t_RealJobSystem final : public t_JobSystem {
 public:
  explicit t_RealJobSystem(const n_tools::t_Module& module) noexcept : m_module(module) {}
  void CreateWorkspace(const t_String& folder) override;
  void RemoveWorkspace(const t_String& folder) override;
  std::unique_ptr<n_tools::t_UnpackedTools> UnpackTools(const t_String& folder) override;
  void RemoveFile(const t_String& path) noexcept override;
  n_system::t_ProcessRunner& Runner() override { return m_runner; }
  n_system::t_CommandLimits CommandLimits() override { return n_system::CommandLimits(); }

 private:
  const n_tools::t_Module& m_module;
  n_system::t_ChildProcessRunner m_runner;
};

}  // namespace n_zorbel::n_tagging
