#include "system/path_query.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "support/links.hpp"
#include "support/scratch_folder.hpp"
#include "system/temp_folder.hpp"

namespace n_zorbel::n_system {
namespace {

using n_testing::t_ScratchFolder;

TEST(QueryPath, TellsFilesFoldersAndMissingPaths) {
  t_ScratchFolder root;
  root.MakeFile(ZTEXT("video.mp4"));
  root.MakeFolder(ZTEXT("folder"));
  struct t_Case {
    t_String path;
    t_PathKind kind;
  };
  const t_Case cases[] = {
      {root / ZTEXT("video.mp4"), t_PathKind::File},
      {root / ZTEXT("folder"), t_PathKind::Folder},
      {root / ZTEXT("folder/"), t_PathKind::Folder},
      {root.Path(), t_PathKind::Folder},
      {root / ZTEXT("missing.mp4"), t_PathKind::Missing},
      {root / ZTEXT("missing/deeper.mp4"), t_PathKind::Missing},
      {root / ZTEXT("video.mp4/deeper.mp4"), t_PathKind::Missing},  // a file on the way
  };
  for (const t_Case& c : cases) EXPECT_EQ(QueryPath(c.path), c.kind) << ToUtf8(c.path);
}

TEST(QueryPath, FollowsALinkToAFolder) {
  t_ScratchFolder root;
  root.MakeFolder(ZTEXT("target"));
  const n_testing::t_FolderLink link(root.Fs() / ZTEXT("target"), root.Fs() / ZTEXT("link"));
  if (!link.Reason().empty()) GTEST_SKIP() << link.Reason();
  EXPECT_EQ(QueryPath(root / ZTEXT("link")), t_PathKind::Folder);
}

TEST(TempFolderPath, IsAnExistingFolderEndingWithTheSeparator) {
  const t_String path = TempFolderPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.back(), kPathSeparator);
  EXPECT_EQ(QueryPath(path), t_PathKind::Folder);
}

}  // namespace
}  // namespace n_zorbel::n_system
