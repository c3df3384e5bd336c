// The few pure pieces whose faults would not show through the command line first.
#include <gtest/gtest.h>

#include "box_builder.hpp"
#include "movie.hpp"
#include "ntag_error.hpp"
#include "other_stores.hpp"
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

// A data box whose size says less than its own header, or more than its item holds, in each
// store: read as nothing (or unreadable), never past the item (the asan build would abort).
TEST(StoresTest, InnerSizesBelowTheHeaderOrPastTheItemReadNothing) {
  using n_test::Box;
  using n_test::Zeros;
  const std::string hdlr = Box("hdlr", Zeros(8) + "mdirappl" + Zeros(9));
  const std::string keysHdlr = Box("hdlr", Zeros(8) + "mdta" + Zeros(13));
  const std::string keys = Box("keys", Zeros(7) + "\1" + Box("mdta", "com.apple.quicktime.make"));
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t s = 0; s < 16; ++s) sizes.push_back(s);
  sizes.insert(sizes.end(), {33, 1000, 0xFFFFFFFF});
  for (const std::uint32_t inner : sizes) {
    std::string data = Box("data", std::string("\0\0\0\1", 4) + Zeros(4) + "0123456789abcdef");
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(inner >> (24 - 8 * i));
    const std::string udta = Box("udta", Box("\xA9nam", data) + Box("meta", Zeros(4) + hdlr +
                                                                    Box("ilst", Box("\xA9" "ART", data))));
    const std::string meta = Box("meta", Zeros(4) + keysHdlr + keys + Box("ilst", Box(Zeros(3) + "\1", data)));
    const std::string moov = Box("moov", udta + meta);
    t_Movie movie = t_Movie::Parse(t_Bytes(moov.begin(), moov.end()), 0);
    // Size 0 in Keys is a box to the end of its item, as players read it.
    const std::string keysValue = inner == 0 ? "0123456789abcdef" : "(unreadable)";
    EXPECT_EQ(OtherStoresListing(movie),
              (std::vector<std::string>{"udta:title = ", "keys:com.apple.quicktime.make = " + keysValue}))
        << inner;
    EXPECT_EQ(t_TagList::Parse(movie.IlstPayload()).Listing(), std::vector<std::string>{"artist = (unreadable)"})
        << inner;
    EXPECT_TRUE(RemoveFromOtherStores(movie, {"title", "artist"})) << inner;
  }
}

}  // namespace
}  // namespace n_zorbel::n_ntag
