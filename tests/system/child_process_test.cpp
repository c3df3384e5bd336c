#include "system/child_process.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "support/child_tool.hpp"
#include "support/file_bytes.hpp"
#include "support/poll.hpp"
#include "support/process_traits.hpp"
#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"

namespace n_zorbel::n_system {
namespace {

using n_testing::ChildToolCommandLine;
using n_testing::ChildToolPath;
using n_testing::CodeOf;
using n_testing::PollUntil;
using n_testing::ReadFile;
using n_testing::t_ScratchFolder;
using namespace std::chrono_literals;

// Process start-up under Wine takes a while; generous limits keep the tests
// about order, never about speed.
constexpr auto kPatience = 30s;

bool WaitForFile(const t_String& path) {
  return PollUntil([&] { return std::filesystem::exists(std::filesystem::path(path)); }, [] {}, 10ms,
                   kPatience);
}

// Polls as the tagging job does, with a zero time-out, until the child ends.
void PollUntilFinished(t_ToolProcess& child) {
  ASSERT_TRUE(PollUntil([&] { return child.Finished(); }, [&] { child.Finish(0, true); }, 5ms, kPatience))
      << "child never ended";
}

t_String Quoted(const t_String& path) { return ZTEXT("\"") + path + ZTEXT("\""); }

TEST(ChildProcess, ReportsTheExitCode) {
  std::vector<std::pair<t_String, std::uint32_t>> cases = {
      {ZTEXT("exit 0"), 0},     {ZTEXT("exit 1"), 1}, {ZTEXT("print hello exit 7"), 7},
      {ZTEXT("exit 255"), 255}, {ZTEXT(""), 0},  // no commands: a normal end
  };
#ifdef _WIN32
  // Windows keeps all 32 bits, including codes that look like statuses.
  cases.push_back({ZTEXT("exit 259"), 259});  // STILL_ACTIVE's number
  cases.push_back({ZTEXT("exit 0xC0000005"), 0xC0000005u});
  cases.push_back({ZTEXT("exit 0x80070002"), 0x80070002u});
#else
  // POSIX keeps the low 8 bits of what a program passes to exit.
  cases.push_back({ZTEXT("exit 256"), 0});
  cases.push_back({ZTEXT("exit 300"), 44});
#endif
  for (const auto& [commands, code] : cases) {
    t_ChildProcess child(ChildToolPath(), ChildToolCommandLine(commands));
    child.Finish(kWaitForever, true);
    EXPECT_TRUE(child.Finished());
    EXPECT_TRUE(child.ExitCodeValid());
    EXPECT_EQ(child.ExitCode(), code) << ToUtf8(commands);
  }
}

TEST(ChildProcess, OnePollCollectsAChildThatHasEnded) {
  t_ScratchFolder scratch;
  const t_String pidFile = scratch / ZTEXT("pid");
  t_ChildProcess child(ChildToolPath(),
                       ChildToolCommandLine(ZTEXT("pid ") + Quoted(pidFile) + ZTEXT(" exit 3")));
  ASSERT_TRUE(WaitForFile(pidFile));
  std::this_thread::sleep_for(50ms);  // the file is created before its digits are written
  const unsigned long pid = std::stoul(ReadFile(pidFile));
  ASSERT_TRUE(n_testing::WaitUntilEnded(pid, 60'000));

  child.Finish(0, true);
  EXPECT_TRUE(child.Finished());
  EXPECT_TRUE(child.ExitCodeValid());
  EXPECT_EQ(child.ExitCode(), 3u);
}

TEST(ChildProcess, AChildStillRunningIsLeftAsItIsUntilALaterPoll) {
  t_ChildProcess child(ChildToolPath(), ChildToolCommandLine(ZTEXT("sleep 1500 exit 5")));
  child.Finish(0, true);
  EXPECT_FALSE(child.Finished());
  EXPECT_FALSE(child.ExitCodeValid());
  EXPECT_EQ(child.ExitCode(), 0u);
  child.Finish(50, true);  // a bounded wait that runs out changes nothing either
  EXPECT_FALSE(child.Finished());

  PollUntilFinished(child);
  EXPECT_TRUE(child.ExitCodeValid());
  EXPECT_EQ(child.ExitCode(), 5u);
}

// Destroyed while it runs (Mivora's Stop), the child is asked to stop and, should it not
// listen (on POSIX it ignores SIGTERM; on Windows it has no stop event), ended all the same.
TEST(ChildProcess, DestructionEndsARunningChild) {
  for (const t_String deaf : {ZTEXT(""), ZTEXT("deaf 15 ")}) {
    t_ScratchFolder scratch;
    const t_String started = scratch / ZTEXT("started");
    const t_String late = scratch / ZTEXT("late");
    {
      t_ChildProcess child(ChildToolPath(),
                           ChildToolCommandLine(deaf + ZTEXT("write ") + Quoted(started) +
                                                ZTEXT(" x sleep 2500 write ") + Quoted(late) + ZTEXT(" x")));
      ASSERT_TRUE(WaitForFile(started));
    }
    // Had the child lived on, it would have written its late marker by now.
    std::this_thread::sleep_for(3000ms);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(late)));
  }
}

TEST(ChildProcess, AMissingProgramRaisesFileNotFound) {
  t_ScratchFolder scratch;
  const t_String missing = scratch / ZTEXT("no-such-tool.exe");
  const std::int32_t code = CodeOf([&] { t_ChildProcess child(missing, Quoted(missing) + ZTEXT(" x")); });
  EXPECT_EQ(code, static_cast<std::int32_t>(0x80070002u));
  EXPECT_EQ(code, -2147024894);
}

TEST(ChildProcess, StartsHiddenAtIdlePriority) {
  t_ScratchFolder scratch;
  const t_String report = scratch / ZTEXT("traits");
  t_ChildProcess child(ChildToolPath(), ChildToolCommandLine(ZTEXT("traits ") + Quoted(report)));
  child.Finish(kWaitForever, true);
  ASSERT_EQ(child.ExitCode(), 0u);
#ifdef _WIN32
  const std::string traits = ReadFile(report);
  EXPECT_NE(traits.find("show=hide"), std::string::npos) << traits;
  if (traits.find("host=wine") != std::string::npos) {
    GTEST_SKIP() << "Wine ignores the priority class given at creation: " << traits;
  }
  EXPECT_NE(traits.find("priority=idle"), std::string::npos) << traits;
#else
  EXPECT_EQ(ReadFile(report), "policy=idle nice=19 ioclass=idle stdin=/dev/null");
#endif
}

// The command line reaches the tool as the Windows rules split it, on both
// platforms; the first element is the program name.
TEST(ChildProcess, TheToolReceivesTheArgumentsOfTheCommandLine) {
  t_ScratchFolder scratch;
  const t_String report = scratch / ZTEXT("args");
  const t_String line = ChildToolCommandLine(
      ZTEXT("args ") + Quoted(report) + ZTEXT(" plain \"with  blanks\" trailing\\\\ \"say \\\"hi\\\"\" ") +
      FromUtf8("\"caf\xC3\xA9 \xE2\x99\xAB\""));
  t_ChildProcessRunner runner;
  const std::unique_ptr<t_ToolProcess> child = runner.Start(ChildToolPath(), line);
  child->Finish(kWaitForever, true);
  ASSERT_EQ(child->ExitCode(), 0u);

  const std::string expected = ToUtf8(ChildToolPath()) + '\0' + "args" + '\0' + ToUtf8(report) + '\0' +
                               "plain" + '\0' + "with  blanks" + '\0' + "trailing\\\\" + '\0' + "say \"hi\"" +
                               '\0' + "caf\xC3\xA9 \xE2\x99\xAB" + '\0';
  EXPECT_EQ(ReadFile(report), expected);
}

}  // namespace
}  // namespace n_zorbel::n_system
