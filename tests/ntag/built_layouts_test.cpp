// Layouts ffmpeg does not make, built box by box: 64-bit sizes, co64, QuickTime meta,
// size-0 last boxes, offsets near and past 4 GiB, and damaged files that must be refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "box_builder.hpp"
#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

enum class t_Expect { SameFile, Grows, Replaced };

struct t_LayoutCase {
  const char* name;
  t_BuildOptions options;
  t_Expect expect;
  // The file after a title edit (FNV-1a): a change meant to write the same bytes is held to
  // that on every layout here, and one that writes other bytes says so on purpose.
  std::uint64_t titled;
};

t_BuildOptions With(void (*change)(t_BuildOptions&)) {
  t_BuildOptions o;
  change(o);
  return o;
}

class BuiltLayoutTest : public ::testing::TestWithParam<t_LayoutCase> {};

TEST_P(BuiltLayoutTest, TagsLandAndEveryChunkStaysPut) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "built.mp4";
  const auto chunks = BuildMp4(GetParam().options, video);
  ASSERT_EQ(CheckChunks(video, chunks), "") << "builder";
  MakeImage("jpg", scratch / "c.jpg");
  const std::uint64_t inode = InodeOf(video);
  const auto size = std::filesystem::file_size(video);
  const std::string types = TopLevelTypes(video);
  const std::string pinned = scratch / "pinned.mp4";
  CopyFile(video, pinned);
  ASSERT_EQ(RunNtag({"-meta:title=Pinned", pinned}).exitCode, 0);
  EXPECT_EQ(Digest(ReadFile(pinned)), GetParam().titled) << std::hex << Digest(ReadFile(pinned));

  const t_RunResult r =
      RunNtag({"-meta:title=Новое", "-meta:artist=Ω", "-add-cover:front:" + scratch / "c.jpg", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(CheckChunks(video, chunks), "");
  auto tags = NtagTags(video);
  EXPECT_EQ(tags["title"], "Новое");
  EXPECT_EQ(tags["artist"], "Ω");
  EXPECT_EQ(tags["cover"].rfind("front, jpeg, ", 0), 0u);
  if (GetParam().options.withUdta) {
    EXPECT_NE(ReadFile(video).find("kept"), std::string::npos) << "other udta items stay";
  }
  switch (GetParam().expect) {
    case t_Expect::SameFile:
      EXPECT_EQ(InodeOf(video), inode);
      EXPECT_EQ(std::filesystem::file_size(video), size);
      EXPECT_EQ(TopLevelTypes(video), types);
      break;
    case t_Expect::Grows:
      EXPECT_EQ(InodeOf(video), inode);
      EXPECT_GT(std::filesystem::file_size(video), size);
      EXPECT_EQ(TopLevelTypes(video).substr(TopLevelTypes(video).size() - 9), "free moov");
      break;
    case t_Expect::Replaced:
      EXPECT_EQ(TopLevelTypes(video), types) << "moov stays where it was";
      break;
  }
  // A second edit of the same size finds the reserved padding.
  const auto after = std::filesystem::file_size(video);
  ASSERT_EQ(RunNtag({"-meta:title=Другое", video}).exitCode, 0);
  EXPECT_EQ(std::filesystem::file_size(video), after);
  EXPECT_EQ(NtagTags(video)["title"], "Другое");
  EXPECT_EQ(CheckChunks(video, chunks), "");
  const t_RunResult ap = AtomicParsleyList(video);
  EXPECT_EQ(ap.exitCode, 0);
  EXPECT_EQ(ProbeTags(video)["title"], "Другое");
  // AtomicParsley does not read 64-bit box sizes; it must still not fail.
  if (!GetParam().options.largeSizes) {
    EXPECT_NE(ap.out.find("Atom \"\xC2\xA9nam\" contains: Другое"), std::string::npos) << ap.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BuiltLayoutTest,
    ::testing::Values(
        t_LayoutCase{"MoovFirst", {}, t_Expect::Replaced, 0x1e66b29966f7dbb7ull},
        t_LayoutCase{"MoovLast", With([](auto& o) { o.moovFirst = false; }), t_Expect::Grows,
                     0x8ddd03ac352c9cefull},
        t_LayoutCase{"LargeSizes", With([](auto& o) { o.largeSizes = true; }), t_Expect::Replaced,
                     0x041b8dbc515b3aacull},
        t_LayoutCase{"LargeSizesMoovLast", With([](auto& o) { o.largeSizes = true, o.moovFirst = false; }),
                     t_Expect::Grows, 0x74f98b381e8ebe2aull},
        t_LayoutCase{"Co64", With([](auto& o) { o.co64 = true; }), t_Expect::Replaced, 0x913289e48b0c5162ull},
        t_LayoutCase{"QuickTimeMeta", With([](auto& o) { o.quickTimeMeta = true; }), t_Expect::Replaced,
                     0x5984d8ad4bddf997ull},
        t_LayoutCase{"QuickTimeMetaPadded",
                     With([](auto& o) { o.quickTimeMeta = true, o.metaPadding = 200000; }),
                     t_Expect::Replaced, 0xdd0efe7d8b7d4dcdull},
        t_LayoutCase{"UdtaTerminator", With([](auto& o) { o.udtaTerminator = true; }), t_Expect::Replaced,
                     0x7bf142ef34e086bfull},
        t_LayoutCase{"NoUdta", With([](auto& o) { o.withUdta = false; }), t_Expect::Replaced,
                     0xd837e624b0375c3bull},
        t_LayoutCase{"NoMeta", With([](auto& o) { o.withTags = false; }), t_Expect::Replaced,
                     0x0fde2c74d231fc2eull},
        t_LayoutCase{"NoMetaMoovLast", With([](auto& o) { o.withTags = false, o.moovFirst = false; }),
                     t_Expect::Grows, 0x87d337ca66bb05acull},
        t_LayoutCase{"PaddedMeta", With([](auto& o) { o.metaPadding = 100000; }), t_Expect::SameFile,
                     0x34202ccea2e116d1ull},
        t_LayoutCase{"LargePaddedMeta", With([](auto& o) { o.metaPadding = 100000, o.largeSizes = true; }),
                     t_Expect::SameFile, 0x2f6186743379965bull},
        t_LayoutCase{"MdatSizeZero", With([](auto& o) { o.lastBoxSizeZero = true; }), t_Expect::Replaced,
                     0xe6daa42a6d7ebbc3ull},
        t_LayoutCase{"MoovSizeZero", With([](auto& o) { o.lastBoxSizeZero = true, o.moovFirst = false; }),
                     t_Expect::Replaced, 0x714491d6569c8169ull},
        t_LayoutCase{"FreeAfterLastMoov", With([](auto& o) { o.moovFirst = false, o.topFreeAfterMoov = 64; }),
                     t_Expect::Grows, 0x30ea0e29b51e0949ull},
        t_LayoutCase{"ManyTracks", With([](auto& o) { o.tracks = 5, o.chunksPerTrack = 40; }),
                     t_Expect::Replaced, 0x451325135b516311ull},
        t_LayoutCase{"CutDownTrack", With([](auto& o) { o.cutDownTrack = true; }), t_Expect::Replaced,
                     0x15e061a1c47f4656ull},
        t_LayoutCase{"CutDownTrackMoovLast",
                     With([](auto& o) { o.cutDownTrack = true, o.moovFirst = false; }), t_Expect::Grows,
                     0x1749dd434579b36eull}),
    [](const auto& p) { return std::string(p.param.name); });

// Offsets just under 4 GiB in a faststart file: growing moov pushes them past 2^32 - 1,
// so the tables must become co64. The file is sparse, so this costs little disk.
TEST(BuiltLayoutTest, StcoNear4GiBBecomesCo64) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "near4g.mp4";
  t_BuildOptions o;
  o.mdatGap = (1ull << 32) - 4096;
  o.largeSizes = true;
  const auto chunks = BuildMp4(o, video);
  ASSERT_EQ(UsesCo64(video), (std::vector<bool>{false, false}));
  const t_RunResult r = RunNtag({"-meta:title=Far", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(UsesCo64(video), (std::vector<bool>{true, true}));
  EXPECT_EQ(CheckChunks(video, chunks), "");
  EXPECT_EQ(NtagTags(video)["title"], "Far");
  // The copy kept the hole a hole: 4 GiB of zeros were not written out.
  struct stat st {};
  ASSERT_EQ(::stat(video.c_str(), &st), 0);
  EXPECT_LT(st.st_blocks * 512, 64 << 20);
}

TEST(BuiltLayoutTest, FileOver4GiBWithMoovAtEndIsTaggedWithoutCopying) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "big.mp4";
  t_BuildOptions o;
  o.mdatGap = 5ull << 30;
  o.largeSizes = true;
  o.moovFirst = false;
  o.co64 = true;
  const auto chunks = BuildMp4(o, video);
  const t_RunResult r = RunNtag({"-meta:title=Big", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(CheckChunks(video, chunks), "");
  EXPECT_EQ(NtagTags(video)["title"], "Big");
}

// A box of size 0 runs to the end of its parent, as players read it. Such a box last in
// a track's chain of a faststart clip must move with the media when moov grows, or the file
// must be refused untouched.
TEST(BuiltLayoutTest, SizeZeroBoxesInTheSampleTablesMoveWithTheMedia) {
  for (const t_Clip clip : {t_Clip::Faststart, t_Clip::TaggedCover}) {
    for (const char* type : {"stco", "stbl", "minf", "mdia"}) {
      SCOPED_TRACE(ClipName(clip) + " " + type);
      t_ScratchFolder scratch;
      const std::string video = scratch / "v.mp4";
      MakeClip(clip, video);
      const auto packets = ProbePacketHashes(video);
      ASSERT_GT(ZeroSizeOfLastBoxes(video, type), 0);
      ASSERT_EQ(DecodeErrors(video), "") << "players read the size-0 box";
      ASSERT_TRUE(ProbePacketHashes(video) == packets);
      const std::string before = ReadFile(video);
      const t_RunResult r = RunNtag({"-meta:title=" + std::string(70000, 'x'), video});
      if (r.exitCode == 4) {
        EXPECT_TRUE(ReadFile(video) == before);
        continue;
      }
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(ProbeTags(video)["title"].size(), 70000u);
      EXPECT_EQ(DecodeErrors(video).substr(0, 200), "");
      EXPECT_TRUE(ProbePacketHashes(video) == packets);
    }
  }
}

// Tag boxes that do not conform but occur. After exit 0 both readers show the new tags;
// otherwise the file is refused untouched.
struct t_TagBoxesCase {
  const char* name;
  t_TagBoxes boxes;
  bool moovFirst;
  int exitCode;
};

class TagBoxesTest : public ::testing::TestWithParam<t_TagBoxesCase> {};

TEST_P(TagBoxesTest, ReadersShowTheNewTagsOrTheFileIsRefused) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "v.mp4";
  t_BuildOptions o;
  o.tagBoxes = GetParam().boxes;
  o.moovFirst = GetParam().moovFirst;
  o.metaPadding = 4000;  // room for an edit in place, were the boxes taken as they are
  const auto chunks = BuildMp4(o, video);
  const std::string before = ReadFile(video);
  const t_RunResult r = RunNtag({"-meta:title=Neu", "-meta:artist=Wer", video});
  ASSERT_EQ(r.exitCode, GetParam().exitCode) << r.err;
  if (r.exitCode != 0) {
    EXPECT_TRUE(ReadFile(video) == before);
    return;
  }
  EXPECT_EQ(CheckChunks(video, chunks), "");
  const auto probed = ProbeTags(video);
  EXPECT_EQ(probed.count("title") ? probed.at("title") : "", "Neu");
  EXPECT_EQ(probed.count("artist") ? probed.at("artist") : "", "Wer");
  const t_RunResult ap = AtomicParsleyList(video);
  EXPECT_NE(ap.out.find("Atom \"\u00A9nam\" contains: Neu"), std::string::npos) << ap.out;
  EXPECT_NE(ap.out.find("Atom \"\u00A9ART\" contains: Wer"), std::string::npos) << ap.out;
  EXPECT_NE(ReadFile(video).find("kept"), std::string::npos) << "other udta items stay";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TagBoxesTest,
    ::testing::Values(t_TagBoxesCase{"IlstBeforeHdlr", t_TagBoxes::IlstBeforeHdlr, true, 0},
                      t_TagBoxesCase{"IlstBeforeHdlrMoovLast", t_TagBoxes::IlstBeforeHdlr, false, 0},
                      t_TagBoxesCase{"UdtaSizeZero", t_TagBoxes::UdtaSizeZero, true, 0},
                      t_TagBoxesCase{"MetaSizeZero", t_TagBoxes::MetaSizeZero, true, 0},
                      t_TagBoxesCase{"IlstSizeZero", t_TagBoxes::IlstSizeZero, true, 0},
                      t_TagBoxesCase{"IlstSizeZeroMoovLast", t_TagBoxes::IlstSizeZero, false, 0},
                      t_TagBoxesCase{"OtherSizeZero", t_TagBoxes::OtherSizeZero, true, 0},
                      t_TagBoxesCase{"TwoUdta", t_TagBoxes::TwoUdta, true, 0},
                      t_TagBoxesCase{"TwoUdtaMoovLast", t_TagBoxes::TwoUdta, false, 0},
                      t_TagBoxesCase{"TwoUdtaDiffering", t_TagBoxes::TwoUdtaDiffering, true, 4}),
    [](const auto& p) { return std::string(p.param.name); });

// Damaged or ambiguous files: refused with their code, not one byte changed.
struct t_DamageCase {
  const char* name;
  void (*damage)(std::string& bytes);
  int exitCode;
};

std::size_t Find(const std::string& s, const std::string& type) { return s.find(type) - 4; }
void SetSize(std::string& s, std::size_t at, std::uint32_t size) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(size >> (24 - 8 * i));
}
std::uint32_t SizeAt(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

class DamagedTest : public ::testing::TestWithParam<t_DamageCase> {};

TEST_P(DamagedTest, IsRefusedUntouched) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "damaged.mp4";
  t_BuildOptions o;
  o.moovFirst = false;
  BuildMp4(o, video);
  std::string bytes = ReadFile(video);
  GetParam().damage(bytes);
  WriteFile(video, bytes);
  for (const auto& args :
       {std::vector<std::string>{"-meta:title=x", video}, std::vector<std::string>{"-list-meta", video}}) {
    const t_RunResult r = RunNtag(args);
    if (GetParam().exitCode == 4 && args[0] == "-list-meta") {
      EXPECT_EQ(r.exitCode, 0) << "keyed metadata is no iTunes tag list, but the file is fine to read";
      continue;
    }
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_TRUE(ReadFile(video) == bytes);
  }
  EXPECT_EQ(scratch.Names().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedTest,
    ::testing::Values(
        t_DamageCase{"Truncated", [](std::string& s) { s.resize(s.size() - 10); }, 3},
        t_DamageCase{"TrailingJunk", [](std::string& s) { s += "junk"; }, 3},
        t_DamageCase{"TwoMoov", [](std::string& s) { s += s.substr(Find(s, "moov")); }, 3},
        t_DamageCase{"TrakPastMoov",
                     [](std::string& s) { SetSize(s, Find(s, "trak"), SizeAt(s, Find(s, "trak")) + 5000); },
                     3},
        t_DamageCase{"BoxSmallerThanHeader", [](std::string& s) { SetSize(s, Find(s, "mvhd"), 4); }, 3},
        t_DamageCase{
            "IlstItemPastIlst",
            [](std::string& s) { SetSize(s, Find(s, "\xA9nam"), SizeAt(s, Find(s, "\xA9nam")) + 9); }, 3},
        t_DamageCase{"StcoLongerThanBox", [](std::string& s) { SetSize(s, Find(s, "stco") + 12, 1000); }, 3},
        t_DamageCase{"NotMp4", [](std::string& s) { s = "<html>this is no video</html>\n"; }, 3},
        t_DamageCase{"Empty", [](std::string& s) { s.clear(); }, 3},
        t_DamageCase{"QuickTimeKeyedMetadata",
                     [](std::string& s) { s.replace(s.find("mdirappl"), 4, "mdta"); }, 4}),
    [](const auto& p) { return std::string(p.param.name); });

// A track cut down to its movie box whose chunk offsets lie near 2^64: a rewrite could not
// move them, so it refuses (4) and leaves the file as it was. (Found by the edit fuzzer.)
TEST(DamagedTest, AnOffsetThatCannotBeMovedIsRefusedUntouched) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "far.mp4";
  t_BuildOptions o;
  o.co64 = o.cutDownTrack = true;
  BuildMp4(o, video);
  std::string bytes = ReadFile(video);
  const std::size_t table = bytes.rfind("co64") - 4;
  for (std::size_t at = table + 16; at < table + SizeAt(bytes, table); ++at) bytes[at] = '\xFF';
  WriteFile(video, bytes);
  const t_RunResult r = RunNtag({"-meta:title=" + std::string(70000, 'x'), video});
  EXPECT_EQ(r.exitCode, 4) << r.err;
  EXPECT_TRUE(ReadFile(video) == bytes);
  EXPECT_EQ(scratch.Names().size(), 1u);
}

// Sample data the tables put at or past the end of the file (a download cut short): refused
// as damaged before anything is written, on every layout, from the tables alone.
struct t_PastEndCase {
  const char* name;
  bool moovFirst;
  t_Clip clip;  // kNoTags: built box by box instead
  void (*damage)(std::string& bytes);
};

std::size_t LastEntry(const std::string& s, const std::string& table) {
  const std::size_t box = s.rfind(table) - 4;
  return box + SizeAt(s, box) - 4;
}
void LastOffsetAtTheEnd(std::string& s) {
  SetSize(s, LastEntry(s, "stco"), static_cast<std::uint32_t>(s.size()));
}
void LastChunkOneBytePastTheEnd(std::string& s) {
  SetSize(s, LastEntry(s, "stsz"),
          static_cast<std::uint32_t>(s.size() - SizeAt(s, LastEntry(s, "stco")) + 1));
}
// What a cut-off download looks like when its last mdat says it runs to the end of the file.
void CutOff(std::string& s) {
  s.resize(s.size() - 300);
  SetSize(s, s.rfind("mdat") - 4, 0);
}
void CutOffFragments(std::string& s) {
  s.resize(s.rfind("mfra") - 4);  // the index at the end is optional
  CutOff(s);
}

TEST(DamagedTest, SampleDataPastTheEndIsRefusedUntouched) {
  const t_PastEndCase cases[] = {
      {"offset at the end, moov last", false, t_Clip::NoTags, LastOffsetAtTheEnd},
      {"offset at the end, moov first", true, t_Clip::NoTags, LastOffsetAtTheEnd},
      {"last chunk too long, moov last", false, t_Clip::NoTags, LastChunkOneBytePastTheEnd},
      {"last chunk too long, moov first", true, t_Clip::NoTags, LastChunkOneBytePastTheEnd},
      {"cut-off faststart clip", true, t_Clip::Faststart, CutOff},
      {"cut-off faststart clip, its mdat size kept", true, t_Clip::Faststart,
       [](std::string& s) { s.resize(s.size() - 300); }},
      {"cut-off fragmented clip", true, t_Clip::Fragmented, CutOffFragments},
  };
  for (const t_PastEndCase& c : cases) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const std::string video = scratch / "cut.mp4";
    if (c.clip == t_Clip::NoTags) {
      t_BuildOptions o;
      o.moovFirst = c.moovFirst;
      BuildMp4(o, video);
    } else {
      MakeClip(c.clip, video);
    }
    std::string bytes = ReadFile(video);
    c.damage(bytes);
    WriteFile(video, bytes);
    for (const auto& args :
         {std::vector<std::string>{"-meta:title=x", video}, std::vector<std::string>{"-list-meta", video}}) {
      const t_RunResult r = RunNtag(args);
      EXPECT_EQ(r.exitCode, 3) << r.err;
      EXPECT_NE(r.err.find("past the end of the file"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(ReadFile(video) == bytes);
    EXPECT_EQ(scratch.Names().size(), 1u);
  }
}

// The room a first tagging leaves grows with the file: the cover swap that follows is made in
// place (same file, same size). The large video is sparse, so the test writes little.
struct t_SwapCase {
  const char* name;
  std::uint64_t mediaGap;
  std::string first, second;  // covers: format and edge in pixels
  int firstEdge, secondEdge;
};

TEST(CoverRoomTest, TheNextCoverSwapIsMadeInPlace) {
  const t_SwapCase cases[] = {
      {"small file, 80 KB cover then 120 KB", 0, "png", "png", 200, 250},
      {"700 MiB video, small JPEG then a 2 MB screenshot", 700ull << 20, "jpg", "png", 200, 1024},
  };
  for (const t_SwapCase& c : cases) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const std::string video = scratch / "v.mp4", first = scratch / ("first." + c.first),
                      second = scratch / ("second." + c.second);
    t_BuildOptions o;
    o.mdatGap = c.mediaGap;
    const auto chunks = BuildMp4(o, video);
    MakeImage(c.first, first, c.firstEdge);
    MakeImage(c.second, second, c.secondEdge);
    ASSERT_EQ(RunNtag({"-add-cover:front:" + first, video}).exitCode, 0);
    const auto inode = InodeOf(video);
    const auto size = std::filesystem::file_size(video);
    const t_RunResult r = RunNtag({"-remove-cover:all", "-add-cover:front:" + second, video});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(InodeOf(video), inode);
    EXPECT_EQ(std::filesystem::file_size(video), size);
    EXPECT_EQ(NtagTags(video)["cover"],
              "front, " + c.second + ", " + std::to_string(std::filesystem::file_size(second)) + " bytes");
    EXPECT_EQ(CheckChunks(video, chunks), "");
  }
}

// Cover swaps on a small file with moov at the end: movie boxes left behind do not pile up;
// the file stays within its tags, their room and 1/8 of free space.
TEST(CoverRoomTest, ASmallFileDoesNotKeepGrowing) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "a.m4a";
  MakeClip(t_Clip::AudioOnly, video);
  const auto packets = ProbePacketHashes(video);
  const std::uint64_t original = std::filesystem::file_size(video);
  std::uint64_t largest = 0;
  for (const int edge : {200, 250, 300, 200, 300, 250, 300}) {
    const std::string cover = scratch / ("c" + std::to_string(edge) + ".png");
    MakeImage("png", cover, edge);
    largest = std::max<std::uint64_t>(largest, std::filesystem::file_size(cover));
    ASSERT_EQ(RunNtag({"-remove-cover:all", "-add-cover:front:" + cover, video}).exitCode, 0);
    EXPECT_LE(std::filesystem::file_size(video), (original + 2 * (largest + 1024) + (64 << 10)) * 8 / 7)
        << "after the " << edge << " px cover";
  }
  EXPECT_EQ(DecodeErrors(video), "");
  EXPECT_TRUE(ProbePacketHashes(video) == packets);
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
