// Every layout ffmpeg makes, tagged the way Mivora tags, judged by ffprobe, ffmpeg and
// AtomicParsley, with every media packet's bytes hashed before and after.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "ntag_harness.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

const std::string kTitle = "Синее небо · Γαλάζιος ουρανός";
const std::string kArtist = "デュヴ・イゼ";
const std::string kComment = "Fan edit 🎬🎵 with \"quotes\", a\\backslash and\r\nlines";

struct t_Check {
  std::map<std::string, std::string> tags;  // expected ffprobe tags; "" = absent
  std::vector<std::string> pictures;
};

// The invariants every written file must meet.
void ExpectWritten(const std::string& video, const std::vector<std::string>& packetsBefore,
                   const t_Check& want) {
  const auto tags = ProbeTags(video);
  for (const auto& [key, value] : want.tags) {
    if (value.empty()) {
      EXPECT_EQ(tags.count(key), 0u) << key;
    } else {
      EXPECT_EQ(tags.count(key) ? tags.at(key) : "(absent)", value) << key;
    }
  }
  EXPECT_EQ(ProbeAttachedPictures(video), want.pictures);
  EXPECT_EQ(DecodeErrors(video), "");
  EXPECT_TRUE(ProbePacketHashes(video) == packetsBefore) << "media packets changed";
  const t_RunResult ap = AtomicParsleyList(video);
  EXPECT_EQ(ap.exitCode, 0) << ap.err;
  if (want.tags.count("title") && !want.tags.at("title").empty()) {
    EXPECT_NE(ap.out.find("Atom \"\xC2\xA9nam\" contains: " + want.tags.at("title")), std::string::npos)
        << ap.out;
  }
}

// What the user gave the file beside its bytes: the mode and the extended attributes.
std::map<std::string, std::string> UserAttributes(const std::string& path) {
  struct stat st;
  std::map<std::string, std::string> attributes{
      {"mode", ::stat(path.c_str(), &st) == 0 ? std::to_string(st.st_mode & 07777) : "?"}};
  char names[4096];
  const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
  for (const char* name = names; size > 0 && name < names + size; name += std::strlen(name) + 1) {
    char value[4096];
    const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    attributes[name] = n < 0 ? "?" : std::string(value, static_cast<std::size_t>(n));
  }
  return attributes;
}

class ClipLayoutTest : public ::testing::TestWithParam<t_Clip> {};

TEST_P(ClipLayoutTest, MivoraTagsThenRetagsThenBlanks) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(GetParam(), video);
  MakeImage("jpg", scratch / "front.jpg");
  MakeImage("png", scratch / "other.png", 80);
  const std::vector<std::string> packets = ProbePacketHashes(video);
  const std::vector<std::string> jpeg{"mjpeg"}, png{"png"};
  // Kept by every write path, the rewrite's copy included.
  ::chmod(video.c_str(), 0640);
  for (const auto& [name, value] : {std::pair{"user.xdg.comment", "from the festival"},
                                    std::pair{"user.xdg.origin.url", "https://example.org/v"}}) {
    ASSERT_EQ(::setxattr(video.c_str(), name, value, std::strlen(value), 0), 0);
  }
  const auto attributes = UserAttributes(video);

  t_RunResult r = RunNtag({"-meta:title=" + kTitle, "-meta:artist=" + kArtist, "-meta:year=2016",
                           "-meta:genre=MMV", "-meta:comment=" + kComment, "-remove-cover:all",
                           "-add-cover:front:" + scratch / "front.jpg", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ExpectWritten(
      video, packets,
      {{{"title", kTitle}, {"artist", kArtist}, {"date", "2016"}, {"genre", "MMV"}, {"comment", kComment}},
       jpeg});
  EXPECT_EQ(NtagTags(video)["cover"].rfind("front, jpeg, ", 0), 0u);
  EXPECT_EQ(UserAttributes(video), attributes);

  // The second edit finds the padding the first one left and stays in place.
  const std::uint64_t inode = InodeOf(video);
  const std::size_t size = ReadFile(video).size();
  r = RunNtag(
      {"-remove-cover:all", "-add-cover:front:" + scratch / "other.png", "-meta:title=Second", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(InodeOf(video), inode);
  EXPECT_EQ(ReadFile(video).size(), size);
  ExpectWritten(video, packets, {{{"title", "Second"}, {"artist", kArtist}, {"comment", kComment}}, png});

  r = RunNtag({"-meta:title=", "-meta:artist=", "-meta:year=", "-meta:genre=", "-meta:comment=",
               "-remove-cover:all", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(video).size(), size);
  ExpectWritten(video, packets,
                {{{"title", ""}, {"artist", ""}, {"date", ""}, {"genre", ""}, {"comment", ""}}, {}});
  EXPECT_EQ(UserAttributes(video), attributes);
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipLayoutTest,
                         ::testing::Values(t_Clip::MoovAtEnd, t_Clip::Faststart, t_Clip::TaggedCover,
                                           t_Clip::AudioOnly, t_Clip::ManyTracks, t_Clip::Fragmented,
                                           t_Clip::NoTags),
                         [](const auto& p) { return ClipName(p.param); });

TEST(ClipLayoutTest, FaststartStaysFaststartAndMoovAtEndStaysAtEnd) {
  t_ScratchFolder scratch;
  for (t_Clip clip : {t_Clip::Faststart, t_Clip::MoovAtEnd, t_Clip::Fragmented}) {
    const std::string video = scratch / (ClipName(clip) + ".mp4");
    MakeClip(clip, video);
    const t_RunResult r = RunNtag({"-meta:title=Where is moov", video});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const t_RunResult ap = AtomicParsleyList(video);
    const std::string order = RunProgram({"ffprobe", "-v", "trace", "-i", video}).err;
    const auto moov = order.find("type:'moov'"), mdat = order.find("type:'mdat'");
    ASSERT_NE(moov, std::string::npos);
    ASSERT_NE(mdat, std::string::npos);
    EXPECT_EQ(moov < mdat, clip != t_Clip::MoovAtEnd) << ClipName(clip);
  }
}

TEST(ClipLayoutTest, GenreTextReplacesNumericGenreAndOtherItemsStay) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.m4a";
  MakeClip(t_Clip::AudioOnly, video);
  // AtomicParsley writes the numeric genre (gnre) for a standard genre name, and a lyrics item.
  ASSERT_EQ(
      RunProgram({"AtomicParsley", video, "--genre", "Rock", "--lyrics", "la la", "--overWrite"}).exitCode,
      0);
  ASSERT_NE(AtomicParsleyList(video).out.find("gnre"), std::string::npos);
  const t_RunResult r = RunNtag({"-meta:genre=MMV", video});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const t_RunResult ap = AtomicParsleyList(video);
  EXPECT_EQ(ap.out.find("gnre"), std::string::npos) << ap.out;
  EXPECT_NE(ap.out.find("Atom \"\xC2\xA9gen\" contains: MMV"), std::string::npos) << ap.out;
  EXPECT_NE(ap.out.find("la la"), std::string::npos) << "lyrics kept: " << ap.out;
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test

namespace n_zorbel::n_ntag::n_test {
namespace {

// Free boxes inside moov/udta/meta, as AtomicParsley's atom tree shows them.
int FreeBoxesInMeta(const std::string& video) {
  const std::string tree = RunProgram({"AtomicParsley", video, "-T"}).out;
  std::istringstream lines(tree);
  std::string line;
  std::size_t metaIndent = std::string::npos;
  int count = 0;
  while (std::getline(lines, line)) {
    const std::size_t indent = line.find("Atom ");
    if (indent == std::string::npos) continue;
    if (line.compare(indent, 9, "Atom meta") == 0) {
      metaIndent = indent;
    } else if (metaIndent != std::string::npos && indent <= metaIndent) {
      metaIndent = std::string::npos;
    } else if (metaIndent != std::string::npos && line.compare(indent, 9, "Atom free") == 0) {
      ++count;
    }
  }
  return count;
}

// Titles of different lengths and covers of different sizes in turn: after the first write
// every edit must fit in place, using the space on both sides of the old tags.
TEST(ClipLayoutTest, AlternatingCoverSizesAndTitleLengthsStayInPlace) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(t_Clip::Faststart, video);
  MakeImage("png", scratch / "big.png", 400);
  MakeImage("png", scratch / "small.png", 250);
  const auto packets = ProbePacketHashes(video);
  ASSERT_GT(std::filesystem::file_size(scratch / "small.png"), 100000u) << "covers beyond the fixed padding";
  ASSERT_EQ(RunNtag({"-add-cover:front:" + scratch / "big.png", video}).exitCode, 0);
  const auto size = std::filesystem::file_size(video);
  const auto inode = InodeOf(video);
  // Title edits that grow and shrink the tags by a byte or two, beside a large cover.
  for (const char* title : {"A", "BB", "CCC", "BB", "A", "CCC", "DDDD", "A"}) {
    ASSERT_EQ(RunNtag({std::string("-meta:title=") + title, video}).exitCode, 0);
    EXPECT_EQ(InodeOf(video), inode) << title;
    EXPECT_EQ(std::filesystem::file_size(video), size) << title;
    EXPECT_EQ(ProbeTags(video)["title"], title);
  }
  // The free space around the tags stays in one or two boxes; it does not splinter.
  EXPECT_LE(FreeBoxesInMeta(video), 2) << RunProgram({"AtomicParsley", video, "-T"}).out;
  for (int round = 0; round < 6; ++round) {
    const std::string cover = scratch / (round % 2 ? "big.png" : "small.png");
    const std::string title = "Round " + std::to_string(round);
    const t_RunResult r =
        RunNtag({"-remove-cover:all", "-add-cover:front:" + cover, "-meta:title=" + title, video});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::filesystem::file_size(video), size) << "round " << round;
    EXPECT_EQ(InodeOf(video), inode) << "round " << round;
    EXPECT_EQ(ProbeTags(video)["title"], title);
    EXPECT_EQ(NtagTags(video)["cover"],
              "front, png, " + std::to_string(std::filesystem::file_size(cover)) + " bytes");
  }
  EXPECT_EQ(DecodeErrors(video), "");
  EXPECT_TRUE(ProbePacketHashes(video) == packets);
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
