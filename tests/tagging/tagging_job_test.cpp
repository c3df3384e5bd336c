// The tagging job against the scripted fake system, then end to end with a
// real package, workspace and processes.
#include "tagging/tagging_job.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "intake/video_file_list.hpp"
#include "support/environment_variable.hpp"
#include "support/fake_job_system.hpp"
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

// Files named "file0.mp4", "file1.mp4", ... in `folder`.
n_intake::t_VideoFileList Videos(int count, const t_ScratchFolder& folder) {
  n_intake::t_VideoFileList list;
  t_String cover;
  for (int i = 0; i < count; ++i) list.AddPath(folder / FromUtf8("file" + std::to_string(i) + ".mp4"), cover);
  return list;
}

struct t_JobTest : ::testing::Test {
  t_ScratchFolder scratch;
  t_FakeJobSystem system;
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("Blue Sky"), ZTEXT(""), ZTEXT(""), ZTEXT(""), ZTEXT("")};

  t_String Workspace() const { return scratch / ZTEXT("Mivora/"); }
  // The video the tool of start `start` was handed: the command line's last, quoted argument.
  bool Handed(std::size_t start, const t_String& video) const {
    const t_String& line = system.runner.starts.at(start).commandLine;
    const t_String quoted = ZTEXT("\"") + video + ZTEXT("\"");
    return line.size() > quoted.size() && line.ends_with(quoted);
  }
};

TEST_F(t_JobTest, OneStepRunsWhatTheSituationCallsFor) {
  const auto videos = Videos(2, scratch);
  system.runner.scripts[0] = {.runningPolls = 1};
  t_TaggingJob job(tools, system, Workspace(), videos, tags, false);

  // First tick: set-up and the first tool started.
  job.Step();
  EXPECT_EQ(system.workspacesCreated, 1);
  EXPECT_EQ(system.unpacks, 1);
  ASSERT_NE(tools, nullptr);
  ASSERT_EQ(system.runner.starts.size(), 1u);
  EXPECT_EQ(system.runner.starts[0].application, tools->ToolLaunchPath());
  EXPECT_TRUE(Handed(0, videos[0]));
  // Tool still running: nothing changes.
  job.Step();
  EXPECT_EQ(system.runner.starts.size(), 1u);
  EXPECT_EQ(job.CurrentFile(), 0u);
  EXPECT_FALSE(job.Done());
  // Ended with 0, a file left: the next tool starts in the same tick, and
  // the finished child is freed (not killed) once replaced.
  job.Step();
  ASSERT_EQ(system.runner.starts.size(), 2u);
  EXPECT_TRUE(Handed(1, videos[1]));
  EXPECT_EQ(job.CurrentFile(), 1u);
  EXPECT_EQ(system.runner.running, 1);
  EXPECT_EQ(system.runner.terminated, 0);
  // Ended with 0, the last file: done.
  job.Step();
  EXPECT_TRUE(job.Done());
  EXPECT_FALSE(job.Failed());
  EXPECT_EQ(job.CurrentFile(), 2u);
  EXPECT_EQ(job.ErrorCode(), 0);
  // A done job is not advanced again.
  job.Step();
  EXPECT_EQ(system.runner.attempts, 2u);
  EXPECT_EQ(system.workspacesCreated, 1);
}

TEST_F(t_JobTest, NFilesThatEndWithinATickTakeNPlusOneTicks) {
  const auto videos = Videos(4, scratch);
  t_TaggingJob job(tools, system, Workspace(), videos, tags, false);
  int ticks = 0;
  while (!job.Done() && !job.Failed() && ticks < 100) {
    job.Step();
    ++ticks;
  }
  EXPECT_EQ(ticks, 5);
  EXPECT_TRUE(job.Done());
}

TEST_F(t_JobTest, TheThirdOfFiveFilesFailingEndsTheBatchThere) {
  const auto videos = Videos(5, scratch);
  system.runner.scripts[2] = {.exitCode = 2};
  t_TaggingJob job(tools, system, Workspace(), videos, tags, false);
  for (int tick = 0; tick < 10; ++tick) job.Step();

  EXPECT_TRUE(job.Failed());
  EXPECT_FALSE(job.Done());
  EXPECT_EQ(job.Stage(), t_ErrorStage::ToolExit);
  EXPECT_EQ(job.ErrorCode(), static_cast<std::int32_t>(0x80070002));
  EXPECT_EQ(job.ToolExitCode(), 2u);
  EXPECT_EQ(job.CurrentFile(), 2u);
  EXPECT_EQ(system.runner.starts.size(), 3u);  // files 4 and 5 never started
  EXPECT_EQ(ToUtf8(n_tagging::ErrorStageMessage(job.Stage())), "neroAACTag process did not exit gracefully");
}

TEST_F(t_JobTest, ExitCodesAreReportedLikeSystemErrors) {
  const std::pair<std::uint32_t, std::int32_t> cases[] = {
      {1, static_cast<std::int32_t>(0x80070001)},           // shown as -2147024895
      {0x10020, static_cast<std::int32_t>(0x80070020)},     // low 16 bits kept
      {0xC0000005, static_cast<std::int32_t>(0xC0000005)},  // a status passes unchanged
  };
  for (const auto& [exitCode, code] : cases) {
    const auto videos = Videos(1, scratch);
    t_FakeJobSystem fresh;
    fresh.runner.scripts[0] = {.exitCode = exitCode};
    t_TaggingJob job(tools, fresh, Workspace(), videos, tags, false);
    job.Step();
    job.Step();
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.ErrorCode(), code) << exitCode;
  }
}

TEST_F(t_JobTest, ASecondRunReusesTheUnpackedToolWithoutSetUp) {
  const auto videos = Videos(1, scratch);
  {
    t_TaggingJob first(tools, system, Workspace(), videos, tags, false);
    first.Step();
    first.Step();
    ASSERT_TRUE(first.Done());
  }
  const n_tools::t_UnpackedTools* kept = tools.get();
  ASSERT_NE(kept, nullptr);  // the slot outlives the job

  // Its failing start is reported as the start, not as a set-up.
  system.runner.startFailures[1] = SystemError(5);
  t_TaggingJob second(tools, system, Workspace(), videos, tags, false);
  second.Step();
  EXPECT_EQ(system.workspacesCreated, 1);
  EXPECT_EQ(system.unpacks, 1);
  EXPECT_EQ(system.runner.attempts, 2u);
  EXPECT_EQ(tools.get(), kept);
  EXPECT_TRUE(second.Failed());
  EXPECT_EQ(second.Stage(), t_ErrorStage::RunTool);
}

TEST_F(t_JobTest, EachFailureIsRecordedWithTheStageUnderWay) {
  struct t_Case {
    const char* name;
    std::function<void(t_FakeJobSystem&)> arrange;
    t_ErrorStage stage;
    std::int32_t code;
    bool toolsKept;
  };
  const t_Case cases[] = {
      {"folder refused", [](t_FakeJobSystem& s) { s.createFailure = SystemError(5); },
       t_ErrorStage::CreateTempFolder, static_cast<std::int32_t>(0x80070005), false},
      {"folder, not a system error",
       [](t_FakeJobSystem& s) { s.createFailure = [] { throw std::runtime_error("x"); }; },
       t_ErrorStage::CreateTempFolder, static_cast<std::int32_t>(0x80004005), false},
      {"damaged package", [](t_FakeJobSystem& s) { s.unpackFailure = [] { n_system::RaiseCode(13); }; },
       t_ErrorStage::UnpackTools, 13, false},
      {"start out of memory",
       [](t_FakeJobSystem& s) { s.runner.startFailures[0] = [] { throw std::bad_alloc(); }; },
       t_ErrorStage::RunTool, static_cast<std::int32_t>(0x80004005), true},
      {"tool missing", [](t_FakeJobSystem& s) { s.runner.startFailures[0] = SystemError(2); },
       t_ErrorStage::RunTool, static_cast<std::int32_t>(0x80070002), true},
      {"abandoned wait",
       [](t_FakeJobSystem& s) { s.runner.scripts[0].finishError = static_cast<std::int32_t>(0x800702C9); },
       t_ErrorStage::ToolExit, static_cast<std::int32_t>(0x800702C9), true},
  };
  for (const t_Case& c : cases) {
    SCOPED_TRACE(c.name);
    t_FakeJobSystem fresh;
    std::unique_ptr<n_tools::t_UnpackedTools> slot;
    c.arrange(fresh);
    const auto videos = Videos(2, scratch);
    t_TaggingJob job(slot, fresh, Workspace(), videos, tags, false);
    job.Step();
    job.Step();
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.Stage(), c.stage);
    EXPECT_EQ(job.ErrorCode(), c.code);
    EXPECT_EQ(job.ToolExitCode(), 0u);
    EXPECT_EQ(slot != nullptr, c.toolsKept);
    EXPECT_EQ(job.CurrentFile(), 0u);
  }
}

TEST_F(t_JobTest, AFailedSetUpIsTriedAgainByTheNextRun) {
  const auto videos = Videos(1, scratch);
  system.unpackFailure = [] { n_system::RaiseCode(13); };
  {
    t_TaggingJob job(tools, system, Workspace(), videos, tags, false);
    job.Step();
    EXPECT_TRUE(job.Failed());
  }
  EXPECT_EQ(tools, nullptr);
  EXPECT_EQ(system.runner.attempts, 0u);
  system.unpackFailure = nullptr;
  t_TaggingJob again(tools, system, Workspace(), videos, tags, false);
  again.Step();
  EXPECT_EQ(system.workspacesCreated, 2);
  EXPECT_EQ(system.unpacks, 2);
  EXPECT_EQ(system.runner.starts.size(), 1u);
  EXPECT_NE(tools, nullptr);
}

TEST_F(t_JobTest, DestroyingTheJobKillsOnlyARunningTool) {
  const auto videos = Videos(2, scratch);
  system.runner.scripts[0] = {.runningPolls = 100};
  {
    t_TaggingJob job(tools, system, Workspace(), videos, tags, false);
    job.Step();
    job.Step();
    EXPECT_EQ(system.runner.terminated, 0);
  }
  EXPECT_EQ(system.runner.terminated, 1);
  EXPECT_EQ(system.runner.running, 0);

  // A failed start keeps the finished child of the previous file; it is freed, not killed.
  system.runner.startFailures[2] = SystemError(8);
  {
    t_TaggingJob job(tools, system, Workspace(), videos, tags, false);
    job.Step();
    job.Step();
    EXPECT_TRUE(job.Failed());
    EXPECT_EQ(job.Stage(), t_ErrorStage::RunTool);
    EXPECT_EQ(job.CurrentFile(), 1u);
  }
  EXPECT_EQ(system.runner.terminated, 1);
  EXPECT_EQ(system.runner.running, 0);
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
