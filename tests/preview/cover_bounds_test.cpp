// The bounds a cover must keep before it is decoded, on byte-built files.
#include "preview/cover_bounds.hpp"

#include <gtest/gtest.h>

#include <string>

#include "cover_bytes.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_preview::CoverFitsBounds;
using n_preview::kMostCoverScans;

t_Bytes Cut(t_Bytes bytes, std::size_t keep) {
  bytes.resize(keep);
  return bytes;
}

t_Bytes WithSecondFrame(std::uint32_t width, std::uint32_t height) {
  t_Bytes bytes = Jpeg(64, 64, 1);
  const t_Bytes other = Jpeg(width, height, 1);
  // The second frame header goes after the first scan: only the first counts.
  bytes.insert(bytes.end() - 2, other.begin() + 20, other.begin() + 33);
  return bytes;
}

TEST(CoverBounds, OnlyJpegAndPngInsideThePixelAndScanBoundsAreDecoded) {
  const t_Bytes scanBomb = Jpeg(64, 64, 5000);
  t_Bytes garbageBetween = Jpeg(64, 64, 2);
  garbageBetween.insert(garbageBetween.begin() + 2, {0x00, 0x42, 0xFF, 0xFF});
  t_Bytes scanBeforeFrame = {0xFF, 0xD8};
  AppendSegment(scanBeforeFrame, 0xDA, {1, 1, 0, 0, 63, 0});
  const t_Bytes png = PngHeader(3000, 3000);
  const struct {
    const char* name;
    t_Bytes bytes;
    bool fits;
  } cases[] = {
      {"PNG 3000 x 3000", png, true},
      {"PNG 4096 x 4096", PngHeader(4096, 4096), true},
      {"PNG 8000 x 8000", PngHeader(8000, 8000), false},
      {"PNG 4097 x 4096", PngHeader(4097, 4096), false},
      {"PNG 1 x 2^31", PngHeader(1, 0x80000000u), false},
      {"PNG without a width", PngHeader(0, 10), false},
      {"PNG cut in its IHDR", Cut(png, 20), false},
      {"baseline JPEG 4000 x 4000", Jpeg(4000, 4000, 1, 0xC0), true},
      {"progressive JPEG, ten scans", Jpeg(1000, 1000, 10), true},
      {"progressive JPEG at the scan bound", Jpeg(100, 100, kMostCoverScans), true},
      {"progressive JPEG over the scan bound", Jpeg(100, 100, kMostCoverScans + 1), false},
      {"scan bomb", scanBomb, false},
      {"JPEG 8000 x 8000", Jpeg(8000, 8000, 1, 0xC0), false},
      {"JPEG of height 0 (DNL)", Jpeg(100, 0, 1, 0xC0), false},
      {"JPEG cut after its scans", Cut(Jpeg(100, 100, 3), Jpeg(100, 100, 3).size() - 2), true},
      {"JPEG cut in its frame header", Cut(Jpeg(100, 100, 1), 24), false},
      {"JPEG with bytes between segments", garbageBetween, true},
      {"JPEG scan before any frame", scanBeforeFrame, false},
      {"second frame header too large", WithSecondFrame(8000, 8000), true},
      {"nothing", {}, false},
      {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, false},
      {"BMP", {'B', 'M', 0, 0, 0, 0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(CoverFitsBounds(c.bytes), c.fits) << c.name;
}

}  // namespace
}  // namespace n_zorbel::n_testing
