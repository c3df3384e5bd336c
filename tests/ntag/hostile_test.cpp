// Hostile folders and limits: a video's name swapped for a link during a rewrite, a file-size
// limit, a sparse video on a disk smaller than it looks, and files that only look like a copy
// a killed run left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "box_builder.hpp"
#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

namespace fs = std::filesystem;

// Tags that outgrow a faststart clip's room, so the edit takes the rewrite.
std::vector<std::string> RewriteArgs(const std::string& video) {
  return {"-meta:title=Rewritten", "-meta:comment=" + std::string(70000, 'c'), video};
}

// A rewrite of `video` held half way through its copy.
std::unique_ptr<t_HeldRun> HoldRewrite(const std::string& video) {
  t_ScratchFolder twin;
  CopyFile(video, twin / "v.mp4");
  std::vector<std::string> count{NTAG_FAULT_BINARY};
  for (const std::string& a : RewriteArgs(twin / "v.mp4")) count.push_back(a);
  return std::make_unique<t_HeldRun>(RewriteArgs(video), BytesWritten(RunProgram(count)) / 2);
}

// While a rewrite is under way, whoever may rename in the folder puts another file, or a link
// to a file elsewhere, under the video's name: that entry is left as it is, the file a link
// leads to is never written, the run fails, and its copy is gone.
TEST(HostileTest, ANameSwappedDuringARewriteIsLeftAlone) {
  for (const bool link : {true, false}) {
    SCOPED_TRACE(link ? "link" : "file");
    t_ScratchFolder scratch, elsewhere;
    const std::string video = scratch / "v.mp4", bystander = elsewhere / "b.txt";
    MakeClip(t_Clip::Faststart, video);
    const std::string before = ReadFile(video);
    WriteFile(bystander, "another file of the user's");
    const auto held = HoldRewrite(video);
    ASSERT_TRUE(held->Holding());
    fs::rename(video, scratch / "moved.mp4");
    if (link) {
      fs::create_symlink(bystander, video);
    } else {
      WriteFile(video, "put in its place");
    }
    EXPECT_EQ(held->Release(), 6);
    EXPECT_TRUE(ReadFile(bystander) == "another file of the user's");
    EXPECT_EQ(fs::is_symlink(video), link);
    if (!link) {
      EXPECT_EQ(ReadFile(video), "put in its place");
    }
    EXPECT_TRUE(ReadFile(scratch / "moved.mp4") == before);
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"moved.mp4", "v.mp4"}));
  }
}

// A video named through a link is tagged where it lies; the link stays a link.
TEST(HostileTest, AVideoNamedThroughALinkIsRewrittenWhereItLies) {
  t_ScratchFolder scratch, links;
  const std::string video = scratch / "v.mp4", link = links / "l.mp4";
  MakeClip(t_Clip::Faststart, video);
  fs::create_symlink(video, link);
  const t_RunResult r = RunNtag(RewriteArgs(link));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ProbeTags(video)["title"], "Rewritten");
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"v.mp4"}));
  EXPECT_EQ(links.Names(), (std::vector<std::string>{"l.mp4"}));
}

// Under a file-size limit that the grown file would pass, the write fails instead of the
// signal ending the run half way: exit 6, the video byte for byte as it was, nothing left.
TEST(HostileTest, AFileSizeLimitFailsTheWriteAndLeavesTheVideo) {
  for (const t_Clip clip : {t_Clip::MoovAtEnd, t_Clip::Faststart}) {
    t_ScratchFolder scratch;
    const std::string video = scratch / "v.mp4";
    MakeClip(clip, video);
    const std::string before = ReadFile(video);
    const std::string limit = std::to_string(before.size() / 1024 + 1);  // in KiB
    std::vector<std::string> argv{"bash", "-c", "ulimit -f " + limit + " && exec \"$@\"", "ntag", NtagPath()};
    for (const std::string& a : RewriteArgs(video)) argv.push_back(a);
    const t_RunResult r = RunProgram(argv);
    EXPECT_EQ(r.exitCode, 6) << r.err;
    EXPECT_TRUE(ReadFile(video) == before);
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"v.mp4"}));
  }
}

// A small disk of its own, where the system lets the test mount one.
class t_SmallDisk {
 public:
  explicit t_SmallDisk(const std::string& path) : m_path(path) {
    fs::create_directory(path);
    m_mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64m") == 0;
  }
  ~t_SmallDisk() {
    if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return m_mounted; }

 private:
  std::string m_path;
  bool m_mounted = false;
};

// The copy of a 20 GiB sparse video takes what the video takes on its disk, a few MiB; the
// rewrite is not refused on a 64 MiB disk, and the holes stay holes.
TEST(HostileTest, ASparseVideoIsRewrittenOnADiskSmallerThanItLooks) {
  t_ScratchFolder scratch;
  t_SmallDisk disk(scratch / "disk");
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  const std::string video = scratch / "disk/v.mp4";
  t_BuildOptions o;
  o.mdatGap = 20ull << 30;
  o.largeSizes = o.co64 = true;
  const std::vector<t_Chunk> chunks = BuildMp4(o, video);
  const t_RunResult r = RunNtag(RewriteArgs(video));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(NtagTags(video)["title"], "Rewritten");
  EXPECT_EQ(CheckChunks(video, chunks), "");
}

// Only ntag's own copy, left under its name by a killed run, goes: the next run in the folder,
// a listing too, removes a copy whose lock holds exactly its name and is held by no live run, and
// the lock. Files that merely look like either stay, whatever they hold.
struct t_Planted {
  const char* name;
  const char* content;  // nullptr: a link to the user's file instead
  bool goes;
};

struct t_PlantCase {
  const char* what;
  std::vector<t_Planted> files;
  bool lockHeld = false;  // the first file is held as a live run holds its lock
};

const char kCopy[] = ".ntag-99-00000000deadbeef.tmp";
const char kLock[] = ".ntag-99-00000000deadbeef.lock";
const char kLockContent[] = "ntag copy .ntag-99-00000000deadbeef.tmp\n";

class AbandonedCopyTest : public ::testing::TestWithParam<t_PlantCase> {};

TEST_P(AbandonedCopyTest, OnlyNtagsOwnGoes) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "v.mp4";
  MakeClip(t_Clip::Faststart, video);
  WriteFile(scratch / "user.txt", "the user's data");
  for (const t_Planted& f : GetParam().files) {
    if (f.content) {
      WriteFile(scratch / f.name, f.content);
    } else {
      fs::create_symlink(scratch / "user.txt", scratch / f.name);
    }
  }
  std::unique_ptr<int, void (*)(int*)> held(nullptr, [](int* fd) { ::close(*fd), delete fd; });
  if (GetParam().lockHeld) {
    held.reset(new int(::open((scratch / GetParam().files[0].name).c_str(), O_RDONLY)));
    ASSERT_EQ(::flock(*held, LOCK_EX), 0);
  }
  ASSERT_EQ(RunNtag({"-list-meta", video}).exitCode, 0);
  for (const t_Planted& f : GetParam().files) {
    EXPECT_EQ(fs::exists(fs::symlink_status(scratch / f.name)), !f.goes) << f.name;
    if (!f.goes && f.content) {
      EXPECT_EQ(ReadFile(scratch / f.name), f.content) << f.name;
    }
  }
  EXPECT_EQ(ReadFile(scratch / "user.txt"), "the user's data");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, AbandonedCopyTest,
    ::testing::Values(
        t_PlantCase{"copy and lock", {{kLock, kLockContent, true}, {kCopy, "half a video", true}}},
        t_PlantCase{"a lock whose copy took the video's name", {{kLock, kLockContent, true}}},
        t_PlantCase{"a live run's", {{kLock, kLockContent, false}, {kCopy, "half a video", false}}, true},
        t_PlantCase{"copies without a lock",
                    {{kCopy, "the user's data", false}, {".ntag-5-0123456789abcdef.tmp", "", false}}},
        t_PlantCase{"a lock of other content",
                    {{kLock, "ntag copy .ntag-1-00000000deadbeef.tmp\n", false}, {kCopy, "x", false}}},
        t_PlantCase{"an empty lock goes alone", {{kLock, "", true}, {kCopy, "", false}}},
        t_PlantCase{"a live run's empty lock", {{kLock, "", false}}, true},
        t_PlantCase{"names of another form",
                    {{".ntag-99-deadbeef.lock", "ntag copy .ntag-99-deadbeef.tmp\n", false},
                     {".ntag-99-deadbeef.tmp", "x", false}}},
        t_PlantCase{"a link under the copy's name", {{kLock, kLockContent, true}, {kCopy, nullptr, false}}}),
    [](const auto& planted) {
      std::string name = planted.param.what;
      std::replace_if(
          name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
