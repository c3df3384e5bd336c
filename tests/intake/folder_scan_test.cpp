// AddPath on real folders made by the test, through the real system layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "intake/video_file_list.hpp"
#include "support/scratch_folder.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace n_zorbel::n_intake {
namespace {

namespace fs = std::filesystem;

class FolderScan : public testing::Test {
 protected:
  // The path below the test's root, as the native string the intake takes.
  t_String At(const fs::path& relative) const { return (m_root / relative).make_preferred().native(); }
  void Touch(const fs::path& relative) const {
    fs::create_directories((m_root / relative).parent_path());
    std::ofstream(m_root / relative) << "x";
  }

  static std::vector<t_String> Sorted(std::vector<t_String> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  n_testing::t_ScratchFolder m_scratch;
  const fs::path m_root = m_scratch.Fs();
};

TEST_F(FolderScan, AddsVideosOfNestedFoldersAndTakesTheCover) {
  std::vector<fs::path> videos{"clips/x.mp4", "clips/A.MP4",     "clips/b.Mp4",
                               "clips/.mp4",  "clips/sub/y.mp4", "clips/sub/deeper/z.mp4"};
  for (const auto* ignored :
       {"clips/d.mp4x", "clips/e.m4v", "clips/mp4", "clips/f.jpeg", "clips/sub/g.txt"}) {
    Touch(ignored);
  }
#ifndef _WIN32
  // POSIX names may hold quotes, backslashes and bytes that are not UTF-8.
  videos.insert(videos.end(), {"clips/q\"uote\\.mp4", "clips/\xff\xfe.mp4"});
  Touch("clips/blank.mp4 ");
#endif
  for (const auto& video : videos) Touch(video);
  Touch("clips/cover.jpg");
  fs::create_directories(m_root / "clips/empty");

  std::vector<t_String> expected;
  for (const auto& video : videos) expected.push_back(At(video));
  for (const auto& folder : {At("clips"), At("clips") + kPathSeparator}) {
    t_VideoFileList list;
    t_String cover;
    list.AddPath(folder, cover);
    EXPECT_EQ(Sorted(list.Entries()), Sorted(expected));
#ifndef _WIN32
    // On POSIX each folder is listed by the bytes of its names, and a
    // sub-folder's videos come where the sub-folder does.
    EXPECT_EQ(list.Entries(),
              (std::vector<t_String>{At("clips/.mp4"), At("clips/A.MP4"), At("clips/b.Mp4"),
                                     At("clips/q\"uote\\.mp4"), At("clips/sub/deeper/z.mp4"),
                                     At("clips/sub/y.mp4"), At("clips/x.mp4"), At("clips/\xff\xfe.mp4")}));
#endif
    EXPECT_EQ(cover, At("clips/cover.jpg"));
  }

  t_VideoFileList list;
  t_String cover;
  list.AddPath(At("clips/empty"), cover);
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(cover, ZTEXT(""));
}

TEST_F(FolderScan, TakesMissingPathsByTheirNamesAndTheLastImageWins) {
  Touch("b.png");
  Touch("a.JPG");
  Touch("file.txt");
  t_VideoFileList list;
  t_String cover;
  list.AddPath(At("gone.mp4"), cover);
  list.AddPath(At("no-folder/gone.mp4"), cover);
  list.AddPath(At("file.txt/gone.mp4"), cover);
  list.AddPath(At("b.png"), cover);
  list.AddPath(At("a.JPG"), cover);
  EXPECT_EQ(list.Entries(),
            (std::vector<t_String>{At("gone.mp4"), At("no-folder/gone.mp4"), At("file.txt/gone.mp4")}));
  EXPECT_EQ(cover, At("a.JPG"));
  list.AddPath(At("missing.png"), cover);
  EXPECT_EQ(cover, At("missing.png"));
}

TEST_F(FolderScan, SkipsAnUnreadableSubFolderAndAddsItsSiblings) {
#ifdef _WIN32
  GTEST_SKIP() << "no portable way to make a folder unreadable here; covered with a scripted disk";
#else
  if (geteuid() == 0) GTEST_SKIP() << "root reads any folder; covered with a scripted disk";
  Touch("clips/a.mp4");
  Touch("clips/locked/hidden.mp4");
  Touch("clips/open/b.mp4");
  fs::permissions(m_root / "clips/locked", fs::perms::none);
  t_VideoFileList list;
  t_String cover;
  list.AddPath(At("clips"), cover);
  EXPECT_EQ(Sorted(list.Entries()), Sorted({At("clips/a.mp4"), At("clips/open/b.mp4")}));
#endif
}

TEST_F(FolderScan, NeverFollowsALinkMetInsideAScan) {
  Touch("clips/x.mp4");
  Touch("clips/sub/y.mp4");
  std::error_code error;
  fs::create_directory_symlink(m_root / "clips", m_root / "clips/sub/loop", error);
  if (error) GTEST_SKIP() << "this system cannot make a folder link: " << error.message();
  fs::create_symlink(m_root / "clips/x.mp4", m_root / "clips/sub/link.mp4");

  t_VideoFileList list;
  t_String cover;
  list.AddPath(At("clips"), cover);
  EXPECT_EQ(Sorted(list.Entries()),
            Sorted({At("clips/x.mp4"), At("clips/sub/y.mp4"), At("clips/sub/link.mp4")}));

  // Given directly, a link is scanned as the folder it names (once: the cycle is cut inside).
  list.Clear();
  list.AddPath(At("clips/sub/loop"), cover);
  EXPECT_EQ(Sorted(list.Entries()), Sorted({At("clips/sub/loop/x.mp4"), At("clips/sub/loop/sub/y.mp4"),
                                            At("clips/sub/loop/sub/link.mp4")}));
}

#ifndef _WIN32
// Folders nested deeper than PATH_MAX, made and removed through descriptors
// (no path to them is short enough for the usual calls). What lies too deep
// is skipped and counted, once per entry met; the rest is scanned.
TEST_F(FolderScan, CountsWhatLiesDeeperThanThePathLimit) {
  const std::string name(250, 'd');
  const std::string video = std::string(246, 'v') + ".mp4";
  // The deepest folder whose path (with its separator) still fits.
  const std::size_t deepest = (PATH_MAX - 1 - m_root.native().size() - 1) / (name.size() + 1);
  std::vector<int> folders{::open(m_root.c_str(), O_RDONLY | O_DIRECTORY)};
  for (std::size_t level = 0; level <= deepest; ++level) {
    ASSERT_EQ(::mkdirat(folders.back(), name.c_str(), 0700), 0);
    folders.push_back(::openat(folders.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
    ASSERT_GE(folders.back(), 0);
  }
  // The deepest holds a video and a folder, both past the limit; that folder a video.
  for (const int folder : {folders[deepest], folders[deepest + 1]})
    ::close(::openat(folder, video.c_str(), O_CREAT | O_WRONLY, 0600));
  Touch("shallow.mp4");

  t_VideoFileList list;
  t_String cover;
  list.AddPath(m_root.native(), cover);
  EXPECT_EQ(list.Entries(), std::vector<t_String>{At("shallow.mp4")});
  EXPECT_EQ(list.TakeSkippedTooLong(), 2u);
  EXPECT_EQ(list.TakeSkippedTooLong(), 0u) << "told once";

  for (std::size_t level = folders.size() - 1; level > 0; --level) {
    ::unlinkat(folders[level], video.c_str(), 0);
    ::close(folders[level]);
    ::unlinkat(folders[level - 1], name.c_str(), AT_REMOVEDIR);
  }
  ::close(folders[0]);
}
#endif

}  // namespace
}  // namespace n_zorbel::n_intake
