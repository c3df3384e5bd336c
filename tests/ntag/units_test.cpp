// The few pure pieces whose faults would not show through the command line first.
#include <gtest/gtest.h>

#include "ntag_error.hpp"
#include "tag_list.hpp"
#include "utf.hpp"

namespace n_zorbel::n_ntag {
namespace {

TEST(UtfTest, RoundTripsEveryPlaneAndRejectsBadSequences) {
  const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC\xD0\x96";  // A é € 🎬 Ж
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xAC"), (std::u16string{0xD83C, 0xDFAC}));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  }
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', 0xD800, u'y'}), "x\xEF\xBF\xBDy");
}

TEST(TagListTest, KeepsUnknownItemsAndOrderWhileReplacing) {
  t_TagList list;
  list.Set(*FindKey("title"), "One");
  list.Set(*FindKey("Album-Artist"), "AA");
  list.Set(*FindKey("title"), "Two");
  list.Set(*FindKey("track"), "4/9");
  const t_Bytes ilst = list.Serialize();
  const t_TagList again = t_TagList::Parse(t_Bytes(ilst.begin() + 8, ilst.end()));
  EXPECT_EQ(again.Listing(), (std::vector<std::string>{"title = Two", "album_artist = AA", "track = 4/9"}));
  EXPECT_EQ(again.Serialize(), ilst);
  EXPECT_EQ(FindKey("url"), nullptr);
  EXPECT_THROW(list.Set(*FindKey("disc"), "1/"), t_NtagError);
}

TEST(TagListTest, EscapesValuesForOneLine) {
  EXPECT_EQ(EscapeForLine("a\\b\r\n\tc\x01"), "a\\\\b\\r\\n\\tc\\x01");
  EXPECT_EQ(EscapeForLine("Жж 🎬"), "Жж 🎬");
}

}  // namespace
}  // namespace n_zorbel::n_ntag
