#pragma once
// Readers for the committed artwork, written apart from the generator's
// writers so that a fault in one is not mirrored by the other. They accept
// only what the program's loaders need and throw std::runtime_error on
// anything else.
#include <cstdint>
#include <string>
#include <vector>

namespace n_zorbel::n_test {

using t_Bytes = std::vector<std::uint8_t>;

struct t_Pixel {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

// Rows top-down, whatever order the file stores them in.
struct t_Picture {
  int width = 0;
  int height = 0;
  std::vector<t_Pixel> pixels;
  const t_Pixel& At(int x, int y) const { return pixels.at(static_cast<std::size_t>(y) * width + x); }
};

struct t_BmpInfo {
  std::uint32_t headerSize = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  bool bottomUp = false;
};

t_Bytes ReadFileBytes(const std::string& path);

// A BITMAPINFOHEADER (or later) DIB with 32 bits per pixel; bytes as stored.
t_Picture ReadBmp(const t_Bytes& file, t_BmpInfo* info = nullptr);

// An 8-bit RGBA, non-interlaced PNG; every chunk CRC and the Adler-32 are checked.
t_Picture ReadPng(const t_Bytes& file);

struct t_IconEntry {
  int width = 0;  // from the directory, 0 read as 256
  int height = 0;
  int bitsPerPixel = 0;
  bool isPng = false;
  t_Picture picture;
  bool maskMatchesAlpha = true;  // AND mask set exactly where alpha is 0 (BMP entries)
};
std::vector<t_IconEntry> ReadIco(const t_Bytes& file);

}  // namespace n_zorbel::n_test
