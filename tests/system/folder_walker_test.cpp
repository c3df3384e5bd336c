#include "system/folder_walker.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "support/links.hpp"
#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"

namespace n_zorbel::n_system {
namespace {

using n_testing::CodeOf;
using n_testing::t_ScratchFolder;

struct t_Seen {
  t_String path;
  bool isFolder;
  bool isLink;
  bool operator==(const t_Seen&) const = default;
};

std::map<t_String, t_Seen> Walk(const t_String& folder) {
  std::map<t_String, t_Seen> seen;
  WalkFolder(folder, [&](const t_String& path, const t_FolderEntry& entry) {
    EXPECT_TRUE(seen.emplace(entry.name, t_Seen{path, entry.isFolder, entry.isLink}).second) << "twice";
  });
  return seen;
}

std::string TryFileLink(const std::filesystem::path& target, const std::filesystem::path& link) {
  std::error_code error;
  std::filesystem::create_symlink(target, link, error);
  return error ? "cannot make a file link here: " + error.message() : std::string();
}

TEST(FolderWalker, ListsEveryEntryButDotAndDotDot) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("a.mp4"));
  root.MakeFile(ZTEXT(".x"));
  root.MakeFile(ZTEXT("..x"));
#ifndef _WIN32
  root.MakeFile(ZTEXT("..."));  // Win32 paths drop trailing dots: only POSIX can make it
#endif
  root.MakeFolder(ZTEXT("sub"));
  root.MakeFile(ZTEXT("sub/inner.txt"));

  const auto seen = Walk(root.Path());
  std::map<t_String, t_Seen> expected = {
      {ZTEXT("a.mp4"), {root / ZTEXT("a.mp4"), false, false}},
      {ZTEXT(".x"), {root / ZTEXT(".x"), false, false}},
      {ZTEXT("..x"), {root / ZTEXT("..x"), false, false}},
      {ZTEXT("sub"), {root / ZTEXT("sub"), true, false}},
  };
#ifndef _WIN32
  expected[ZTEXT("...")] = {root / ZTEXT("..."), false, false};
#endif
  EXPECT_EQ(seen, expected);
}

#ifndef _WIN32
// readdir gives the file system's order (hash or creation order); the walk
// gives the names sorted by their bytes, as users see them listed.
TEST(FolderWalker, ListsNamesInByteOrderOnPosix) {
  t_ScratchFolder root;
  std::vector<t_String> made = {"b.mp4",  "sub",   "A.mp4", "a.mp4",   "\xff.mp4", "\xc3\xa9t\xc3\xa9.mp4",
                                "10.mp4", "9.mp4", "_x",    ".hidden", "Z",        "a b"};
  // Thirty more made out of order, so that no file system lists all of them
  // sorted by chance.
  for (int i = 0; i < 30; ++i) made.push_back("n" + std::to_string(10 + (i * 7) % 30));
  for (const t_String& name : made) {
    if (name == "sub")
      root.MakeFolder(name);
    else
      root.MakeFile(name);
  }

  std::vector<t_String> expected = {".hidden", "10.mp4", "9.mp4", "A.mp4", "Z",
                                    "_x",      "a b",    "a.mp4", "b.mp4"};
  for (int i = 10; i < 40; ++i) expected.push_back("n" + std::to_string(i));
  expected.insert(expected.end(), {"sub", "\xc3\xa9t\xc3\xa9.mp4", "\xff.mp4"});
  std::vector<t_String> walked;
  WalkFolder(root.Path(), [&](const t_String& path, const t_FolderEntry& entry) {
    EXPECT_EQ(path, root / entry.name);
    EXPECT_EQ(entry.isFolder, entry.name == "sub") << entry.name;
    walked.push_back(entry.name);
  });
  EXPECT_EQ(walked, expected);
}
#endif

TEST(FolderWalker, FolderWithoutTrailingSeparatorGivesTheSamePaths) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("one"));
  t_String bare = root.Path();
  bare.pop_back();
  EXPECT_EQ(Walk(bare), Walk(root.Path()));
}

TEST(FolderWalker, EmptyFolderVisitsNothing) {
  t_ScratchFolder root;
  EXPECT_TRUE(Walk(root.Path()).empty());
}

TEST(FolderWalker, MissingFolderRaisesTheFolderError) {
  t_ScratchFolder root;
  const std::int32_t code =
      CodeOf<t_FolderWalkerBase::t_ErrorException>([&] { Walk(root / ZTEXT("missing/")); });
  EXPECT_TRUE(code == ConvertSystemError(kErrorPathNotFound) ||
              code == ConvertSystemError(kErrorFileNotFound))
      << code;
}

TEST(FolderWalker, VisitorErrorEndsTheWalkAndPassesThrough) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("a"));
  root.MakeFile(ZTEXT("b"));
  int visits = 0;
  EXPECT_THROW(WalkFolder(root.Path(),
                          [&](const t_String&, const t_FolderEntry&) {
                            ++visits;
                            RaiseCode(1);
                          }),
               t_ErrorException);
  EXPECT_EQ(visits, 1);
  // The search was closed on the way out: the folder can be walked and removed.
  EXPECT_EQ(Walk(root.Path()).size(), 2u);
  RemoveTree(root.Path());
  EXPECT_FALSE(std::filesystem::exists(root.Fs()));
}

TEST(FolderWalker, LinksAreReportedAsLinks) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("target/file"));
  root.MakeFolder(ZTEXT("walked"));
  const n_testing::t_FolderLink folderLink(root.Fs() / ZTEXT("target"),
                                           root.Fs() / ZTEXT("walked/folder-link"));
  if (!folderLink.Reason().empty()) GTEST_SKIP() << folderLink.Reason();
  // Wine shows a host link to a file as the file itself: none is made there.
  const bool fileLink = TryFileLink(root / ZTEXT("target/file"), root / ZTEXT("walked/file-link")).empty();

  const auto seen = Walk(root / ZTEXT("walked/"));
  ASSERT_TRUE(seen.count(ZTEXT("folder-link")));
  EXPECT_TRUE(seen.at(ZTEXT("folder-link")).isLink);
  EXPECT_TRUE(seen.at(ZTEXT("folder-link")).isFolder);
  if (fileLink) {
    ASSERT_TRUE(seen.count(ZTEXT("file-link")));
    EXPECT_TRUE(seen.at(ZTEXT("file-link")).isLink);
    EXPECT_FALSE(seen.at(ZTEXT("file-link")).isFolder);
  }
}

TEST(RemoveTree, RemovesNestedContentAndTheFolder) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("work/ntag.exe"), "tool");
  root.MakeFile(ZTEXT("work/.x"));
  root.MakeFile(ZTEXT("work/left-over/one"));
  root.MakeFile(ZTEXT("work/left-over/two"));
  root.MakeFile(ZTEXT("work/left-over/deeper/three"));
  root.MakeFolder(ZTEXT("work/empty"));
  root.MakeFile(ZTEXT("beside"));

  RemoveTree(root / ZTEXT("work/"));
  EXPECT_FALSE(root.Exists(ZTEXT("work")));
  EXPECT_TRUE(root.Exists(ZTEXT("beside")));
}

TEST(RemoveTree, TakesAFolderWithoutTrailingSeparator) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("work/a"));
  RemoveTree(root / ZTEXT("work"));
  EXPECT_FALSE(root.Exists(ZTEXT("work")));
}

TEST(RemoveTree, MissingFolderRaisesTheFolderError) {
  t_ScratchFolder root;
  EXPECT_THROW(RemoveTree(root / ZTEXT("never-made/")), t_FolderWalkerBase::t_ErrorException);
}

TEST(RemoveTree, ALinkInTheFolderItsPlaceIsRefusedAndItsTargetKept) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("outside/keep.mp4"), "precious");
  const n_testing::t_FolderLink link(root.Fs() / ZTEXT("outside"), root.Fs() / ZTEXT("work"));
  ASSERT_EQ(link.Reason(), "");
  for (const t_String& given : {root / ZTEXT("work"), root / ZTEXT("work/")}) {
    // A link is not taken for the folder.
    EXPECT_EQ(CodeOf<t_FolderWalkerBase::t_ErrorException>([&] { RemoveTree(given); }),
              ConvertSystemError(kErrorAccessDenied));
    EXPECT_TRUE(root.Exists(ZTEXT("work")));
    EXPECT_TRUE(root.Exists(ZTEXT("outside/keep.mp4")));
  }
}

TEST(RemoveTree, RemovesLinksButNeverTheirTargets) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("outside/keep.mp4"), "precious");
  root.MakeFile(ZTEXT("outside/sub/keep-too"));
  root.MakeFile(ZTEXT("work/ntag.exe"));
  const n_testing::t_FolderLink link(root.Fs() / ZTEXT("outside"), root.Fs() / ZTEXT("work/folder-link"));
  if (!link.Reason().empty()) GTEST_SKIP() << link.Reason();
  TryFileLink(root / ZTEXT("outside/keep.mp4"), root / ZTEXT("work/file-link"));

  if (link.ByHost()) {
    // Wine cannot open such a link as itself, so it is not removed.
    EXPECT_EQ(CodeOf([&] { RemoveTree(root / ZTEXT("work/")); }), ConvertSystemError(kErrorAccessDenied));
    EXPECT_TRUE(root.Exists(ZTEXT("work/folder-link")));
  } else {
    RemoveTree(root / ZTEXT("work/"));
    EXPECT_FALSE(root.Exists(ZTEXT("work")));
  }
  EXPECT_TRUE(root.Exists(ZTEXT("outside/keep.mp4")));
  EXPECT_TRUE(root.Exists(ZTEXT("outside/sub/keep-too")));
}

}  // namespace
}  // namespace n_zorbel::n_system
