#include "tagging/listed_tags.hpp"

#include <gtest/gtest.h>

#include <string>

namespace n_zorbel::n_tagging {
namespace {

TEST(SplitComment, GivesBackEveryFoldedFormAndNothingElse) {
  struct {
    const t_Char* comment;
    t_CommentParts parts;
  } const cases[] = {
      // Every combination ComposeComment writes, line breaks of the multi-line fields included.
      {ZTEXT(""), {}},
      {ZTEXT("Audio: A"), {ZTEXT("A"), {}, {}}},
      {ZTEXT("Video: V"), {{}, ZTEXT("V"), {}}},
      {ZTEXT("T"), {{}, {}, ZTEXT("T")}},
      {ZTEXT("Audio: A\rVideo: V"), {ZTEXT("A"), ZTEXT("V"), {}}},
      {ZTEXT("Audio: A\rComment: T"), {ZTEXT("A"), {}, ZTEXT("T")}},
      {ZTEXT("Video: V\rComment: T"), {{}, ZTEXT("V"), ZTEXT("T")}},
      {ZTEXT("Audio: A\rVideo: V1\r\nV2\rComment: T1\r\nComment: x"),
       {ZTEXT("A"), ZTEXT("V1\r\nV2"), ZTEXT("T1\r\nComment: x")}},
      // Comments that only look folded stay whole.
      {ZTEXT("Comment: T"), {{}, {}, ZTEXT("Comment: T")}},
      {ZTEXT("Audio: A\nVideo: V"), {{}, {}, ZTEXT("Audio: A\nVideo: V")}},
      {ZTEXT("Audio: A\r\nVideo: V"), {{}, {}, ZTEXT("Audio: A\r\nVideo: V")}},
      {ZTEXT("Audio: \rVideo: V"), {{}, {}, ZTEXT("Audio: \rVideo: V")}},
      {ZTEXT("Audio: A\rComment: "), {{}, {}, ZTEXT("Audio: A\rComment: ")}},
      {ZTEXT("Video: V\rAudio: A"), {{}, {}, ZTEXT("Video: V\rAudio: A")}},
      {ZTEXT("Audio: A\rVideo: V\rfree"), {{}, {}, ZTEXT("Audio: A\rVideo: V\rfree")}},
      {ZTEXT("audio: A"), {{}, {}, ZTEXT("audio: A")}},
      {ZTEXT("Audio: A\rComment: T\rx"), {{}, {}, ZTEXT("Audio: A\rComment: T\rx")}},
  };
  for (const auto& c : cases) {
    const t_CommentParts parts = SplitComment(c.comment);
    EXPECT_EQ(parts, c.parts) << testing::PrintToString(t_String(c.comment));
    EXPECT_EQ(ComposeComment(parts.audio, parts.video, parts.text), c.comment);
  }
}

TEST(YearOfDate, ADateGivesItsYearAndAnythingElseStays) {
  const std::pair<const t_Char*, const t_Char*> cases[] = {
      {ZTEXT("2016"), ZTEXT("2016")},
      {ZTEXT("2016-05-03T10:20:30.000000Z"), ZTEXT("2016")},
      {ZTEXT("2016:05:03 10:20:30"), ZTEXT("2016")},
      {ZTEXT("2016T"), ZTEXT("2016")},
      {ZTEXT("32767"), ZTEXT("32767")},
      {ZTEXT("20160503"), ZTEXT("20160503")},
      {ZTEXT("99-01-01"), ZTEXT("99-01-01")},
      {ZTEXT("circa 1999"), ZTEXT("circa 1999")},
      {ZTEXT(""), ZTEXT("")},
  };
  for (const auto& [value, year] : cases) EXPECT_EQ(YearOfDate(value), year) << ToUtf8(value);
}

TEST(ReadListing, TakesTheFirstEntryOfEachTagWholeAndTheFirstCover) {
  const std::string listing =
      "text\tencoded_by\tLavf\n"
      "data\ttitle\t12 bytes of type 0\n"
      "text\tartist\tback\\\\slash\\ttab\\x01 \xC3\xA9\\xff\n"
      "text\tudta:title\tOld QuickTime title\n"
      "text\tkeys:title\tKeys title\n"
      "text\tudta:artist\tNot this one\n"
      "text\tkeys:year\t2016-05-03T10:00:00Z\n"
      "text\tkeys:com.apple.quicktime.genre.x\tNo genre\n"
      "text\t3gpp:comment\tAudio: A\\rVideo: V\\r\\nW\\rComment: T\n"
      "text\tcomment\n"
      "cover\t1\tpng\t100\n"
      "cover\t2\tjpeg\t200\n"
      "garbage line\\";
  const t_ListedTags tags = ReadListing(listing);
  EXPECT_EQ(tags.fields.title, ZTEXT("Old QuickTime title"));
  // A byte that is no UTF-8 passes on POSIX and is U+FFFD on Windows, as every text is.
  EXPECT_EQ(tags.fields.artist, FromUtf8("back\\slash\ttab\x01 \xC3\xA9\xFF"));
  EXPECT_EQ(tags.fields.genre, ZTEXT(""));
  EXPECT_EQ(tags.fields.year, ZTEXT("2016"));
  EXPECT_EQ(tags.fields.audioSources, ZTEXT("A"));
  EXPECT_EQ(tags.fields.videoSources, ZTEXT("V\r\nW"));
  EXPECT_EQ(tags.fields.comment, ZTEXT("T"));
  EXPECT_TRUE(tags.hasCover);
  EXPECT_EQ(tags.coverExtension, ZTEXT(".png"));
  EXPECT_FALSE(ReadListing("text\ttitle\tx\n").hasCover);
}

// iTunes' numeric genre (AtomicParsley writes one for the standard genres) loads as players
// name it (ffprobe's names); a text genre before it wins, and a number no player names is none.
TEST(ReadListing, ANumericGenreLoadsAsPlayersNameIt) {
  const std::pair<const char*, const t_Char*> cases[] = {
      {"text\tgnre\t1\n", ZTEXT("Blues")},
      {"text\tgnre\t18\n", ZTEXT("Rock")},
      {"text\tgnre\t191\n", ZTEXT("Garage Rock")},
      {"text\tgnre\t192\ntext\tudta:genre\tQuickTime genre\n", ZTEXT("QuickTime genre")},
      {"text\tgnre\t0\n", ZTEXT("")},
      {"text\tgnre\t18x\n", ZTEXT("")},
      {"text\tgenre\tAMV\ntext\tgnre\t18\n", ZTEXT("AMV")},
      {"text\tgnre\t18\ntext\tudta:genre\tOld\n", ZTEXT("Rock")},
  };
  for (const auto& [listing, genre] : cases) EXPECT_EQ(ReadListing(listing).fields.genre, genre) << listing;
}

}  // namespace
}  // namespace n_zorbel::n_tagging
