#include "preview/cover_bounds.hpp"

#include <algorithm>
#include <cstddef>

namespace n_zorbel::n_preview {

namespace {

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) noexcept {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = value << 8 | bytes[at + i];
  return value;
}

bool PixelsFit(std::uint64_t width, std::uint64_t height) noexcept {
  return width != 0 && height != 0 && width * height <= kLargestCoverPixels;
}

bool PngFits(std::span<const std::uint8_t> bytes) noexcept {
  // Signature, then the IHDR chunk: length 13, type, width, height.
  static constexpr std::uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                            0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  if (bytes.size() < sizeof kStart + 8 || !std::equal(std::begin(kStart), std::end(kStart), bytes.begin()))
    return false;
  return PixelsFit(BigEndian(bytes, 16, 4), BigEndian(bytes, 20, 4));
}

// Markers without a length: TEM, RST0..7, SOI, EOI.
bool StandsAlone(std::uint8_t marker) noexcept {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9);
}

// Frame headers: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
bool StartsFrame(std::uint8_t marker) noexcept {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the markers as a decoder does: bytes between segments are skipped up
// to the next 0xFF, fill bytes (0xFF) before a marker are skipped, and the
// entropy-coded data after each scan header runs to the first 0xFF that is
// followed by neither 0x00 (a stuffed byte) nor a restart marker.
bool JpegFits(std::span<const std::uint8_t> bytes) noexcept {
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  bool framed = false;
  std::uint32_t scans = 0;
  std::size_t at = 2;
  for (;;) {
    while (at < bytes.size() && bytes[at] != 0xFF) ++at;
    while (at < bytes.size() && bytes[at] == 0xFF) ++at;
    // The end, or a file cut short after its scans: decoders show what came.
    if (at >= bytes.size() || bytes[at] == 0xD9) return framed && scans > 0;
    const std::uint8_t marker = bytes[at++];
    if (marker == 0x00 || StandsAlone(marker)) continue;
    if (at + 2 > bytes.size()) return framed && scans > 0;
    const std::size_t length = BigEndian(bytes, at, 2);
    if (length < 2) return false;
    if (at + length > bytes.size()) return framed && scans > 0;
    if (StartsFrame(marker) && !framed) {
      // Length, precision, height, width.
      if (length < 7 || !PixelsFit(BigEndian(bytes, at + 5, 2), BigEndian(bytes, at + 3, 2))) return false;
      framed = true;
    }
    at += length;
    if (marker != 0xDA) continue;  // SOS
    if (!framed || ++scans > kMostCoverScans) return false;
    for (; at + 1 < bytes.size(); ++at)
      if (bytes[at] == 0xFF && bytes[at + 1] != 0x00 && (bytes[at + 1] < 0xD0 || bytes[at + 1] > 0xD7)) break;
  }
}

}  // namespace

bool CoverFitsBounds(std::span<const std::uint8_t> bytes) noexcept {
  return bytes.size() <= kLargestCoverFile && (PngFits(bytes) || JpegFits(bytes));
}

}  // namespace n_zorbel::n_preview
