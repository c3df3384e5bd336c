// The committed artwork, read back as the program's loaders read it: the
// film-strip overlays' geometry to the pixel (the preview places the cover
// under their window by fixed offsets), their premultiplied alpha, the icon's
// nine sizes, and that the PNG copies hold the same pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "image_reader.hpp"
#include "support/scratch_folder.hpp"

namespace n_zorbel::n_test {
namespace {

std::string Image(const std::string& name) { return std::string(MIVORA_IMAGES_DIR) + "/" + name; }

struct t_Strip {
  const char* name;  // file name without extension
  int height;
  int windowBottom;  // last transparent row of the window
};
// Bitmap 205 frames tall pictures, 206 wide ones.
constexpr t_Strip kStrips[] = {{"film_strip_tall", 200, 183}, {"film_strip_wide", 150, 133}};
constexpr int kWindowLeft = 32, kWindowRight = 219, kWindowTop = 11;

void PrintTo(const t_Strip& strip, std::ostream* out) { *out << strip.name; }

class FilmStrip : public testing::TestWithParam<t_Strip> {
 protected:
  void SetUp() override {
    m_picture = ReadBmp(ReadFileBytes(Image(std::string(GetParam().name) + ".bmp")), &m_info);
  }
  int BarTop() const { return GetParam().windowBottom + 1; }
  int BarBottom() const { return GetParam().windowBottom + 7; }
  t_Picture m_picture;
  t_BmpInfo m_info;
};

std::string Where(int x, int y) { return "at " + std::to_string(x) + ", " + std::to_string(y); }

TEST_P(FilmStrip, IsA256Wide32BitUncompressedBottomUpBitmap) {
  EXPECT_EQ(m_picture.width, 256);
  EXPECT_EQ(m_picture.height, GetParam().height);
  EXPECT_EQ(m_info.bitsPerPixel, 32);
  EXPECT_EQ(m_info.compression, 0u);  // BI_RGB
  EXPECT_TRUE(m_info.bottomUp);
}

TEST_P(FilmStrip, ColourChannelsNeverExceedAlpha) {
  for (int y = 0; y < m_picture.height; ++y)
    for (int x = 0; x < m_picture.width; ++x) {
      const t_Pixel& p = m_picture.At(x, y);
      ASSERT_LE(std::max({p.r, p.g, p.b}), p.a) << Where(x, y);
    }
}

TEST_P(FilmStrip, OuterRingAndWindowAreFullyTransparent) {
  const int w = m_picture.width, h = m_picture.height;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool ring = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      const bool window =
          x >= kWindowLeft && x <= kWindowRight && y >= kWindowTop && y <= GetParam().windowBottom;
      if (ring || window) {
        ASSERT_EQ(m_picture.At(x, y).a, 0) << Where(x, y);
      }
    }
}

// Together with the transparent window these fix its bounds exactly: the row
// above, the row below and the columns either side are opaque.
TEST_P(FilmStrip, BarsAndEdgesAroundTheWindowAreOpaqueGreyAboveAndBlackElsewhere) {
  for (int x = 29; x <= 222; ++x) {
    for (int y = 4; y <= 10; ++y) {
      const t_Pixel& p = m_picture.At(x, y);
      ASSERT_EQ(p.a, 255) << Where(x, y);
      ASSERT_GE(p.r, 0x20) << "dark grey, not black, " << Where(x, y);
      ASSERT_LE(std::max({p.r, p.g, p.b}), 0x60) << Where(x, y);
      ASSERT_LE(std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}), 12) << "grey " << Where(x, y);
    }
    for (int y = BarTop(); y <= BarBottom(); ++y) {
      ASSERT_EQ(m_picture.At(x, y).a, 255) << Where(x, y);
      ASSERT_LE(std::max({m_picture.At(x, y).r, m_picture.At(x, y).g, m_picture.At(x, y).b}), 0x10)
          << Where(x, y);
    }
  }
  for (int y = kWindowTop; y <= BarBottom(); ++y)
    for (int x : {29, 30, 31, 220, 221, 222}) {
      const t_Pixel& p = m_picture.At(x, y);
      ASSERT_EQ(p.a, 255) << Where(x, y);
      ASSERT_LE(std::max({p.r, p.g, p.b}), 0x10) << Where(x, y);
    }
}

TEST_P(FilmStrip, ShadowUnderTheBottomBarFadesOut) {
  for (int x = kWindowLeft; x <= kWindowRight; x += 17) {
    int previous = 255;
    for (int y = BarBottom() + 1; y < m_picture.height; ++y) {
      ASSERT_LE(m_picture.At(x, y).a, previous) << Where(x, y);
      previous = m_picture.At(x, y).a;
    }
    EXPECT_GT(m_picture.At(x, BarBottom() + 1).a, 0) << "a shadow at " << x;
    EXPECT_LT(m_picture.At(x, BarBottom() + 1).a, 255) << "a soft shadow at " << x;
  }
}

// A sprocket hole is a run of see-through pixels with film on both sides of
// it in the same row; the holes must follow one another at a fixed step.
TEST_P(FilmStrip, BothFilmEdgesHaveSprocketHolesAtRegularSteps) {
  for (auto [from, to] : {std::pair{1, 28}, std::pair{223, 254}}) {
    std::vector<int> holeTops;
    bool inHole = false;
    for (int y = 1; y < m_picture.height - 1; ++y) {
      bool holeInRow = false;
      int x = from;
      while (x <= to && m_picture.At(x, y).a < 255) ++x;   // the shadowed outside
      while (x <= to && m_picture.At(x, y).a == 255) ++x;  // film
      const int holeStart = x;
      while (x <= to && m_picture.At(x, y).a < 255) ++x;
      if (x > holeStart && x <= to && m_picture.At(x, y).a == 255) holeInRow = true;
      if (holeInRow && !inHole) holeTops.push_back(y);
      inHole = holeInRow;
    }
    ASSERT_GE(holeTops.size(), 6u) << "columns " << from << " to " << to;
    for (std::size_t i = 2; i < holeTops.size(); ++i)
      EXPECT_EQ(holeTops[i] - holeTops[i - 1], holeTops[1] - holeTops[0])
          << "hole " << i << ", columns " << from;
  }
}

// Qt loads the PNG copy (straight alpha); premultiplied, it must give the
// bitmap's pixels.
TEST_P(FilmStrip, PngCopyHoldsTheSamePixelsWithStraightAlpha) {
  const t_Picture png = ReadPng(ReadFileBytes(Image(std::string(GetParam().name) + ".png")));
  ASSERT_EQ(png.width, m_picture.width);
  ASSERT_EQ(png.height, m_picture.height);
  for (std::size_t i = 0; i < png.pixels.size(); ++i) {
    const t_Pixel& s = png.pixels[i];
    const t_Pixel& p = m_picture.pixels[i];
    ASSERT_EQ(s.a, p.a) << "pixel " << i;
    auto premultiplied = [&](int c) { return (c * s.a + 127) / 255; };
    ASSERT_LE(std::abs(premultiplied(s.r) - p.r), 1) << "pixel " << i;
    ASSERT_LE(std::abs(premultiplied(s.g) - p.g), 1) << "pixel " << i;
    ASSERT_LE(std::abs(premultiplied(s.b) - p.b), 1) << "pixel " << i;
  }
}

std::string StripName(const testing::TestParamInfo<t_Strip>& strip) { return strip.param.name; }
INSTANTIATE_TEST_SUITE_P(Overlays, FilmStrip, testing::ValuesIn(kStrips), StripName);

TEST(AppIcon, HoldsExactlyTheNineSizesIn32Bits) {
  const std::vector<t_IconEntry> entries = ReadIco(ReadFileBytes(Image("mivora.ico")));
  std::vector<int> sizes;
  for (const t_IconEntry& e : entries) {
    SCOPED_TRACE(e.width);
    EXPECT_EQ(e.width, e.height);
    EXPECT_EQ(e.bitsPerPixel, 32);
    EXPECT_EQ(e.picture.width, e.width) << "directory and image agree";
    EXPECT_EQ(e.picture.height, e.height);
    EXPECT_TRUE(e.maskMatchesAlpha);
    // Drawn with soft edges: some pixels partly transparent, the middle opaque.
    EXPECT_TRUE(std::any_of(e.picture.pixels.begin(), e.picture.pixels.end(),
                            [](const t_Pixel& p) { return p.a > 0 && p.a < 255; }));
    EXPECT_EQ(e.picture.At(e.width / 2, e.height / 2).a, 255);
    sizes.push_back(e.width);
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 128, 256}));
}

TEST(AppIcon, HicolorPngsMatchTheIconsImages) {
  std::map<int, t_Picture> fromIco;
  for (t_IconEntry& e : ReadIco(ReadFileBytes(Image("mivora.ico")))) fromIco[e.width] = std::move(e.picture);
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    const t_Picture png = ReadPng(ReadFileBytes(Image("mivora-" + std::to_string(size) + ".png")));
    ASSERT_EQ(png.width, size);
    ASSERT_EQ(png.height, size);
    ASSERT_TRUE(fromIco.count(size));
    for (std::size_t i = 0; i < png.pixels.size(); ++i) {
      const t_Pixel &a = png.pixels[i], &b = fromIco[size].pixels[i];
      ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) << "pixel " << i;
    }
  }
  const t_Bytes svg = ReadFileBytes(Image("mivora.svg"));
  EXPECT_NE(std::string(svg.begin(), svg.end()).find("viewBox=\"0 0 256 256\""), std::string::npos);
}

// The committed files must be what the generator draws now, or a change to it
// was not followed by resources/art/generate.
TEST(ArtworkGenerator, RedrawsTheCommittedFilesByteForByte) {
  const n_testing::t_ScratchFolder scratch;
  const std::filesystem::path out = scratch.Fs();
  const std::string command = std::string("\"") + MIVORA_ART_GENERATOR + "\" \"" + out.string() + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MIVORA_IMAGES_DIR)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(std::filesystem::exists(out / name)) << name << " is no longer drawn";
    if (std::filesystem::exists(out / name)) {
      EXPECT_TRUE(ReadFileBytes(entry.path().string()) == ReadFileBytes((out / name).string()))
          << name << " differs from what resources/art/generate draws";
    }
    ++files;
  }
  for (const auto& entry : std::filesystem::directory_iterator(out))
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(MIVORA_IMAGES_DIR) / entry.path().filename()))
        << entry.path().filename() << " is drawn but not committed";
  EXPECT_EQ(files, 13);
}

}  // namespace
}  // namespace n_zorbel::n_test
