#include "tagging/tag_set.hpp"

#include <gtest/gtest.h>

namespace n_zorbel::n_tagging {
namespace {

TEST(ComposeComment, LabelsLinesAndSeparatesThemWithALoneCarriageReturn) {
  struct {
    const t_Char* audio;
    const t_Char* video;
    const t_Char* text;
    const t_Char* comment;
  } const cases[] = {
      {ZTEXT(""), ZTEXT(""), ZTEXT(""), ZTEXT("")},
      {ZTEXT("A"), ZTEXT(""), ZTEXT(""), ZTEXT("Audio: A")},
      {ZTEXT(""), ZTEXT("V"), ZTEXT(""), ZTEXT("Video: V")},
      {ZTEXT(""), ZTEXT(""), ZTEXT("T"), ZTEXT("T")},
      {ZTEXT("A"), ZTEXT("V"), ZTEXT(""), ZTEXT("Audio: A\rVideo: V")},
      {ZTEXT("A"), ZTEXT(""), ZTEXT("T"), ZTEXT("Audio: A\rComment: T")},
      {ZTEXT(""), ZTEXT("V"), ZTEXT("T"), ZTEXT("Video: V\rComment: T")},
      {ZTEXT("A"), ZTEXT("V"), ZTEXT("T"), ZTEXT("Audio: A\rVideo: V\rComment: T")},
      // Line breaks typed into the multi-line fields pass unchanged.
      {ZTEXT(""), ZTEXT("V1\r\nV2"), ZTEXT("T1\r\nT2"), ZTEXT("Video: V1\r\nV2\rComment: T1\r\nT2")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComposeComment(c.audio, c.video, c.text), c.comment)
        << testing::PrintToString(t_String(c.audio)) << testing::PrintToString(t_String(c.video))
        << testing::PrintToString(t_String(c.text));
  }
}

TEST(GatherTagSet, StoresEachTextInItsOwnFieldAndKeepsTheCover) {
  t_TagSet tags;
  tags.coverPath = ZTEXT("c.jpg");
  bool removeBlank = true;
  const t_TagFieldTexts texts{ZTEXT("Ti"), ZTEXT("Ar"), ZTEXT("Ge"), ZTEXT("Ye"),
                              ZTEXT("Au"), ZTEXT("Vi"), ZTEXT("Co")};
  EXPECT_TRUE(GatherTagSet(texts, false, tags, removeBlank));
  EXPECT_FALSE(removeBlank);
  EXPECT_EQ(tags.coverPath, ZTEXT("c.jpg"));
  EXPECT_EQ(tags.title, ZTEXT("Ti"));
  EXPECT_EQ(tags.artist, ZTEXT("Ar"));
  EXPECT_EQ(tags.genre, ZTEXT("Ge"));
  EXPECT_EQ(tags.year, ZTEXT("Ye"));
  EXPECT_EQ(tags.comment, ZTEXT("Audio: Au\rVideo: Vi\rComment: Co"));
}

// A run is worth starting unless the box is unchecked and all six strings,
// the cover included, are empty; only the length makes a value empty.
TEST(GatherTagSet, DecidesWhetherARunWouldChangeAnything) {
  struct {
    const char* name;
    const t_Char* cover;
    t_String t_TagFieldTexts::*field;  // the one text filled, if any
    const t_Char* text;
    bool checked;
    bool worthRunning;
  } const cases[] = {
      {"nothing", ZTEXT(""), nullptr, ZTEXT(""), false, false},
      {"nothing, box ticked", ZTEXT(""), nullptr, ZTEXT(""), true, true},
      {"only a cover", ZTEXT("C:\\f.png"), nullptr, ZTEXT(""), false, true},
      {"title of blanks", ZTEXT(""), &t_TagFieldTexts::title, ZTEXT("   "), false, true},
      {"only a year", ZTEXT(""), &t_TagFieldTexts::year, ZTEXT("x"), false, true},
      {"only a video source", ZTEXT(""), &t_TagFieldTexts::videoSources, ZTEXT("V"), false, true},
  };
  for (const auto& c : cases) {
    t_TagFieldTexts texts;
    if (c.field) texts.*c.field = c.text;
    t_TagSet tags;
    tags.coverPath = c.cover;
    tags.title = ZTEXT("left from the last Apply");
    bool removeBlank = !c.checked;
    EXPECT_EQ(GatherTagSet(texts, c.checked, tags, removeBlank), c.worthRunning) << c.name;
    EXPECT_EQ(removeBlank, c.checked) << c.name;
    // The texts are stored even when nothing is run.
    EXPECT_EQ(tags.title, texts.title) << c.name;
  }
}

}  // namespace
}  // namespace n_zorbel::n_tagging
