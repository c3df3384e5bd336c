// What users care about most: a failed or killed run never damages the video.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "box_builder.hpp"
#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

struct t_Layout {
  const char* name;
  t_Clip clip;
  bool pretag;  // tag once first, so the edit under test goes in place
};

const t_Layout kLayouts[] = {
    {"InPlace", t_Clip::kFaststart, true},
    {"AppendedMovie", t_Clip::kMoovAtEnd, false},
    {"Rewrite", t_Clip::kTaggedCover, false},
    {"RewriteFragmented", t_Clip::kFragmented, false},
};

std::vector<std::string> EditArgs(const t_Scratch& scratch, const std::string& video) {
  return {"-meta:title=New title", "-meta:artist=New artist", "-remove-cover:all",
          "-add-cover:front:" + scratch.Path("c.png"), video};
}

std::string Prepare(const t_Layout& layout, const t_Scratch& scratch) {
  const std::string video = scratch.Path("v.mp4");
  MakeClip(layout.clip, video);
  MakeImage("png", scratch.Path("c.png"));
  if (layout.pretag) {
    const t_RunResult r = RunNtag({"-meta:title=Old title", "-meta:artist=Old artist", video});
    if (r.exitCode != 0) throw std::runtime_error(r.err);
  }
  return video;
}

TEST(SafetyTest, WriteFailingAfterAnyNumberOfBytesLeavesTheVideoAsItWas) {
  for (const t_Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    t_Scratch scratch;
    const std::string video = Prepare(layout, scratch);
    const std::string before = ReadFile(video);
    const std::vector<std::string> names = scratch.Names();
    // Bytes written by a run that succeeds, to spread the faults across all its steps;
    // the last few bytes are the switching header writes.
    const std::string probe = scratch.Path("probe.mp4");
    CopyFile(video, probe);
    std::vector<std::string> probeArgv{NTAG_FAULT_BINARY};
    for (const std::string& a : EditArgs(scratch, probe)) probeArgv.push_back(a);
    const std::uint64_t total = BytesWritten(RunProgram(probeArgv));
    std::filesystem::remove(probe);
    std::vector<std::uint64_t> budgets{0, 1, 7, 8, 9, 16, 100};
    for (std::uint64_t back = 1; back <= 24 && back <= total; ++back) budgets.push_back(total - back);
    for (int i = 1; i < 24; ++i) budgets.push_back(total * i / 24);
    for (std::uint64_t budget : budgets) {
      ::setenv("NTAG_FAULT_AFTER", std::to_string(budget).c_str(), 1);
      std::vector<std::string> argv{NTAG_FAULT_BINARY};
      const auto edit = EditArgs(scratch, video);
      argv.insert(argv.end(), edit.begin(), edit.end());
      const t_RunResult r = RunProgram(argv);
      ::unsetenv("NTAG_FAULT_AFTER");
      if (budget >= total) {
        // The budget sufficed: the run must then be complete and correct.
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(NtagTags(video)["title"], "New title");
        WriteFile(video, before);
        continue;
      }
      EXPECT_EQ(r.exitCode, 6) << budget << ": " << r.err;
      EXPECT_NE(r.err.find("disk is full"), std::string::npos) << r.err;
      EXPECT_TRUE(ReadFile(video) == before) << "budget " << budget;
      EXPECT_EQ(scratch.Names(), names) << "temporary file left at budget " << budget;
    }
  }
}

// Kills ntag at random instants; after each kill the video must play, hold every media
// byte it held, carry the complete old or the complete new tags, and be alone in its folder.
TEST(SafetyTest, KillAtAnyInstantLeavesOldOrNewTags) {
  const char* env = std::getenv("NTAG_KILL_ROUNDS");
  const int rounds = env ? std::atoi(env) : 12;
  std::mt19937 random(20240607);
  for (const t_Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    t_Scratch scratch;
    const std::string video = Prepare(layout, scratch);
    const std::string before = ReadFile(video);
    const auto packets = ProbePacketHashes(video);
    const auto oldTags = NtagTags(video);
    // How long an uninterrupted run takes sets the window to kill in.
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> argv{NtagPath()};
    const auto edit = EditArgs(scratch, video);
    argv.insert(argv.end(), edit.begin(), edit.end());
    ASSERT_EQ(RunProgram(argv).exitCode, 0);
    const auto took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const auto newTags = NtagTags(video);
    ASSERT_NE(newTags, oldTags);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < rounds; ++round) {
      WriteFile(video, before);
      const int pid = Spawn(argv);
      std::this_thread::sleep_for(std::chrono::microseconds(random() % (took.count() + 1)));
      ::kill(pid, SIGKILL);
      WaitFor(pid);
      EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"c.png", "v.mp4"})) << "round " << round;
      const t_RunResult list = RunNtag({"-list-meta", video});
      ASSERT_EQ(list.exitCode, 0) << "round " << round << ": " << list.err;
      const auto tags = NtagTags(video);
      EXPECT_TRUE(tags == oldTags || tags == newTags) << "round " << round << ": " << list.out;
      (tags == oldTags ? sawOld : sawNew)++;
      EXPECT_EQ(DecodeErrors(video), "") << "round " << round;
      EXPECT_TRUE(ProbePacketHashes(video) == packets) << "round " << round;
      ASSERT_EQ(RunProgram(argv).exitCode, 0);
      EXPECT_EQ(NtagTags(video), newTags);
    }
    std::printf("%s: %d kills saw the old tags, %d the new\n", layout.name, sawOld, sawNew);
  }
}

// Two videos whose names share their first 220 bytes, each rewritten (faststart, tags that
// outgrow their room): while one run holds its copy half written, no other name is in the
// folder and the other video is tagged; whether the held run then ends or is killed, each
// video keeps its own media and nothing but the videos is left.
TEST(SafetyTest, ACopyInTheMakingIsSeenByNoOtherRunAndLeavesNothing) {
  const std::string shared(220, 'v');
  for (const bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed" : "released");
    t_Scratch scratch;
    const std::vector<std::string> names{shared + "-a.mp4", shared + "-b.mp4"};
    const std::string a = scratch.Path(names[0]), b = scratch.Path(names[1]);
    MakeClip(t_Clip::kFaststart, a);
    MakeClip(t_Clip::kTaggedCover, b);
    const std::string beforeA = ReadFile(a);
    const auto packetsA = ProbePacketHashes(a), packetsB = ProbePacketHashes(b);
    const std::vector<std::string> editA{"-meta:title=Title A", "-meta:comment=" + std::string(70000, 'a'),
                                         a};
    // A complete run on a twin, to hold the real one in the middle of its writes.
    t_Scratch twin;
    CopyFile(a, twin.Path(names[0]));
    std::vector<std::string> count{NTAG_FAULT_BINARY, editA[0], editA[1], twin.Path(names[0])};
    const std::uint64_t total = BytesWritten(RunProgram(count));

    t_HeldRun held(editA, total / 2);
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(scratch.Names(), names);
    const t_RunResult other = RunNtag({"-meta:title=Title B", "-meta:comment=" + std::string(70000, 'b'), b});
    EXPECT_EQ(other.exitCode, 0) << other.err;
    if (kill) {
      held.Kill();
      EXPECT_TRUE(ReadFile(a) == beforeA);
    } else {
      EXPECT_EQ(held.Release(), 0);
      EXPECT_EQ(ProbeTags(a)["title"], "Title A");
    }
    EXPECT_EQ(ProbeTags(b)["title"], "Title B");
    EXPECT_TRUE(ProbePacketHashes(a) == packetsA);
    EXPECT_TRUE(ProbePacketHashes(b) == packetsB);
    EXPECT_EQ(scratch.Names(), names);
  }
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
