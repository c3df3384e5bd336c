// A failed write names its cause in the exit code, so that Mivora can tell the user the one
// thing to do about it; whatever the cause, the video keeps its bytes.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>

#include "ntag_harness.hpp"
#include "support/small_disk.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

std::vector<std::string> Edit(const t_ScratchFolder& scratch, const std::string& video) {
  return {"-meta:title=New title", "-remove-cover:all", "-add-cover:front:" + scratch / "c.png", video};
}

// The fault build, failing its write at `mark` with the system error `error`.
t_RunResult RunWithError(const std::vector<std::string>& args, std::uint64_t mark, int error) {
  ::setenv("NTAG_FAULT_AFTER", std::to_string(mark).c_str(), 1);
  ::setenv("NTAG_FAULT_ERROR", std::to_string(error).c_str(), 1);
  std::vector<std::string> argv{NTAG_FAULT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  const t_RunResult r = RunProgram(argv);
  ::unsetenv("NTAG_FAULT_AFTER");
  ::unsetenv("NTAG_FAULT_ERROR");
  return r;
}

// Each system error, at the first write and half way (after which the run takes back what it
// wrote), on each write path.
TEST(WriteCausesTest, EachSystemErrorGivesItsOwnExitCodeAndLeavesTheVideo) {
  const struct {
    int error;
    int code;
    const char* words;
  } causes[] = {
      {EACCES, 8, "access denied"}, {EROFS, 8, "access denied"},   {ENOSPC, 9, "disk is full"},
      {EDQUOT, 9, "disk is full"},  {EBUSY, 10, "in use"},         {EIO, 11, "Input/output error"},
      {EFBIG, 6, "File too large"},  // a size limit: freeing disk space would not help
  };
  for (const t_Clip clip : {t_Clip::Faststart, t_Clip::MoovAtEnd, t_Clip::TaggedCover}) {
    t_ScratchFolder scratch;
    const std::string video = scratch / "v.mp4";
    MakeImage("png", scratch / "c.png");
    MakeClip(clip, video);
    // Tagged once, the faststart clip is edited in place; the others append or rewrite.
    if (clip == t_Clip::Faststart) {
      ASSERT_EQ(RunNtag({"-meta:title=Old", video}).exitCode, 0);
    }
    const std::string before = ReadFile(video);
    std::vector<std::string> count{NTAG_FAULT_BINARY};
    for (const std::string& a : Edit(scratch, video)) count.push_back(a);
    const std::uint64_t total = BytesWritten(RunProgram(count));
    WriteFile(video, before);
    for (const std::uint64_t mark : {std::uint64_t{0}, total / 2}) {
      for (const auto& c : causes) {
        SCOPED_TRACE(std::to_string(static_cast<int>(clip)) + " at " + std::to_string(mark) + ": " + c.words);
        const t_RunResult r = RunWithError(Edit(scratch, video), mark, c.error);
        EXPECT_EQ(r.exitCode, c.code) << r.err;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
        EXPECT_TRUE(ReadFile(video) == before);
        EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"c.png", "v.mp4"}));
      }
    }
  }
}

// Real causes, as users meet them (root ignores mode bits, so no chmod): a read-only mount, an
// immutable file, a disk too full for the rewrite's copy, refused before anything is written.
TEST(WriteCausesTest, AWriteProtectedVideoIsAccessDeniedAndAFullDiskIsDiskFull) {
  t_ScratchFolder scratch;
  MakeImage("png", scratch / "c.png");
  const struct {
    const char* name;
    const char* size;
    bool (*protect)(const std::string& folder, const std::string& video);
    int code;
    const char* words;
  } cases[] = {
      {"read-only mount", "8m",
       [](const std::string& folder, const std::string&) {
         return ::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
       },
       8, "access denied"},
      {"immutable", "64m",
       [](const std::string&, const std::string& video) {
         return RunProgram({"chattr", "+i", video}).exitCode == 0;
       },
       8, "access denied"},
      {"disk full", "8m", [](const std::string&, const std::string&) { return true; }, 9,
       "not enough free disk space"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = scratch / c.name;
    const n_testing::t_SmallDisk disk(folder, c.size);
    if (!disk.Ready()) GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string video = folder + "/v.mp4";
    MakeClip(t_Clip::TaggedCover, video);
    const std::string before = ReadFile(video);
    if (!c.protect(folder, video)) {
      std::printf("%s: not supported here, skipped\n", c.name);
      continue;
    }
    const t_RunResult r = RunNtag(Edit(scratch, video));
    RunProgram({"chattr", "-i", video});
    EXPECT_EQ(r.exitCode, c.code) << r.err;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(video) == before);
  }
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
