// Where sample data lies, and how a rewrite keeps every reference to it: a last chunk of a few
// bytes, fragments addressed from the start of the file, chunks that reach into moov, and an
// mdat that claims more bytes than the file holds.
#include <gtest/gtest.h>

#include <filesystem>

#include "box_builder.hpp"
#include "model/box_types.hpp"
#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

std::uint64_t Get(const std::string& s, std::size_t at, int width) {
  std::uint64_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}
void Put(std::string& s, std::size_t at, int width, std::uint64_t v) {
  for (int i = 0; i < width; ++i) s[at + i] = static_cast<char>(v >> (8 * (width - 1 - i)));
}
// The top-level box headers as (offset, size), read from 32-bit sizes.
std::vector<std::pair<std::size_t, std::size_t>> TopBoxes(const std::string& s) {
  std::vector<std::pair<std::size_t, std::size_t>> boxes;
  for (std::size_t at = 0; at + 8 <= s.size(); at += boxes.back().second) {
    boxes.push_back({at, static_cast<std::size_t>(Get(s, at, 4))});
  }
  return boxes;
}
std::size_t MoovAt(const std::string& s) { return s.find("moov") - 4; }

// Moov at the end and a last chunk shorter than the window the check compares: the first
// tagging and every swap to a larger cover after it (movie boxes left behind make the later
// ones rewrites that leave that free space out) keep every chunk.
TEST(DataReferencesTest, ATinyLastChunkTakesEveryCoverSwap) {
  for (const std::uint32_t last : {1u, 15u}) {
    SCOPED_TRACE(last);
    t_ScratchFolder scratch;
    const std::string video = scratch / "v.mp4";
    t_BuildOptions o;
    o.moovFirst = false;
    o.lastChunkSize = last;
    const auto chunks = BuildMp4(o, video);
    for (const int edge : {64, 200, 300, 400}) {
      const std::string cover = scratch / ("c" + std::to_string(edge) + ".png");
      MakeImage("png", cover, edge);
      const t_RunResult r = RunNtag({"-remove-cover:all", "-add-cover:front:" + cover, video});
      ASSERT_EQ(r.exitCode, 0) << edge << " px: " << r.err;
      EXPECT_EQ(CheckChunks(video, chunks), "");
    }
    EXPECT_EQ(ProbeAttachedPictures(video), std::vector<std::string>{"png"});
  }
}

// Calls visit(moof bytes at, tfhd body at, trun body ats) for each traf of each moof.
template <class t_Visit>
void ForEachTraf(std::string& s, t_Visit visit) {
  for (const auto& [moof, moofSize] : TopBoxes(s)) {
    if (s.compare(moof + 4, 4, "moof") != 0) continue;
    for (std::size_t traf = moof + 8; traf < moof + moofSize; traf += Get(s, traf, 4)) {
      if (s.compare(traf + 4, 4, "traf") != 0) continue;
      std::size_t tfhd = 0;
      std::vector<std::size_t> truns;
      for (std::size_t b = traf + 8; b < traf + Get(s, traf, 4); b += Get(s, b, 4)) {
        if (s.compare(b + 4, 4, "tfhd") == 0) tfhd = b + 8;
        if (s.compare(b + 4, 4, "trun") == 0) truns.push_back(b + 8);
      }
      visit(moof, tfhd, truns);
    }
  }
}

// Each traf's base data offset set to 0, the file's start, and its trun offsets made absolute:
// the same samples, addressed from before moov.
void BaseAtTheFileStart(std::string& s) {
  ForEachTraf(s, [&](std::size_t, std::size_t tfhd, const std::vector<std::size_t>& truns) {
    ASSERT_TRUE(Get(s, tfhd, 4) & kTfhdBaseDataOffset) << "ffmpeg writes explicit bases";
    const std::uint64_t base = Get(s, tfhd + 8, 8);
    Put(s, tfhd + 8, 8, 0);
    for (const std::size_t trun : truns) {
      ASSERT_TRUE(Get(s, trun, 4) & kTrunDataOffset);
      Put(s, trun + 8, 4, base + Get(s, trun + 8, 4));
    }
  });
}
// The first run starts 4 bytes before the end of moov: its data cannot move with either side.
void RunAcrossTheEndOfMoov(std::string& s) {
  BaseAtTheFileStart(s);
  bool first = true;
  ForEachTraf(s, [&](std::size_t, std::size_t, const std::vector<std::size_t>& truns) {
    if (first) Put(s, truns[0] + 8, 4, MoovAt(s) + Get(s, MoovAt(s), 4) - 4);
    first = false;
  });
}

TEST(DataReferencesTest, FragmentsAddressedFromTheFileStartMoveWithTheirData) {
  const struct {
    const char* name;
    void (*change)(std::string&);
    int exitCode;
  } cases[] = {
      {"base at the file start", BaseAtTheFileStart, 0},
      {"a run across the end of moov", RunAcrossTheEndOfMoov, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const std::string video = scratch / "frag.mp4";
    MakeClip(t_Clip::Fragmented, video);
    const auto packets = ProbePacketHashes(video);
    std::string bytes = ReadFile(video);
    c.change(bytes);
    WriteFile(video, bytes);
    if (c.exitCode == 0) {
      ASSERT_TRUE(ProbePacketHashes(video) == packets) << "the same samples";
    }
    // Title and cover outgrow the empty moov: a rewrite that grows it.
    MakeImage("jpg", scratch / "c.jpg", 200);
    const t_RunResult r = RunNtag({"-meta:title=Moved", "-add-cover:front:" + scratch / "c.jpg", video});
    ASSERT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode != 0) {
      EXPECT_TRUE(ReadFile(video) == bytes);
      continue;
    }
    EXPECT_EQ(ProbeTags(video)["title"], "Moved");
    EXPECT_TRUE(ProbePacketHashes(video) == packets);
    EXPECT_EQ(DecodeErrors(video), "");
  }
}

// A chunk whose samples reach into moov would change with the tags on every path: refused,
// untouched, before anything is written; listing the tags still works.
TEST(DataReferencesTest, ChunksReachingIntoMoovAreRefusedOnEveryPath) {
  const struct {
    const char* name;
    bool moovFirst;
    std::uint32_t metaPadding;
  } cases[] = {
      {"in place, moov last", false, 100000},
      {"appended movie", false, 0},
      {"in place, moov first", true, 100000},
      {"rewrite", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const std::string video = scratch / "v.mp4";
    t_BuildOptions o;
    o.moovFirst = c.moovFirst;
    o.metaPadding = c.metaPadding;
    BuildMp4(o, video);
    std::string bytes = ReadFile(video);
    // The file's last chunk (last entries of the last track's tables) grows 10 bytes into moov,
    // or, with moov first, moves inside it.
    const std::size_t stsz = bytes.rfind("stsz") - 4, stco = bytes.rfind("stco") - 4;
    const std::size_t sizeAt = stsz + Get(bytes, stsz, 4) - 4, offsetAt = stco + Get(bytes, stco, 4) - 4;
    if (c.moovFirst) {
      Put(bytes, offsetAt, 4, MoovAt(bytes) + 200);
    } else {
      Put(bytes, sizeAt, 4, MoovAt(bytes) + 10 - Get(bytes, offsetAt, 4));
    }
    WriteFile(video, bytes);
    const t_RunResult r = RunNtag({"-meta:title=x", video});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("inside the movie box"), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(video) == bytes);
    EXPECT_EQ(RunNtag({"-list-meta", video}).exitCode, 0);
  }
}

// A last mdat that claims a few bytes more than the file holds, every sample inside the file:
// tagged like any other; a rewrite writes its true size, an edit in place leaves it.
TEST(DataReferencesTest, AnMdatClaimingMoreThanTheFileIsTagged) {
  const struct {
    const char* name;
    bool built;  // box-built with room for the tags, else ffmpeg's faststart clip
    bool rewritten;
  } cases[] = {
      {"rewrite", false, true},
      {"in place", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const std::string video = scratch / "v.mp4";
    if (c.built) {
      t_BuildOptions o;
      o.metaPadding = 100000;
      BuildMp4(o, video);
    } else {
      MakeClip(t_Clip::Faststart, video);
    }
    const auto packets = ProbePacketHashes(video);
    std::string bytes = ReadFile(video);
    const std::size_t mdat = TopBoxes(bytes).back().first;
    ASSERT_EQ(bytes.compare(mdat + 4, 4, "mdat"), 0);
    Put(bytes, mdat, 4, Get(bytes, mdat, 4) + 5);
    WriteFile(video, bytes);

    const t_RunResult r = RunNtag({"-meta:title=Claimed", video});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string after = ReadFile(video);
    const std::size_t newMdat = TopBoxes(after).back().first;
    EXPECT_EQ(Get(after, newMdat, 4), after.size() - newMdat + (c.rewritten ? 0 : 5));
    EXPECT_EQ(ProbeTags(video)["title"], "Claimed");
    EXPECT_NE(AtomicParsleyList(video).out.find("Atom \"\xC2\xA9nam\" contains: Claimed"), std::string::npos);
    EXPECT_TRUE(ProbePacketHashes(video) == packets);
  }
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
