#pragma once
// Fakes of the system parts t_MainDialog reaches: the disk as file intake sees
// it, the cover decoder, and a job system whose tool processes follow a
// script. The unpacking itself is real (a tiny package made on the fly), so
// the job's tool slot holds a genuine unpacked tool.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "intake/path_queries.hpp"
#include "preview/cover_image.hpp"
#include "system/error.hpp"
#include "system/memory_mapped_file.hpp"
#include "tagging/job_system.hpp"
#include "tool_packer.hpp"
#include "tools/module.hpp"

namespace n_zorbel::n_testing {

// Every path is missing (so it is taken by its name) unless listed as a
// folder; paths listed as links are links, and too long ones fail as such.
class t_FakePathQueries final : public n_intake::t_PathQueries {
 public:
  std::map<t_String, std::vector<t_String>> folders;  // folder (with separator) -> entry names
  std::set<t_String> links;
  std::set<t_String> tooLong;

  n_system::t_PathKind Query(const t_String& path) override {
    if (tooLong.count(path)) n_system::RaiseSystemError(n_system::kErrorFilenameTooLong);
    if (folders.count(path) || folders.count(path + kPathSeparator)) return n_system::t_PathKind::Folder;
    return n_system::t_PathKind::Missing;
  }
  void ListFolder(const t_String& folder, const n_intake::t_FolderVisit& visit) override {
    for (const t_String& name : folders.at(folder)) {
      n_system::t_FolderEntry entry;
      entry.name = name;
      entry.isFolder = folders.count(folder + name + kPathSeparator) != 0;
      entry.isLink = links.count(folder + name) != 0;
      visit(folder + name, entry);
    }
  }
  bool IsLink(const t_String& path) override { return links.count(path) != 0; }
};

class t_FakeCoverImage final : public n_preview::t_CoverImage {
 public:
  t_FakeCoverImage(std::uint32_t width, std::uint32_t height) : m_width(width), m_height(height) {}
  std::uint32_t Width() const noexcept override { return m_width; }
  std::uint32_t Height() const noexcept override { return m_height; }

 private:
  std::uint32_t m_width, m_height;
};

// Decodes the pictures it was told about; anything else is undecodable. It
// delivers at once, or, while `holding`, when Deliver is called.
class t_FakeCoverDecoder final : public n_preview::t_CoverDecoder {
 public:
  std::map<t_String, std::pair<std::uint32_t, std::uint32_t>> pictures;
  std::vector<t_String> decoded;
  bool holding = false;
  int abandons = 0;

  void Start(const t_String& path, n_preview::t_CoverDelivery deliver) override {
    decoded.push_back(path);
    m_pending = std::move(deliver);
    if (!holding) Deliver();
  }
  void Abandon() noexcept override {
    ++abandons;
    m_pending = nullptr;
  }
  void Deliver() {
    if (!m_pending) return;
    const auto deliver = std::exchange(m_pending, nullptr);
    const auto it = pictures.find(decoded.back());
    deliver(it == pictures.end() ? nullptr : std::make_unique<t_FakeCoverImage>(it->second.first, it->second.second));
  }

 private:
  n_preview::t_CoverDelivery m_pending;
};

// What one started tool does: how many polls it keeps running, then its exit code.
struct t_ToolScript {
  int runningPolls = 0;
  std::uint32_t exitCode = 0;
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
  // Start attempts (0 = the first) that fail, with the raised system error.
  std::map<std::size_t, std::uint32_t> startFailures;
  int running = 0;     // processes not yet finished
  int terminated = 0;  // destroyed before they finished

  std::unique_ptr<n_system::t_ToolProcess> Start(const t_String& application,
                                                 const t_String& commandLine) override {
    const std::size_t number = attempts++;
    if (const auto failure = startFailures.find(number); failure != startFailures.end())
      n_system::RaiseSystemError(failure->second);
    const auto script = scripts.find(number);
    starts.push_back({application, commandLine});
    return std::make_unique<t_Process>(*this, script == scripts.end() ? t_ToolScript{} : script->second);
  }
  std::size_t attempts = 0;

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

    void Finish(std::uint32_t, bool) override {
      if (m_finished) return;
      if (m_script.runningPolls > 0) {
        --m_script.runningPolls;
        return;
      }
      m_finished = true;
      --m_runner.running;
    }
    bool Finished() const noexcept override { return m_finished; }
    bool ExitCodeValid() const noexcept override { return m_finished; }
    std::uint32_t ExitCode() const noexcept override { return m_script.exitCode; }

   private:
    t_FakeRunner& m_runner;
    t_ToolScript m_script;
    bool m_finished = false;
  };
};

// Workspace creation and unpacking for real (into the folder the test gives),
// processes from a runner of the test's choice (the fake one by default).
class t_FakeJobSystem final : public n_tagging::t_JobSystem {
 public:
  t_FakeJobSystem() : m_package(MakePackage()), m_module(m_package) {}
  explicit t_FakeJobSystem(n_system::t_ProcessRunner& realRunner) : t_FakeJobSystem() {
    m_runnerInUse = &realRunner;
  }

  t_FakeRunner runner;
  int workspacesCreated = 0;
  int unpacks = 0;
  std::optional<std::uint32_t> createFailure;
  // Room enough for every test that is not about it.
  n_system::t_CommandLimits limits{n_system::t_CommandLimits::t_Measure::Arguments, 1 << 20, 1 << 24};

  void CreateWorkspace(const t_String& folder) override {
    ++workspacesCreated;
    if (createFailure) n_system::RaiseSystemError(*createFailure);
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
    return std::make_unique<n_tools::t_UnpackedTools>(m_module, folder);
  }
  n_system::t_ProcessRunner& Runner() override { return m_runnerInUse ? *m_runnerInUse : runner; }
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
  n_system::t_ProcessRunner* m_runnerInUse = nullptr;
};

}  // namespace n_zorbel::n_testing
