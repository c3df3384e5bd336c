// Videos whose tags sit in other stores than ilst (QuickTime text items, 3GPP assets, QuickTime
// Keys) or in a meta without version and flags: after an edit, five readers we did not write
// show the new title and none shows an old value of a key that was set or removed.
#include <gtest/gtest.h>

#include "box_builder.hpp"
#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

struct t_StoreCase {
  const char* name;
  void (*make)(const std::string& path);
  const char* oldTitle;
  const char* store;           // the prefix -list-meta gives the old entries
  const char* kept;            // an entry without an equivalent, as exiftool shows it
  const char* cannotReadFile;  // a reader that shows no ilst in this kind of file, or none
};

class OtherStoresTest : public ::testing::TestWithParam<t_StoreCase> {};

TEST_P(OtherStoresTest, NoReaderShowsAnOldValue) {
  const t_StoreCase& c = GetParam();
  t_ScratchFolder scratch;
  const std::string video = scratch / "video.mp4";
  c.make(video);
  const auto packets = ProbePacketHashes(video);
  const std::string title = std::string(c.store) + "title";
  ASSERT_EQ(NtagTags(video)[title], c.oldTitle) << "the layout holds the old title there";

  const t_RunResult r = RunNtag({"-meta:title=Fresh title", "-meta:comment=", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  for (const t_Reader reader : {t_Reader::Ffprobe, t_Reader::AtomicParsley, t_Reader::Exiftool,
                                t_Reader::Mediainfo, t_Reader::Mutagen}) {
    const std::string view = ReaderView(reader, video);
    SCOPED_TRACE(ReaderName(reader) + std::string(":\n") + view);
    EXPECT_EQ(view.find(c.oldTitle), std::string::npos);
    EXPECT_EQ(view.find("Old comment"), std::string::npos);
    if (std::string(ReaderName(reader)) != c.cannotReadFile) {
      EXPECT_NE(view.find("Fresh title"), std::string::npos);
    }
    if (reader == t_Reader::Exiftool) {
      EXPECT_NE(view.find(c.kept), std::string::npos);
    }
  }
  const auto listed = NtagTags(video);
  EXPECT_EQ(listed.at("title"), "Fresh title");
  EXPECT_EQ(listed.count(std::string(c.store) + "comment"), 0u);
  if (*c.store) {
    EXPECT_EQ(listed.count(title), 0u);
  }
  EXPECT_EQ(ProbePacketHashes(video), packets);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, OtherStoresTest,
    ::testing::Values(t_StoreCase{"QuickTimeText",
                                  [](const std::string& p) { MakeClip(t_Clip::MovUserData, p); },
                                  "Old title", "udta:", "[UserData] Album: Kept album", "AtomicParsley"},
                      t_StoreCase{"ThreeGppAssets",
                                  [](const std::string& p) { MakeClip(t_Clip::ThreeGpAssets, p); },
                                  "Old title", "3gpp:", "Kept album", "AtomicParsley"},
                      t_StoreCase{"QuickTimeKeys", [](const std::string& p) { MakeClip(t_Clip::Keys, p); },
                                  "Old title", "keys:", "[Keys] Make: Kept make", ""},
                      t_StoreCase{"MetaWithoutVersion",
                                  [](const std::string& p) {
                                    t_BuildOptions o;
                                    o.quickTimeMeta = true;
                                    BuildMp4(o, p);
                                  },
                                  "Built title", "", "", ""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
