// The few pure pieces whose faults would not show through the command line first.
#include <gtest/gtest.h>

#include "fragment_moves.hpp"
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

}  // namespace
}  // namespace n_zorbel::n_ntag
