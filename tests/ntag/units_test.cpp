// The few pure pieces whose faults would not show through the command line first.
#include <gtest/gtest.h>

#include "ntag_error.hpp"
#include "tag_list.hpp"

namespace n_zorbel::n_ntag {
namespace {

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
