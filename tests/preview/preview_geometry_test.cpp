// The preview's geometry, to the pixel.
#include "preview/preview_geometry.hpp"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace n_zorbel::n_preview {

// Found by argument-dependent lookup, so failures print the rectangles.
void PrintTo(const t_Rect& r, std::ostream* out) {
  *out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

t_PreviewLayout Layout(std::uint32_t w, std::uint32_t h, t_PreviewOptions options = {}) {
  return ComputePreviewLayout(t_PictureSize{w, h}, 260, 260, options, 16);
}

TEST(PreviewGeometry, WorkedExamplesInA260By260Item) {
  const t_PreviewOptions defaults;
  const t_PreviewOptions stripOff{true, false, true};
  const t_PreviewOptions stripAndBoxOff{true, false, false};
  struct t_Row {
    std::uint32_t w, h;
    t_PreviewOptions options;
    t_Rect source, destination;
    std::optional<t_Rect> overlay;
    int bitmap;
  };
  const t_Row rows[] = {
      {1920, 1080, defaults, {148, 0, 1624, 1080}, {33, 65, 194, 129}, t_Rect{2, 55, 256, 150}, 206},
      {1000, 800, defaults, {66, 0, 867, 800}, {33, 40, 194, 179}, t_Rect{2, 30, 256, 200}, 205},
      {500, 480, defaults, {0, 9, 500, 461}, {33, 40, 194, 179}, t_Rect{2, 30, 256, 200}, 205},
      {200, 100, defaults, {25, 0, 150, 100}, {33, 65, 194, 129}, t_Rect{2, 55, 256, 150}, 206},
      {1557, 1000, defaults, {237, 0, 1083, 1000}, {33, 40, 194, 179}, t_Rect{2, 30, 256, 200}, 205},
      {1558, 1000, defaults, {27, 0, 1503, 1000}, {33, 65, 194, 129}, t_Rect{2, 55, 256, 150}, 206},
      {600, 800, defaults, {0, 0, 600, 800}, {34, 2, 192, 256}, std::nullopt, 0},
      {15, 10, defaults, {0, 0, 15, 10}, {122, 125, 15, 10}, std::nullopt, 0},
      {256, 256, defaults, {0, 0, 256, 256}, {2, 2, 256, 256}, std::nullopt, 0},
      {300, 200, stripOff, {0, 0, 300, 200}, {2, 45, 256, 170}, std::nullopt, 0},
      {1000, 500, stripAndBoxOff, {0, 0, 1000, 500}, {0, 65, 260, 130}, std::nullopt, 0},
      {500, 1000, stripAndBoxOff, {0, 0, 500, 1000}, {65, 0, 130, 260}, std::nullopt, 0},
      // Edge cases beyond the table.
      {257, 100, stripOff, {0, 0, 257, 100}, {2, 80, 256, 99}, std::nullopt, 0},
      {200, 100, stripOff, {0, 0, 200, 100}, {30, 80, 200, 100}, std::nullopt, 0},  // natural size
      {16, 15, defaults, {0, 0, 16, 15}, {122, 122, 16, 15}, std::nullopt, 0},      // 15 high: no strip
      {300, 300, stripAndBoxOff, {0, 0, 300, 300}, {0, 0, 260, 260}, std::nullopt, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.w << " x " << row.h);
    const auto layout = Layout(row.w, row.h, row.options);
    EXPECT_TRUE(layout.hasPicture);
    EXPECT_EQ(layout.source, row.source);
    EXPECT_EQ(layout.destination, row.destination);
    ASSERT_EQ(layout.overlay.has_value(), row.overlay.has_value());
    if (row.overlay) {
      EXPECT_EQ(layout.overlay->rect, *row.overlay);
      EXPECT_EQ(layout.overlay->bitmapId, row.bitmap);
    }
    EXPECT_EQ(layout.frame, (t_Rect{0, 0, 260, 260}));
  }
}

TEST(PreviewGeometry, WithoutAPictureThePlaceholderIsCentredWithItsTopAtTheMiddle) {
  for (const auto& picture : {std::optional<t_PictureSize>{}, std::optional<t_PictureSize>{{0, 10}},
                              std::optional<t_PictureSize>{{10, 0}}}) {
    const auto layout = ComputePreviewLayout(picture, 261, 241, {}, 16);
    EXPECT_FALSE(layout.hasPicture);
    EXPECT_EQ(layout.background, t_Background::ButtonFace);
    EXPECT_TRUE(layout.darkCells.empty());
    EXPECT_FALSE(layout.overlay);
    EXPECT_EQ(layout.placeholderText, (t_Point{130, 120}));
    EXPECT_EQ(layout.frame, (t_Rect{0, 0, 261, 241}));
  }
}

TEST(PreviewGeometry, ChecksOffGivesThePlainWindowColour) {
  const auto layout = Layout(100, 100, {false, true, true});
  EXPECT_EQ(layout.background, t_Background::Window);
  EXPECT_TRUE(layout.darkCells.empty());
}

// Dark cells of one column, as (top, bottom) pixel rows inclusive.
std::vector<std::pair<int, int>> ColumnRows(const t_PreviewLayout& layout, int left) {
  std::vector<std::pair<int, int>> rows;
  for (const auto& cell : layout.darkCells)
    if (cell.x == left) rows.emplace_back(cell.y, cell.y + cell.height - 1);
  return rows;
}

TEST(PreviewGeometry, CheckerCellsAt96And144Dpi) {
  const auto at96 = ComputePreviewLayout(t_PictureSize{10, 10}, 100, 80, {}, CheckSizeForDpi(96));
  EXPECT_EQ(at96.background, t_Background::Checks);
  EXPECT_EQ(ColumnRows(at96, -6), (std::vector<std::pair<int, int>>{{-6, 9}, {26, 41}, {58, 73}}));
  EXPECT_EQ(ColumnRows(at96, 10), (std::vector<std::pair<int, int>>{{10, 25}, {42, 57}, {74, 89}}));

  const auto at144 = ComputePreviewLayout(t_PictureSize{10, 10}, 100, 80, {}, CheckSizeForDpi(144));
  EXPECT_EQ(ColumnRows(at144, -6), (std::vector<std::pair<int, int>>{{-6, 17}, {42, 65}}));
  EXPECT_EQ(ColumnRows(at144, 18), (std::vector<std::pair<int, int>>{{18, 41}, {66, 89}}));
}

TEST(PreviewGeometry, CheckerCellsCoverTheItemInACheckerboardAndStopAtItsEdges) {
  for (const int c : {16, 20, 24, 32, 7}) {
    for (const auto& [width, height] : {std::pair{260, 260}, std::pair{261, 237}, std::pair{1, 1}}) {
      SCOPED_TRACE(testing::Message() << c << ": " << width << " x " << height);
      const auto layout = ComputePreviewLayout(t_PictureSize{5, 5}, width, height, {}, c);
      std::set<std::pair<int, int>> seen;
      for (const auto& cell : layout.darkCells) {
        EXPECT_EQ(cell.width, c);
        EXPECT_EQ(cell.height, c);
        EXPECT_EQ((cell.x + 6) % c, 0);
        EXPECT_EQ((cell.y + 6) % c, 0);
        const int i = (cell.x + 6) / c, j = (cell.y + 6) / c;
        EXPECT_EQ((i + j) % 2, 0);
        EXPECT_LT(cell.x, width);
        EXPECT_LT(cell.y, height);
        seen.insert({i, j});
      }
      // Every cell position that reaches into the item and has even parity is there.
      for (int i = 0; - 6 + i * c < width; ++i)
        for (int j = 0; - 6 + j * c < height; ++j)
          EXPECT_EQ(seen.count({i, j}), (i + j) % 2 == 0 ? 1u : 0u) << i << "," << j;
    }
  }
}

TEST(PreviewGeometry, CheckSizeFollowsTheDpiAndSurvivesAnUnreadableDpi) {
  EXPECT_EQ(CheckSizeForDpi(96), 16);
  EXPECT_EQ(CheckSizeForDpi(120), 20);
  EXPECT_EQ(CheckSizeForDpi(144), 24);
  EXPECT_EQ(CheckSizeForDpi(192), 32);
  EXPECT_EQ(CheckSizeForDpi(100), 16);  // truncated
  EXPECT_EQ(CheckSizeForDpi(0), 16);
  // A cell size of 0 would never reach the item's edge.
  const auto layout = ComputePreviewLayout(t_PictureSize{5, 5}, 40, 40, {}, 0);
  EXPECT_EQ(layout.darkCells.front().width, 16);
}

TEST(PreviewGeometry, HugePicturesDoNotOverflow) {
  const auto layout = Layout(4'000'000, 3'000'000);
  ASSERT_TRUE(layout.overlay);
  EXPECT_EQ(layout.overlay->bitmapId, 205);  // aspect 1333
  EXPECT_EQ(layout.destination, (t_Rect{33, 40, 194, 179}));
  EXPECT_EQ(layout.source.height, 3'000'000);
  const auto boxed = Layout(4'000'000, 3'000'000, {true, false, true});
  EXPECT_EQ(boxed.destination, (t_Rect{2, 34, 256, 192}));
}

TEST(PreviewGeometry, AnItemSmallerThanTheBoxCentresWithNegativeOffsets) {
  const auto layout = ComputePreviewLayout(t_PictureSize{1920, 1080}, 100, 100, {}, 16);
  EXPECT_EQ(layout.destination, (t_Rect{-47, -14, 194, 129}));
  EXPECT_EQ(layout.overlay->rect, (t_Rect{-78, -25, 256, 150}));
}

}  // namespace
}  // namespace n_zorbel::n_preview
