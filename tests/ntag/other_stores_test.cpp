// Videos whose tags sit in other stores than ilst (QuickTime text items, 3GPP assets, QuickTime
// Keys in moov/meta or in udta/meta) or in a meta without version and flags: after an edit, five
// readers we did not write show the new title, none shows an old value of a key that was set or
// removed, entries that mean no key set keep their values, and the next edit is made in place.
#include <gtest/gtest.h>

#include <filesystem>

#include "box_builder.hpp"
#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

struct t_StoreCase {
  const char* name;
  void (*make)(const std::string& path);
  const char* oldTitle;
  const char* store;              // the prefix -list-meta gives the old entries
  std::vector<const char*> kept;  // entries without an equivalent, as exiftool shows them
  const char* keptListed;         // the first of them as -list-meta shows it, or none
  const char* cannotReadFile;     // a reader that shows no ilst in this kind of file, or none
};

class OtherStoresTest : public ::testing::TestWithParam<t_StoreCase> {};

TEST_P(OtherStoresTest, NoReaderShowsAnOldValue) {
  const t_StoreCase& c = GetParam();
  t_ScratchFolder scratch;
  const std::string video = scratch / "video.mp4";
  c.make(video);
  const auto packets = ProbePacketHashes(video);
  const std::string title = std::string(c.store) + "title";
  const auto listedBefore = NtagTags(video);
  ASSERT_EQ(listedBefore.at(title), c.oldTitle) << "the layout holds the old title there";

  const t_RunResult r = RunNtag({"-meta:title=Fresh title", "-meta:comment=", "-meta:year=2024", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  for (const t_Reader reader : {t_Reader::Ffprobe, t_Reader::AtomicParsley, t_Reader::Exiftool,
                                t_Reader::Mediainfo, t_Reader::Mutagen}) {
    // Without the folder's random name, which may hold the old year's digits.
    std::string view = ReaderView(reader, video);
    const std::string folder = video.substr(0, video.rfind('/'));
    for (std::size_t at; (at = view.find(folder)) != std::string::npos;) view.erase(at, folder.size());
    SCOPED_TRACE(ReaderName(reader) + std::string(":\n") + view);
    EXPECT_EQ(view.find(c.oldTitle), std::string::npos);
    EXPECT_EQ(view.find("Old comment"), std::string::npos);
    EXPECT_EQ(view.find("1871"), std::string::npos) << "the old year";
    if (std::string(ReaderName(reader)) != c.cannotReadFile) {
      EXPECT_NE(view.find("Fresh title"), std::string::npos);
    }
    for (const char* kept : c.kept) {
      if (reader == t_Reader::Exiftool) {
        EXPECT_NE(view.find(kept), std::string::npos);
      }
    }
  }
  const auto listed = NtagTags(video);
  EXPECT_EQ(listed.at("title"), "Fresh title");
  EXPECT_EQ(listed.count(std::string(c.store) + "comment"), 0u);
  if (*c.store) {
    EXPECT_EQ(listed.count(std::string(c.store) + "year"), 0u);
    EXPECT_EQ(listed.count(title), 0u);
    EXPECT_EQ(listed.at(c.keptListed), listedBefore.at(c.keptListed));
  }
  EXPECT_EQ(ProbePacketHashes(video), packets);

  const auto size = std::filesystem::file_size(video);
  const auto inode = InodeOf(video);
  ASSERT_EQ(RunNtag({"-meta:title=Second title", video}).exitCode, 0);
  EXPECT_EQ(std::filesystem::file_size(video), size) << "the next edit is made in place";
  EXPECT_EQ(InodeOf(video), inode);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, OtherStoresTest,
    ::testing::Values(t_StoreCase{"QuickTimeText",
                                  [](const std::string& p) { MakeClip(t_Clip::MovUserData, p); },
                                  "Old title",
                                  "udta:",
                                  {"[UserData] Album: Kept album"},
                                  "udta:album",
                                  "AtomicParsley"},
                      t_StoreCase{"ThreeGppAssets",
                                  [](const std::string& p) { MakeClip(t_Clip::ThreeGpAssets, p); },
                                  "Old title",
                                  "3gpp:",
                                  {"Kept album"},
                                  "3gpp:album",
                                  "AtomicParsley"},
                      // A phone's capture date is no year: it stays when the year is set.
                      t_StoreCase{
                          "QuickTimeKeys",
                          [](const std::string& p) { MakeClip(t_Clip::PhoneKeys, p); },
                          "Old title",
                          "keys:",
                          {"[Keys] Make: Kept make", "[Keys] CreationDate: 2019:05:04 10:11:12+02:00"},
                          "keys:com.apple.quicktime.creationdate",
                          ""},
                      t_StoreCase{"KeysInUserData",
                                  [](const std::string& p) { MakeClip(t_Clip::UserDataKeys, p); },
                                  "Old title",
                                  "keys:",
                                  {"[Keys] Foo: Kept foo"},
                                  "keys:foo",
                                  ""},
                      t_StoreCase{"MetaWithoutVersion",
                                  [](const std::string& p) {
                                    t_BuildOptions o;
                                    o.quickTimeMeta = true;
                                    BuildMp4(o, p);
                                  },
                                  "Built title",
                                  "",
                                  {},
                                  "",
                                  ""}),
    [](const auto& p) { return std::string(p.param.name); });

// exiftool adds Keys of its own in moov/meta beside ffmpeg's in udta/meta: two numberings that
// readers resolve differently where names repeat, so the file is refused and left as it was.
TEST(KeysInTwoPlacesTest, IsRefusedUntouched) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "video.mp4";
  MakeClip(t_Clip::UserDataKeys, video);
  ASSERT_EQ(RunProgram({"exiftool", "-q", "-overwrite_original", "-Keys:Make=Kept make", video}).exitCode, 0);
  const std::string bytes = ReadFile(video);
  const t_RunResult r = RunNtag({"-meta:title=Fresh title", video});
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(ReadFile(video) == bytes);
  EXPECT_EQ(NtagTags(video).at("keys:title"), "Old title");
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
