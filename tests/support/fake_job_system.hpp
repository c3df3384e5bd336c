#pragma once
// A job system whose tool processes follow a script, for the tagging job and
// the dialog alike. Workspace creation and unpacking are real (a tiny package
// made on the fly), so the job's tool slot holds a genuine unpacked tool.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "system/error.hpp"
#include "system/memory_mapped_file.hpp"
#include "tagging/job_system.hpp"
#include "tool_packer.hpp"
#include "tools/module.hpp"

namespace n_zorbel::n_testing {

// A failure a fake raises when it is reached.
using t_Failure = std::function<void()>;
inline t_Failure SystemError(std::uint32_t code) {
  return [code] { n_system::RaiseSystemError(code); };
}

// What one started tool does: how many polls it keeps running, then its exit
// code, or the error the poll that ends it raises (its exit code unread).
struct t_ToolScript {
  int runningPolls = 0;
  std::uint32_t exitCode = 0;
  std::int32_t finishError = 0;
};

class t_FakeRunner final : public n_system::t_ProcessRunner {
 public:
  struct t_Start {
    t_String application;
    t_String commandLine;
  };
  std::vector<t_Start> starts;
  // Scripts by start attempt; unlisted ones exit 0 at the first poll.
  std::map<std::size_t, t_ToolScript> scripts;
  // Start attempts (0 = the first) that fail.
  std::map<std::size_t, t_Failure> startFailures;
  std::size_t attempts = 0;
  // What a started tool does to files, given its command line.
  std::function<void(const t_String&)> effect;
  int running = 0;     // processes not yet finished
  int terminated = 0;  // destroyed before they finished

  std::unique_ptr<n_system::t_ToolProcess> Start(const t_String& application,
                                                 const t_String& commandLine) override {
    const std::size_t number = attempts++;
    if (const auto failure = startFailures.find(number); failure != startFailures.end()) failure->second();
    const auto script = scripts.find(number);
    starts.push_back({application, commandLine});
    if (effect) effect(commandLine);
    return std::make_unique<t_Process>(*this, script == scripts.end() ? t_ToolScript{} : script->second);
  }

 private:
  class t_Process final : public n_system::t_ToolProcess {
   public:
    t_Process(t_FakeRunner& runner, t_ToolScript script) : m_runner(runner), m_script(script) {
      ++runner.running;
    }
    ~t_Process() override {
      if (!m_finished) {
        --m_runner.running;
        ++m_runner.terminated;
      }
    }
    t_Process(const t_Process&) = delete;
    t_Process& operator=(const t_Process&) = delete;

    void Finish(std::uint32_t timeoutMs, bool raise) override {
      // Polled from the dialog's timer: waiting would freeze the window.
      EXPECT_EQ(timeoutMs, 0u);
      EXPECT_TRUE(raise);
      if (m_finished) return;
      if (m_script.runningPolls > 0) {
        --m_script.runningPolls;
        return;
      }
      m_finished = true;
      --m_runner.running;
      if (m_script.finishError != 0) n_system::RaiseCode(m_script.finishError);
    }
    bool Finished() const noexcept override { return m_finished; }
    bool ExitCodeValid() const noexcept override { return m_finished && m_script.finishError == 0; }
    std::uint32_t ExitCode() const noexcept override { return m_script.exitCode; }

   private:
    t_FakeRunner& m_runner;
    t_ToolScript m_script;
    bool m_finished = false;
  };
};

class t_FakeJobSystem final : public n_tagging::t_JobSystem {
 public:
  t_FakeJobSystem() : m_package(MakePackage()), m_module(m_package) {}

  t_FakeRunner runner;
  int workspacesCreated = 0;
  int unpacks = 0;
  t_Failure createFailure, unpackFailure;
  // Room enough for every test that is not about it.
  n_system::t_CommandLimits limits{n_system::t_CommandLimits::t_Measure::Arguments, 1 << 20, 1 << 24};

  void CreateWorkspace(const t_String& folder) override {
    ++workspacesCreated;
    if (createFailure) createFailure();
    std::filesystem::create_directories(std::filesystem::path(folder));
  }
  // What the teardown had done by the time it asked for the workspace to go.
  struct t_Removal {
    int toolsTerminated = 0;
    bool toolStillHeld = false;
  };
  std::vector<t_Removal> removals;
  void RemoveWorkspace(const t_String& folder) override {
    removals.push_back({runner.terminated, AnyFileHeld(folder)});
    std::filesystem::remove_all(std::filesystem::path(folder));
  }
  std::unique_ptr<n_tools::t_UnpackedTools> UnpackTools(const t_String& folder) override {
    ++unpacks;
    if (unpackFailure) unpackFailure();
    return std::make_unique<n_tools::t_UnpackedTools>(m_module, folder);
  }
  std::vector<t_String> removedFiles;
  void RemoveFile(const t_String& path) noexcept override {
    removedFiles.push_back(path);
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(path), ignored);
  }
  n_system::t_ProcessRunner& Runner() override { return runner; }
  n_system::t_CommandLimits CommandLimits() override { return limits; }

 private:
  // An unpacked tool is held with a shared lock that our exclusive opening
  // refuses, on both platforms.
  static bool AnyFileHeld(const t_String& folder) {
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), missing)) {
      try {
        n_system::t_MemoryMappedFile file;
        file.Open(entry.path().native());
      } catch (const n_system::t_ErrorException&) {
        return true;
      }
    }
    return false;
  }
  static std::vector<std::byte> MakePackage() {
    const std::string text = "a stand-in that is never run";
    std::vector<std::byte> tool(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) tool[i] = static_cast<std::byte>(text[i]);
    const std::span<const std::byte> files[] = {tool};
    return n_tools::n_packer::PackTools(files);
  }

  std::vector<std::byte> m_package;
  n_tools::t_MemoryModule m_module;
};

}  // namespace n_zorbel::n_testing
