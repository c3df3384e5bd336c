// The few pure pieces whose faults would not show through the command line first.
#include <gtest/gtest.h>

#include "box_builder.hpp"
#include "fragment_moves.hpp"
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

// A rewrite moves each track fragment's base by where its data lands, whatever side of moov
// the base itself lies on, and refuses what no base field can keep exactly.
TEST(FragmentMovesTest, EachBaseMovesWithItsData) {
  // moov at [1000, 2000) grows by 500; the moof of each case is at 2500 unless said.
  const t_Relocation move(1000, 2000, 1u << 20, 500);
  using t_Base = t_FragmentBase;
  const auto at = [](t_Base from, std::uint64_t base, std::vector<t_DataRange> runs) {
    return t_TrackFragment{from, base, from == t_Base::Explicit ? 16u : 0u, std::move(runs)};
  };
  const struct {
    const char* name;
    std::uint64_t moofAt;
    std::vector<t_TrackFragment> fragments;
    std::vector<std::uint64_t> newBases;  // for the explicit ones that change
    bool refused;
  } cases[] = {
      {"base at the file start, data after moov",
       2500,
       {at(t_Base::Explicit, 0, {{3000, 100}})},
       {500},
       false},
      {"base at the moof", 2500, {at(t_Base::Explicit, 2500, {{2600, 100}, {2700, 0}})}, {3000}, false},
      {"base and data before moov", 2500, {at(t_Base::Explicit, 0, {{100, 50}})}, {}, false},
      {"no data, base after moov", 2500, {at(t_Base::Explicit, 2600, {})}, {3100}, false},
      {"from the moof, data after", 2500, {at(t_Base::Moof, 2500, {{2600, 100}})}, {}, false},
      {"following a moved fragment",
       2500,
       {at(t_Base::Explicit, 0, {{3000, 100}}), at(t_Base::Previous, 3100, {{3100, 50}})},
       {500},
       false},
      {"data on both sides of moov", 2500, {at(t_Base::Explicit, 0, {{100, 50}, {3000, 50}})}, {}, true},
      {"data across the end of moov", 2500, {at(t_Base::Explicit, 0, {{1990, 20}})}, {}, true},
      {"data inside moov", 2500, {at(t_Base::Explicit, 0, {{1500, 20}})}, {}, true},
      {"from the moof, data before moov", 2500, {at(t_Base::Moof, 2500, {{100, 50}})}, {}, true},
      {"from a moof before moov, data after", 500, {at(t_Base::Moof, 500, {{3000, 50}})}, {}, true},
      {"following data that stays, data after",
       2500,
       {at(t_Base::Explicit, 0, {{100, 50}}), at(t_Base::Previous, 150, {{3000, 50}})},
       {},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      std::vector<std::uint64_t> bases;
      for (const t_FieldWrite& w : PlanTrackFragmentMoves(c.fragments, c.moofAt, move)) {
        EXPECT_EQ(w.position, c.moofAt + 16);
        EXPECT_EQ(w.width, 8u);
        bases.push_back(w.value);
      }
      EXPECT_FALSE(c.refused);
      EXPECT_EQ(bases, c.newBases);
    } catch (const t_NtagError& e) {
      EXPECT_TRUE(c.refused) << e.what();
      EXPECT_EQ(e.Code(), t_ExitCode::LayoutRefused);
    }
  }
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
