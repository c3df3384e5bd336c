// The few pure pieces whose faults would not show through the command line first.
#include <gtest/gtest.h>

#include "box_builder.hpp"
#include "model/box.hpp"
#include "model/fragment_moves.hpp"
#include "model/movie.hpp"
#include "model/other_stores.hpp"
#include "model/tag_list.hpp"
#include "ntag_error.hpp"

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
  // Bytes that start no UTF-8 sequence, or an overlong or cut one, are escaped one by one.
  EXPECT_EQ(EscapeForLine("a\xFF\xC0\xAF\xE2\x82"), "a\\xff\\xc0\\xaf\\xe2\\x82");
}

// Box headers in every size form, as ntag reads a parent's children (here at byte 100 of the
// file): what each box spans, or why the parent is damaged and where.
TEST(BoxTest, HeadersOfEverySizeFormAndWhatBreaksThem) {
  using n_test::Box;
  using n_test::Zeros;
  // The box with its 32-bit size field, or its 64-bit one, set to `size`.
  const auto sized = [](std::string box, std::uint32_t size) {
    for (int i = 0; i < 4; ++i) box[i] = static_cast<char>(size >> (24 - 8 * i));
    return box;
  };
  const auto largeSized = [](std::string box, std::uint64_t size) {
    for (int i = 0; i < 8; ++i) box[8 + i] = static_cast<char>(size >> (56 - 8 * i));
    return box;
  };
  const struct {
    const char* name;
    std::string body;
    std::string boxes;  // "type size header [large] [to end] @offset", or empty with an error
    std::string error;
  } cases[] = {
      {"no boxes", "", "", ""},
      {"32-bit sizes", Box("free", Zeros(4)) + Box("mdat", "abc"), "free 12 8 @100, mdat 11 8 @112", ""},
      {"64-bit size, then a 32-bit one", Box("mdat", "x", true) + Box("free", ""),
       "mdat 17 16 large @100, free 8 8 @117", ""},
      {"size 0 runs to the end of the parent", Box("free", "") + sized(Box("mdat", Zeros(20)), 0),
       "free 8 8 @100, mdat 28 8 to end @108", ""},
      {"size 0 with nothing after the header", sized(Box("mdat", ""), 0), "mdat 8 8 to end @100", ""},
      {"uuid: the user type belongs to the header", Box("uuid", Zeros(16) + "data"), "uuid 28 24 @100", ""},
      {"uuid with a 64-bit size", Box("uuid", Zeros(16), true), "uuid 32 32 large @100", ""},
      {"uuid shorter than its user type", Box("uuid", Zeros(8)), "",
       "box 'uuid' smaller than its header inside 'moov' at byte 100"},
      {"32-bit size below the header", sized(Box("free", Zeros(8)), 7), "",
       "box 'free' smaller than its header inside 'moov' at byte 100"},
      {"64-bit size below the header", largeSized(Box("free", Zeros(8), true), 15), "",
       "box 'free' smaller than its header inside 'moov' at byte 100"},
      {"a box past the end of its parent", Box("free", "") + sized(Box("mdat", "abc"), 12), "",
       "box 'mdat' runs past the end of its space inside 'moov' at byte 108"},
      {"a 64-bit size past the end of its parent", largeSized(Box("mdat", "", true), UINT64_MAX), "",
       "box 'mdat' runs past the end of its space inside 'moov' at byte 100"},
      {"a header cut short", Box("free", "") + Zeros(3), "",
       "truncated box header inside 'moov' at byte 108"},
      {"a 64-bit header cut short", Box("mdat", "", true).substr(0, 12), "",
       "truncated box header inside 'moov' at byte 100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const t_Bytes body(c.body.begin(), c.body.end());
    try {
      std::string boxes;
      for (const t_BoxHeader& h : ParseSiblings(body.data(), body.size(), 100, "moov")) {
        boxes += (boxes.empty() ? "" : ", ") + TypeName(h.type) + " " + std::to_string(h.size) + " " +
                 std::to_string(h.headerSize) + (h.largeSize ? " large" : "") + (h.toEnd ? " to end" : "") +
                 " @" + std::to_string(h.offset);
      }
      EXPECT_EQ(boxes, c.boxes);
      EXPECT_EQ(c.error, "");
    } catch (const t_NtagError& e) {
      EXPECT_EQ(e.what(), "damaged MP4: " + c.error);
      EXPECT_EQ(e.Code(), t_ExitCode::NotMp4);
    }
  }
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
    std::vector<std::string> lines;
    for (const t_ListEntry& e : OtherStoresListing(movie)) lines.push_back(ListingLine(e));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"udta:title = ", "keys:com.apple.quicktime.make = " + keysValue}))
        << inner;
    EXPECT_EQ(t_TagList::Parse(movie.IlstPayload()).Listing(), std::vector<std::string>{"artist = (unreadable)"})
        << inner;
    EXPECT_TRUE(RemoveFromOtherStores(movie, {"title", "artist"})) << inner;
  }
}

}  // namespace
}  // namespace n_zorbel::n_ntag
