// The intake rules against a scripted disk, including failures and link
// layouts that are awkward to make on a real one.
#include "intake/video_file_list.hpp"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <vector>

namespace n_zorbel::n_intake {
namespace {

using n_system::t_FolderEntry;
using n_system::t_PathKind;

#ifdef _WIN32
const t_String kRoot = ZTEXT("D:\\");
#else
const t_String kRoot = ZTEXT("/");
#endif

// kRoot + the parts joined by the separator.
t_String P(std::initializer_list<t_StringView> parts) {
  t_String path = kRoot;
  for (const auto part : parts) {
    if (path != kRoot) path += kPathSeparator;
    path += part;
  }
  return path;
}

class t_FakeDisk final : public t_PathQueries {
 public:
  struct t_Folder {
    std::vector<t_FolderEntry> entries;
    int failAfter = -1;  // raise the folder error after this many entries
  };

  // A folder; `folder` without its final separator (except the root).
  void Folder(const t_String& folder, std::vector<t_FolderEntry> entries, int failAfter = -1) {
    m_kinds[folder] = t_PathKind::Folder;
    t_String key = folder;
    if (key.back() != kPathSeparator) key += kPathSeparator;
    m_folders[key] = {std::move(entries), failAfter};
  }
  void Kind(const t_String& path, t_PathKind kind) { m_kinds[path] = kind; }
  void FailQuery(const t_String& path, bool outOfMemory = false) { m_failures[path] = outOfMemory; }

  bool IsLink(const t_String&) override { return false; }
  t_PathKind Query(const t_String& path) override {
    queried.push_back(path);
    if (const auto failure = m_failures.find(path); failure != m_failures.end()) {
      if (failure->second) throw std::bad_alloc();
      n_system::RaiseSystemError(n_system::kErrorAccessDenied);
    }
    // Like the real query, a folder path may end with the separator.
    t_String key = path;
    if (key != kRoot && !key.empty() && key.back() == kPathSeparator) key.pop_back();
    const auto kind = m_kinds.find(key);
    return kind == m_kinds.end() ? t_PathKind::Missing : kind->second;
  }

  void ListFolder(const t_String& folder, const t_FolderVisit& visit) override {
    listed.push_back(folder);
    const auto found = m_folders.find(folder);
    if (found == m_folders.end()) n_system::RaiseFolderError(n_system::kErrorPathNotFound);
    int count = 0;
    for (const auto& entry : found->second.entries) {
      if (count++ == found->second.failAfter) n_system::RaiseFolderError(n_system::kErrorAccessDenied);
      visit(folder + entry.name, entry);
    }
  }

  std::vector<t_String> queried;
  std::vector<t_String> listed;

 private:
  std::map<t_String, t_PathKind> m_kinds;
  std::map<t_String, t_Folder> m_folders;
  std::map<t_String, bool> m_failures;
};

t_FolderEntry File(t_StringView name) { return {t_String(name), false, false}; }
t_FolderEntry Sub(t_StringView name) { return {t_String(name), true, false}; }
t_FolderEntry Link(t_StringView name, bool toFolder) { return {t_String(name), toFolder, true}; }

TEST(HasExtension, MatchesADotAndThreeCharactersFoldingOnlyAsciiLetters) {
  struct {
    const t_Char* path;
    bool isMp4;
  } const cases[] = {
      {ZTEXT("A.MP4"), true},       {ZTEXT("a.mp4"), true},   {ZTEXT("a.Mp4"), true},
      {ZTEXT(".mp4"), true},        {ZTEXT("a.mp4 "), false}, {ZTEXT("a.mp4x"), false},
      {ZTEXT("a.m4v"), false},      {ZTEXT("mp4"), false},    {ZTEXT("amp4"), false},
      {ZTEXT("a_mp4"), false},      {ZTEXT(""), false},       {ZTEXT("a.mpT"), false},
      {ZTEXT("a.\u043cp4"), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasExtension(c.path, ZTEXT("MP4")), c.isMp4) << testing::PrintToString(t_String(c.path));
  }
  EXPECT_TRUE(HasExtension(ZTEXT("a.JPG"), ZTEXT("JPG")));
  EXPECT_TRUE(HasExtension(ZTEXT("b.png"), ZTEXT("PNG")));
  EXPECT_FALSE(HasExtension(ZTEXT("a.jpeg"), ZTEXT("JPG")));
}

TEST(AddPath, ClassifiesNamesAndTheLastImageWins) {
  t_FakeDisk disk;  // every path is missing: taken by its name
  t_VideoFileList list(disk);
  t_String cover = ZTEXT("old.png");
  for (const auto* path : {ZTEXT("A.MP4"), ZTEXT("a.mp4 "), ZTEXT("x.jpeg"), ZTEXT("b.png"), ZTEXT("A.MP4"),
                           ZTEXT("c.m4v"), ZTEXT("a.JPG"), ZTEXT("notes.txt")}) {
    list.AddPath(path, cover);
  }
  EXPECT_EQ(list.Entries(), (std::vector<t_String>{ZTEXT("A.MP4"), ZTEXT("A.MP4")}));
  EXPECT_EQ(cover, ZTEXT("a.JPG"));
  EXPECT_EQ(list.DisplayText(), ZTEXT("A.MP4;A.MP4"));
  list.Clear();
  EXPECT_EQ(list.DisplayText(), ZTEXT(""));
}

TEST(AddPath, ScansFoldersDepthFirstInEnumerationOrder) {
  t_FakeDisk disk;
  disk.Folder(P({ZTEXT("clips")}), {File(ZTEXT("x.mp4")), Sub(ZTEXT("sub")), File(ZTEXT("cover.jpg")),
                                    File(ZTEXT(".hidden.mp4")), File(ZTEXT("w.MP4")), Sub(ZTEXT("empty"))});
  disk.Folder(P({ZTEXT("clips"), ZTEXT("sub")}), {File(ZTEXT("y.mp4")), File(ZTEXT("z.png"))});
  disk.Folder(P({ZTEXT("clips"), ZTEXT("empty")}), {});
  const std::vector<t_String> expected{
      P({ZTEXT("clips"), ZTEXT("x.mp4")}), P({ZTEXT("clips"), ZTEXT("sub"), ZTEXT("y.mp4")}),
      P({ZTEXT("clips"), ZTEXT(".hidden.mp4")}), P({ZTEXT("clips"), ZTEXT("w.MP4")})};

  // With and without the final separator: the same folder, no doubled separator.
  for (const auto& folder : {P({ZTEXT("clips")}), P({ZTEXT("clips")}) + kPathSeparator}) {
    t_VideoFileList list(disk);
    t_String cover;
    list.AddPath(folder, cover);
    EXPECT_EQ(list.Entries(), expected);
    EXPECT_EQ(cover, P({ZTEXT("clips"), ZTEXT("cover.jpg")}));
    EXPECT_EQ(list.DisplayText(),
              expected[0] + ZTEXT(";") + expected[1] + ZTEXT(";") + expected[2] + ZTEXT(";") + expected[3]);
  }

  // The root is listed as itself.
  disk.Folder(kRoot, {File(ZTEXT("r.mp4"))});
  t_VideoFileList list(disk);
  t_String cover;
  list.AddPath(kRoot, cover);
  EXPECT_EQ(disk.listed.back(), kRoot);
  EXPECT_EQ(list.Entries(), std::vector<t_String>{P({ZTEXT("r.mp4")})});
}

TEST(AddPath, DropsWhatCannotBeReadAndKeepsWhatWasAdded) {
  t_FakeDisk disk;
  disk.Folder(P({ZTEXT("clips")}), {File(ZTEXT("a.mp4")), Sub(ZTEXT("locked")), File(ZTEXT("denied.mp4")),
                                    File(ZTEXT("huge.mp4")), Sub(ZTEXT("half")), File(ZTEXT("b.mp4"))});
  disk.Folder(P({ZTEXT("clips"), ZTEXT("locked")}), {File(ZTEXT("never.mp4"))}, 0);
  disk.Folder(P({ZTEXT("clips"), ZTEXT("half")}), {File(ZTEXT("h1.mp4")), File(ZTEXT("h2.mp4"))}, 1);
  disk.FailQuery(P({ZTEXT("clips"), ZTEXT("denied.mp4")}));
  disk.FailQuery(P({ZTEXT("clips"), ZTEXT("huge.mp4")}), true);
  disk.Folder(P({ZTEXT("broken")}), {File(ZTEXT("c.mp4")), File(ZTEXT("d.mp4"))}, 1);

  t_VideoFileList list(disk);
  t_String cover;
  list.AddPath(P({ZTEXT("clips")}), cover);
  EXPECT_EQ(list.Entries(), (std::vector<t_String>{P({ZTEXT("clips"), ZTEXT("a.mp4")}),
                                                   P({ZTEXT("clips"), ZTEXT("half"), ZTEXT("h1.mp4")}),
                                                   P({ZTEXT("clips"), ZTEXT("b.mp4")})}));

  // A failure listing the folder itself ends its scan; the rest of the drop goes on.
  list.Clear();
  list.AddPath(P({ZTEXT("broken")}), cover);
  list.AddPath(ZTEXT("after.mp4"), cover);
  EXPECT_EQ(list.Entries(),
            (std::vector<t_String>{P({ZTEXT("broken"), ZTEXT("c.mp4")}), ZTEXT("after.mp4")}));
}

TEST(AddPath, FollowsAFolderLinkOnlyWhenGivenDirectly) {
  t_FakeDisk disk;
  // clips/loop links back to clips; clips/clip.mp4 links to a file.
  const t_String clips = P({ZTEXT("clips")});
  const t_String loop = P({ZTEXT("clips"), ZTEXT("loop")});
  disk.Folder(clips, {File(ZTEXT("x.mp4")), Link(ZTEXT("loop"), true), Link(ZTEXT("clip.mp4"), false)});
  disk.Folder(loop, {File(ZTEXT("x.mp4")), Link(ZTEXT("loop"), true), Link(ZTEXT("clip.mp4"), false)});
  disk.Folder(loop + kPathSeparator + ZTEXT("loop"), {File(ZTEXT("deeper.mp4"))});
  disk.Kind(P({ZTEXT("clips"), ZTEXT("clip.mp4")}), t_PathKind::File);

  t_VideoFileList list(disk);
  t_String cover;
  list.AddPath(clips, cover);
  EXPECT_EQ(list.Entries(), (std::vector<t_String>{P({ZTEXT("clips"), ZTEXT("x.mp4")}),
                                                   P({ZTEXT("clips"), ZTEXT("clip.mp4")})}));
  EXPECT_EQ(disk.listed, std::vector<t_String>{clips + kPathSeparator});

  list.Clear();
  list.AddPath(loop, cover);
  EXPECT_EQ(list.Entries(), (std::vector<t_String>{P({ZTEXT("clips"), ZTEXT("loop"), ZTEXT("x.mp4")}),
                                                   P({ZTEXT("clips"), ZTEXT("loop"), ZTEXT("clip.mp4")})}));
  EXPECT_EQ(disk.listed.back(), loop + kPathSeparator);
}

}  // namespace
}  // namespace n_zorbel::n_intake
