// What users care about most: a failed or killed run never damages the video.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
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
  bool built;   // built box by box instead: free space on both sides of a small ilst, too
                // small for the big cover on either side, so the edit takes several steps
};

const t_Layout kLayouts[] = {
    {"InPlace", t_Clip::Faststart, true, false},
    {"InPlaceSeveralSteps", t_Clip::Faststart, false, true},
    {"AppendedMovie", t_Clip::MoovAtEnd, false, false},
    {"Rewrite", t_Clip::TaggedCover, false, false},
    {"RewriteFragmented", t_Clip::Fragmented, false, false},
};

std::vector<std::string> EditArgs(const t_ScratchFolder& scratch, const std::string& video) {
  return {"-meta:title=New title", "-meta:artist=New artist", "-remove-cover:all",
          "-add-cover:front:" + scratch / "c.png", video};
}

std::string Prepare(const t_Layout& layout, const t_ScratchFolder& scratch) {
  const std::string video = scratch / "v.mp4";
  MakeImage("png", scratch / "c.png", layout.built ? 256 : 64);
  if (layout.built) {
    t_BuildOptions o;
    o.metaPaddingBefore = o.metaPadding = 80000;
    BuildMp4(o, video);
    return video;
  }
  MakeClip(layout.clip, video);
  if (layout.pretag) {
    const t_RunResult r = RunNtag({"-meta:title=Old title", "-meta:artist=Old artist", video});
    if (r.exitCode != 0) throw std::runtime_error(r.err);
  }
  return video;
}

// What fails at the mark (NTAG_FAULT_MODE), and the count in "written N read M" it is set on.
struct t_FaultMode {
  const char* mode;
  const char* counter;
};

// A write that fails once (a full disk), flushes that keep failing from a point on, or a read
// that fails, at every step of every write path, the checks after the switch included: the
// run ends with exit 0 and the new tags, or with another code and the file byte for byte as
// it was, nothing left beside it. When every write and flush fails from a point on (a disk
// that stopped taking data), the undo cannot always complete: the message then says what the
// video holds, and that must be true; a failed switch of an appended movie is still taken
// back whole, decided by reading the header back.
TEST(SafetyTest, AFaultAtAnyStepLeavesTheVideoAsItWasOrTagged) {
  for (const t_FaultMode& fault : {t_FaultMode{"write", "written "}, t_FaultMode{"flush", "written "},
                                   t_FaultMode{"read", "read "}, t_FaultMode{"stuck", "written "}}) {
    for (const t_Layout& layout : kLayouts) {
      SCOPED_TRACE(std::string(fault.mode) + " " + layout.name);
      t_ScratchFolder scratch;
      const std::string video = Prepare(layout, scratch);
      const std::string before = ReadFile(video);
      const auto oldTags = NtagTags(video);
      const bool stuck = std::strcmp(fault.mode, "stuck") == 0;
      const std::vector<std::string> names = scratch.Names();
      // The bytes a run that succeeds writes (or reads), to spread the marks across all its
      // steps; the last few bytes are the switching header writes and the final checks.
      const std::string probe = scratch / "probe.mp4";
      CopyFile(video, probe);
      std::vector<std::string> probeArgv{NTAG_FAULT_BINARY};
      for (const std::string& a : EditArgs(scratch, probe)) probeArgv.push_back(a);
      const t_RunResult counted = RunProgram(probeArgv);
      ASSERT_EQ(counted.exitCode, 0) << counted.err;
      const std::uint64_t total =
          std::stoull(counted.err.substr(counted.err.find(fault.counter) + std::strlen(fault.counter)));
      std::filesystem::remove(probe);
      std::vector<std::uint64_t> marks{0, 1, 7, 8, 9, 16, 100};
      for (std::uint64_t back = 1; back <= 24 && back <= total; ++back) marks.push_back(total - back);
      for (int i = 1; i < 24; ++i) marks.push_back(total * i / 24);
      int tagged = 0;
      for (std::uint64_t mark : marks) {
        ::setenv("NTAG_FAULT_AFTER", std::to_string(mark).c_str(), 1);
        ::setenv("NTAG_FAULT_MODE", fault.mode, 1);
        std::vector<std::string> argv{NTAG_FAULT_BINARY};
        const auto edit = EditArgs(scratch, video);
        argv.insert(argv.end(), edit.begin(), edit.end());
        const t_RunResult r = RunProgram(argv);
        ::unsetenv("NTAG_FAULT_AFTER");
        ::unsetenv("NTAG_FAULT_MODE");
        EXPECT_EQ(scratch.Names(), names) << "file left at mark " << mark;
        if (r.exitCode == 0) {
          ++tagged;
          EXPECT_EQ(NtagTags(video)["title"], "New title") << "mark " << mark;
          WriteFile(video, before);
          continue;
        }
        if (stuck && r.err.find("could not be put back") != std::string::npos) {
          const bool oldSaid = r.err.find("holds the complete old tags") != std::string::npos;
          EXPECT_TRUE(oldSaid || r.err.find("holds the new tags") != std::string::npos) << r.err;
          if (oldSaid) EXPECT_EQ(NtagTags(video), oldTags) << r.err;
          else EXPECT_EQ(NtagTags(video)["title"], "New title") << r.err;
          EXPECT_FALSE(std::string(layout.name) == "AppendedMovie" && mark < total && mark + 8 >= total)
              << "a failed switch was not taken back: " << r.err;
          WriteFile(video, before);
          continue;
        }
        EXPECT_TRUE(ReadFile(video) == before) << "mark " << mark << ": " << r.err;
        if (std::strcmp(fault.mode, "write") == 0) {
          // The budget did not suffice: the run must have failed, saying why.
          EXPECT_LT(mark, total);
          EXPECT_EQ(r.exitCode, 9) << mark << ": " << r.err;
          EXPECT_NE(r.err.find("disk is full"), std::string::npos) << r.err;
        }
      }
      EXPECT_LT(tagged, static_cast<int>(marks.size())) << "no fault struck";
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
    t_ScratchFolder scratch;
    const std::string video = Prepare(layout, scratch);
    const std::string before = ReadFile(video);
    const auto packets = ProbePacketHashes(video);
    const std::string decoded = DecodeErrors(video);  // none, but for the built file's stand-in samples
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
      // Only the instant between naming the copy and putting it in place may leave it, under
      // its run's own name beside its lock, with the video still whole; the next run that
      // writes takes both away.
      std::vector<std::string> names = scratch.Names();
      const auto abandoned = std::erase_if(names, [](const std::string& name) { return name.starts_with(".ntag-"); });
      EXPECT_LE(abandoned, 2u) << "round " << round;
      EXPECT_EQ(names, (std::vector<std::string>{"c.png", "v.mp4"})) << "round " << round;
      const t_RunResult list = RunNtag({"-list-meta", video});
      ASSERT_EQ(list.exitCode, 0) << "round " << round << ": " << list.err;
      const auto tags = NtagTags(video);
      EXPECT_TRUE(tags == oldTags || tags == newTags) << "round " << round << ": " << list.out;
      (tags == oldTags ? sawOld : sawNew)++;
      EXPECT_EQ(DecodeErrors(video), decoded) << "round " << round;
      EXPECT_TRUE(ProbePacketHashes(video) == packets) << "round " << round;
      ASSERT_EQ(RunProgram(argv).exitCode, 0);
      EXPECT_EQ(NtagTags(video), newTags);
      EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"c.png", "v.mp4"})) << "round " << round;
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
    t_ScratchFolder scratch;
    const std::vector<std::string> names{shared + "-a.mp4", shared + "-b.mp4"};
    const std::string a = scratch / names[0], b = scratch / names[1];
    MakeClip(t_Clip::Faststart, a);
    MakeClip(t_Clip::TaggedCover, b);
    const std::string beforeA = ReadFile(a);
    const auto packetsA = ProbePacketHashes(a), packetsB = ProbePacketHashes(b);
    const std::vector<std::string> editA{"-meta:title=Title A", "-meta:comment=" + std::string(70000, 'a'),
                                         a};
    // A complete run on a twin, to hold the real one in the middle of its writes.
    t_ScratchFolder twin;
    CopyFile(a, twin / names[0]);
    std::vector<std::string> count{NTAG_FAULT_BINARY, editA[0], editA[1], twin / names[0]};
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
