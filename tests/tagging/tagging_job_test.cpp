// The tagging job's state machine against a scripted fake system, then end
// to end with a real package, workspace and processes.
#include "tagging/tagging_job.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "intake/video_file_list.hpp"
#include "support/environment_variable.hpp"
#include "support/file_bytes.hpp"
#include "support/poll.hpp"
#include "support/scratch_folder.hpp"
#include "system/error.hpp"
#include "tool_packer.hpp"
#include "tools/module.hpp"
#include "tools/tool_package.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_tagging::t_ErrorStage;
using n_tagging::t_TaggingJob;
using t_Events = std::vector<std::string>;

// How the fake tool for one file behaves.
struct t_Script {
  int pollsRunning = 0;  // polls that still see it running
  std::uint32_t exitCode = 0;
  std::int32_t finishError = 0;  // a t_ErrorException from the poll that ends it
};

class t_FakeProcess final : public n_system::t_ToolProcess {
 public:
  t_FakeProcess(int file, t_Script script, t_Events& events)
      : m_file(file), m_script(script), m_events(events) {}
  ~t_FakeProcess() override { m_events.push_back((m_finished ? "free " : "kill ") + std::to_string(m_file)); }
  void Finish(std::uint32_t timeoutMs, bool raise) override {
    EXPECT_EQ(timeoutMs, 0u);
    EXPECT_TRUE(raise);
    m_events.push_back("poll " + std::to_string(m_file));
    if (m_script.pollsRunning-- > 0) return;
    m_finished = true;
    m_exitCodeValid = m_script.finishError == 0;
    if (m_script.finishError != 0) n_system::RaiseCode(m_script.finishError);
  }
  bool Finished() const noexcept override { return m_finished; }
  bool ExitCodeValid() const noexcept override { return m_exitCodeValid; }
  std::uint32_t ExitCode() const noexcept override { return m_script.exitCode; }

 private:
  int m_file;
  t_Script m_script;
  t_Events& m_events;
  bool m_finished = false;
  bool m_exitCodeValid = false;
};

// Records every call as an event; the tool file the job sees is a real one
// unpacked from a small package, because the slot holds real t_UnpackedTools.
class t_FakeSystem final : public n_tagging::t_JobSystem, public n_system::t_ProcessRunner {
 public:
  t_FakeSystem() : m_package(MakePackage()), m_module(m_package) {}

  void CreateWorkspace(const t_String& folder) override {
    events.push_back("create");
    EXPECT_EQ(folder, workspace.Path());
    if (createFailure) createFailure();
  }
  void RemoveWorkspace(const t_String&) override { events.push_back("remove"); }
  std::unique_ptr<n_tools::t_UnpackedTools> UnpackTools(const t_String& folder) override {
    events.push_back("unpack");
    if (unpackFailure) unpackFailure();
    return std::make_unique<n_tools::t_UnpackedTools>(m_module, folder);
  }
  n_system::t_ProcessRunner& Runner() override { return *this; }
  n_system::t_CommandLimits CommandLimits() override { return n_system::CommandLimits(); }

  std::unique_ptr<n_system::t_ToolProcess> Start(const t_String& application,
                                                 const t_String& commandLine) override {
    // The video's path closes the command line: " ... \"PATH\"".
    const std::size_t open = commandLine.rfind(ZTEXT('"'), commandLine.size() - 2);
    const t_String video = commandLine.substr(open + 1, commandLine.size() - open - 2);
    const int file = std::stoi(ToUtf8(video.substr(video.size() - 5, 1)));
    events.push_back("start " + std::to_string(file));
    starts.push_back(application);
    if (startFailure) startFailure();
    return std::make_unique<t_FakeProcess>(file, scripts[file], events);
  }

  t_ScratchFolder workspace;
  t_Events events;
  std::map<int, t_Script> scripts;
  std::vector<t_String> starts;
  std::function<void()> createFailure, unpackFailure, startFailure;

 private:
  static std::vector<std::byte> MakePackage() {
    const std::vector<std::byte> tool(64, std::byte{0x42});
    const std::span<const std::byte> files[] = {tool};
    return n_tools::n_packer::PackTools(files);
  }
  std::vector<std::byte> m_package;
  n_tools::t_MemoryModule m_module;
};

// Files named "/videos/file0.mp4", "file1.mp4", ...: the fake reads the number back.
n_intake::t_VideoFileList Videos(int count, const t_ScratchFolder& folder) {
  n_intake::t_VideoFileList list;
  t_String cover;
  for (int i = 0; i < count; ++i) list.AddPath(folder / FromUtf8("file" + std::to_string(i) + ".mp4"), cover);
  return list;
}

// Steps once and answers the events of that step.
t_Events StepEvents(t_TaggingJob& job, t_FakeSystem& system) {
  system.events.clear();
  job.Step();
  return system.events;
}

struct t_JobTest : ::testing::Test {
  t_FakeSystem system;
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("Blue Sky"), ZTEXT(""), ZTEXT(""), ZTEXT(""), ZTEXT("")};
};

TEST_F(t_JobTest, OneStepRunsWhatTheSituationCallsFor) {
  const auto videos = Videos(2, system.workspace);
  system.scripts[0] = {.pollsRunning = 1};
  t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);

  // First tick: set-up and the first tool started.
  EXPECT_EQ(StepEvents(job, system), (t_Events{"create", "unpack", "start 0"}));
  EXPECT_EQ(job.CurrentState(), t_TaggingJob::t_State::PollTool);
  EXPECT_EQ(job.Stage(), t_ErrorStage::RunTool);
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(system.starts.back(), tools->ToolLaunchPath());
  // Tool still running: one poll, nothing changes.
  EXPECT_EQ(StepEvents(job, system), (t_Events{"poll 0"}));
  EXPECT_EQ(job.CurrentFile(), 0u);
  EXPECT_EQ(job.CurrentState(), t_TaggingJob::t_State::PollTool);
  // Ended with 0, a file left: the next tool starts in the same tick, and
  // the finished child is freed (not killed) once replaced.
  EXPECT_EQ(StepEvents(job, system), (t_Events{"poll 0", "start 1", "free 0"}));
  EXPECT_EQ(job.CurrentFile(), 1u);
  // Ended with 0, the last file: done.
  EXPECT_EQ(StepEvents(job, system), (t_Events{"poll 1"}));
  EXPECT_TRUE(job.Done());
  EXPECT_FALSE(job.Failed());
  EXPECT_EQ(job.CurrentState(), t_TaggingJob::t_State::StartNextFile);
  EXPECT_EQ(job.ErrorCode(), 0);
  // A done job is not advanced again.
  EXPECT_EQ(StepEvents(job, system), t_Events{});
}

TEST_F(t_JobTest, NFilesThatEndWithinATickTakeNPlusOneTicks) {
  const auto videos = Videos(4, system.workspace);
  t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);
  int ticks = 0;
  while (!job.Done() && !job.Failed() && ticks < 100) {
    job.Step();
    ++ticks;
  }
  EXPECT_EQ(ticks, 5);
  EXPECT_TRUE(job.Done());
}

TEST_F(t_JobTest, TheThirdOfFiveFilesFailingEndsTheBatchThere) {
  const auto videos = Videos(5, system.workspace);
  system.scripts[2] = {.exitCode = 2};
  t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);
  for (int tick = 0; tick < 10; ++tick) job.Step();

  EXPECT_TRUE(job.Failed());
  EXPECT_FALSE(job.Done());
  EXPECT_EQ(job.Stage(), t_ErrorStage::ToolExit);
  EXPECT_EQ(job.ErrorCode(), static_cast<std::int32_t>(0x80070002));
  EXPECT_EQ(job.CurrentFile(), 2u);
  EXPECT_EQ(job.CurrentState(), t_TaggingJob::t_State::PollTool);
  EXPECT_EQ(system.starts.size(), 3u);  // files 4 and 5 never started
  EXPECT_EQ(ToUtf8(n_tagging::ErrorStageMessage(job.Stage())), "neroAACTag process did not exit gracefully");
}

TEST_F(t_JobTest, ExitCodesAreReportedLikeSystemErrors) {
  const std::pair<std::uint32_t, std::int32_t> cases[] = {
      {1, static_cast<std::int32_t>(0x80070001)},           // shown as -2147024895
      {0x10020, static_cast<std::int32_t>(0x80070020)},     // low 16 bits kept
      {0xC0000005, static_cast<std::int32_t>(0xC0000005)},  // a status passes unchanged
  };
  for (const auto& [exitCode, code] : cases) {
    const auto videos = Videos(1, system.workspace);
    system.scripts[0] = {.exitCode = exitCode};
    t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);
    job.Step();
    job.Step();
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.ErrorCode(), code) << exitCode;
  }
}

TEST_F(t_JobTest, ASecondRunReusesTheUnpackedToolWithoutSetUp) {
  const auto videos = Videos(1, system.workspace);
  {
    t_TaggingJob first(tools, system, system.workspace.Path(), videos, tags, false);
    first.Step();
    first.Step();
    ASSERT_TRUE(first.Done());
  }
  const n_tools::t_UnpackedTools* kept = tools.get();
  ASSERT_NE(kept, nullptr);  // the slot outlives the job

  t_TaggingJob second(tools, system, system.workspace.Path(), videos, tags, false);
  system.startFailure = [] { throw n_system::t_ErrorException(5); };
  EXPECT_EQ(StepEvents(second, system), (t_Events{"start 0"}));
  EXPECT_EQ(tools.get(), kept);
  EXPECT_EQ(second.Stage(), t_ErrorStage::RunTool);
}

TEST_F(t_JobTest, EachFailureIsRecordedWithTheStageUnderWay) {
  struct t_Case {
    const char* name;
    std::function<void(t_FakeSystem&)> arrange;
    t_ErrorStage stage;
    std::int32_t code;
    bool toolsKept;
  };
  const t_Case cases[] = {
      {"folder refused", [](t_FakeSystem& s) { s.createFailure = [] { n_system::RaiseSystemError(5); }; },
       t_ErrorStage::CreateTempFolder, static_cast<std::int32_t>(0x80070005), false},
      {"folder, not a system error",
       [](t_FakeSystem& s) { s.createFailure = [] { throw std::runtime_error("x"); }; },
       t_ErrorStage::CreateTempFolder, static_cast<std::int32_t>(0x80004005), false},
      {"damaged package", [](t_FakeSystem& s) { s.unpackFailure = [] { n_system::RaiseCode(13); }; },
       t_ErrorStage::UnpackTools, 13, false},
      {"start out of memory", [](t_FakeSystem& s) { s.startFailure = [] { throw std::bad_alloc(); }; },
       t_ErrorStage::RunTool, static_cast<std::int32_t>(0x80004005), true},
      {"tool missing", [](t_FakeSystem& s) { s.startFailure = [] { n_system::RaiseSystemError(2); }; },
       t_ErrorStage::RunTool, static_cast<std::int32_t>(0x80070002), true},
      {"abandoned wait",
       [](t_FakeSystem& s) { s.scripts[0] = {.finishError = static_cast<std::int32_t>(0x800702C9)}; },
       t_ErrorStage::ToolExit, static_cast<std::int32_t>(0x800702C9), true},
  };
  for (const t_Case& c : cases) {
    SCOPED_TRACE(c.name);
    t_FakeSystem fresh;
    std::unique_ptr<n_tools::t_UnpackedTools> slot;
    c.arrange(fresh);
    const auto videos = Videos(2, fresh.workspace);
    t_TaggingJob job(slot, fresh, fresh.workspace.Path(), videos, tags, false);
    job.Step();
    job.Step();
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.Stage(), c.stage);
    EXPECT_EQ(job.ErrorCode(), c.code);
    EXPECT_EQ(slot != nullptr, c.toolsKept);
    EXPECT_EQ(job.CurrentFile(), 0u);
  }
}

TEST_F(t_JobTest, AFailedSetUpIsTriedAgainByTheNextRun) {
  const auto videos = Videos(1, system.workspace);
  system.unpackFailure = [] { n_system::RaiseCode(13); };
  {
    t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);
    job.Step();
    EXPECT_TRUE(job.Failed());
  }
  EXPECT_EQ(tools, nullptr);
  system.unpackFailure = nullptr;
  t_TaggingJob again(tools, system, system.workspace.Path(), videos, tags, false);
  EXPECT_EQ(StepEvents(again, system), (t_Events{"create", "unpack", "start 0"}));
  EXPECT_NE(tools, nullptr);
}

TEST_F(t_JobTest, DestroyingTheJobKillsOnlyARunningTool) {
  const auto videos = Videos(2, system.workspace);
  system.scripts[0] = {.pollsRunning = 100};
  {
    t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);
    job.Step();
    job.Step();
    system.events.clear();
  }
  EXPECT_EQ(system.events, t_Events{"kill 0"});

  // A failed start keeps the finished child of the previous file; it is freed, not killed.
  system.scripts[0] = {};
  {
    t_TaggingJob job(tools, system, system.workspace.Path(), videos, tags, false);
    job.Step();
    system.startFailure = [] { n_system::RaiseSystemError(8); };
    job.Step();
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.Stage(), t_ErrorStage::RunTool);
    system.events.clear();
  }
  EXPECT_EQ(system.events, t_Events{"free 0"});
}

TEST(ErrorStageTest, MessagesAreIndexedByTheStageValue) {
  const char* expected[] = {"none",
                            "failed to create temp folder",
                            "failed to delete temp folder",
                            "failed to unpack tools",
                            "failed to run neroAACTag",
                            "neroAACTag process did not exit gracefully",
                            "unknown",
                            "unknown"};
  for (int value = 0; value < 8; ++value) {
    EXPECT_EQ(ToUtf8(n_tagging::ErrorStageMessage(static_cast<t_ErrorStage>(value))), expected[value]);
  }
}

// ---- End to end: a real package, a real workspace, real processes.

// The stand-in tagger packed here, as the build packs the program's tool: it
// does what the environment tells it, so a test can script the tool's runs.
const std::vector<std::byte>& StandInPackage() {
  static const std::vector<std::byte> package = [] {
    const std::string bytes = ReadFile(FromUtf8(MIVORA_STAND_IN));
    EXPECT_FALSE(bytes.empty()) << MIVORA_STAND_IN;
    const auto tool = std::as_bytes(std::span(bytes));
    const std::span<const std::byte> files[] = {tool};
    return n_tools::n_packer::PackTools(files);
  }();
  return package;
}

std::vector<std::vector<std::string>> ReadRuns(const std::filesystem::path& log) {
  std::vector<std::vector<std::string>> runs;
  std::ifstream in(log, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "== run") {
      runs.emplace_back();

    } else if (!runs.empty() && line != "beat") {
      runs.back().push_back(line);
    }
  }
  return runs;
}

// Steps at the dialog's pace until the job is done or failed.
void RunToEnd(t_TaggingJob& job) {
  PollUntil([&] { return job.Done() || job.Failed(); }, [&] { job.Step(); }, std::chrono::milliseconds(10),
            std::chrono::seconds(60));
}

TEST(TaggingJobEndToEndTest, FirstRunUnpacksIntoTheWorkspaceAndRunsOneToolPerFileInOrder) {
  t_ScratchFolder scratch;
  const t_String workspace = scratch / ZTEXT("Mivora/");
  const std::filesystem::path log = std::filesystem::path(scratch / ZTEXT("tool.log"));
  const t_EnvironmentVariable logVariable("MIVORA_STAND_IN_LOG", ToUtf8(log.native()).c_str());

  n_intake::t_VideoFileList videos;
  t_String cover;
  for (const char* name : {"one.mp4", "two.mp4", "three.mp4"})
    videos.AddPath(scratch / FromUtf8(name), cover);
  const n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("Blue Sky"), ZTEXT("Duv Ize"),
                                 ZTEXT(""), ZTEXT(""),         ZTEXT("")};

  const n_tools::t_MemoryModule module(StandInPackage());
  n_tagging::t_RealJobSystem system(module);
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  {
    t_TaggingJob job(tools, system, workspace, videos, tags, false);
    RunToEnd(job);
    ASSERT_TRUE(job.Done()) << job.ErrorCode();
  }
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->ToolPath(), workspace + t_String(n_tools::ToolFileName(0)));
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(tools->ToolPath())));

  const auto runs = ReadRuns(log);
  ASSERT_EQ(runs.size(), 3u);
  const char* names[] = {"one.mp4", "two.mp4", "three.mp4"};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    // The tool sees the options and then the video, split by the Windows rules.
    // The line starts with a blank, so the program-name slot is empty.
    EXPECT_EQ(runs[i], (std::vector<std::string>{"", "-meta:title=Blue Sky", "-meta:artist=Duv Ize",
                                                 ToUtf8(scratch / FromUtf8(names[i]))}));
  }
}

TEST(TaggingJobEndToEndTest, AnExistingWorkspaceWithALongerOldToolIsReused) {
  const n_tools::t_MemoryModule module(StandInPackage());
  const n_tools::t_ToolPayload payload(module.ToolPackage());
  const auto tool = payload.File(0);

  t_ScratchFolder scratch;
  scratch.MakeFile(ZTEXT("Mivora/") + t_String(n_tools::ToolFileName(0)),
                   std::string(tool.size() + 4096, 'o'));
#ifndef _WIN32
  std::filesystem::permissions(scratch.Fs() / "Mivora", std::filesystem::perms::owner_all);
#endif
  const t_String workspace = scratch / ZTEXT("Mivora/");
  n_intake::t_VideoFileList videos;
  t_String cover;
  videos.AddPath(scratch / ZTEXT("clip.mp4"), cover);
  const n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("t"), ZTEXT(""), ZTEXT(""), ZTEXT(""), ZTEXT("")};

  n_tagging::t_RealJobSystem system(module);
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  t_TaggingJob job(tools, system, workspace, videos, tags, false);
  RunToEnd(job);
  EXPECT_TRUE(job.Done()) << static_cast<int>(job.Stage()) << " " << job.ErrorCode();
  // The old file is overwritten and cut to the tool's length.
  const std::string bytes = ReadFile(tools->ToolPath());
  ASSERT_EQ(bytes.size(), tool.size());
  EXPECT_EQ(0, std::memcmp(bytes.data(), tool.data(), tool.size()));
}

TEST(TaggingJobEndToEndTest, ARealToolFailingEndsTheBatchWithItsExitCode) {
  t_ScratchFolder scratch;
  const t_EnvironmentVariable exitCode("MIVORA_STAND_IN_EXIT", "2");
  const t_EnvironmentVariable match("MIVORA_STAND_IN_FAIL_MATCH", "second");
  n_intake::t_VideoFileList videos;
  t_String cover;
  for (const char* name : {"first.mp4", "second.mp4", "third.mp4"})
    videos.AddPath(scratch / FromUtf8(name), cover);
  const n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("t"), ZTEXT(""), ZTEXT(""), ZTEXT(""), ZTEXT("")};

  const n_tools::t_MemoryModule module(StandInPackage());
  n_tagging::t_RealJobSystem system(module);
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  t_TaggingJob job(tools, system, scratch / ZTEXT("Mivora/"), videos, tags, false);
  RunToEnd(job);
  EXPECT_TRUE(job.Failed());
  EXPECT_EQ(job.Stage(), t_ErrorStage::ToolExit);
  EXPECT_EQ(job.ErrorCode(), static_cast<std::int32_t>(0x80070002));
  EXPECT_EQ(job.CurrentFile(), 1u);
}

TEST(TaggingJobEndToEndTest, DestroyingTheJobEndsARunningToolForReal) {
  t_ScratchFolder scratch;
  const std::filesystem::path log = std::filesystem::path(scratch / ZTEXT("tool.log"));
  const t_EnvironmentVariable logVariable("MIVORA_STAND_IN_LOG", ToUtf8(log.native()).c_str());
  const t_EnvironmentVariable sleep("MIVORA_STAND_IN_SLEEP_MS", "60000");
  n_intake::t_VideoFileList videos;
  t_String cover;
  videos.AddPath(scratch / ZTEXT("long.mp4"), cover);
  const n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("t"), ZTEXT(""), ZTEXT(""), ZTEXT(""), ZTEXT("")};

  const n_tools::t_MemoryModule module(StandInPackage());
  n_tagging::t_RealJobSystem system(module);
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  {
    t_TaggingJob job(tools, system, scratch / ZTEXT("Mivora/"), videos, tags, false);
    job.Step();
    // Wait until the tool is alive: it writes a heartbeat every 20 ms.
    PollUntil([&] { return std::filesystem::exists(log) && std::filesystem::file_size(log) >= 40; },
              [&] { job.Step(); }, std::chrono::milliseconds(20), std::chrono::seconds(30));
    ASSERT_FALSE(job.Done());
    ASSERT_FALSE(job.Failed());
  }
  // Gone: the heartbeat stops for good.
  const auto size = std::filesystem::file_size(log);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(std::filesystem::file_size(log), size);
}

}  // namespace
}  // namespace n_zorbel::n_testing
