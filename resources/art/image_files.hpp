#pragma once
// Writers for the file formats the artwork ships in: PNG (with a small
// deflate of our own, so the generator needs nothing beyond the standard
// library), Windows BMP and ICO.
#include <cstdint>
#include <string>
#include <vector>

namespace n_zorbel::n_art {

using t_Bytes = std::vector<std::uint8_t>;

// 8 bits per channel, rows top-down, RGBA order.
struct t_Image8 {
  int width = 0;
  int height = 0;
  bool premultiplied = false;  // colour channels already multiplied by alpha
  std::vector<std::uint8_t> rgba;
};

// zlib stream (RFC 1950) holding one deflate block with the fixed Huffman
// codes and LZ77 matches.
t_Bytes ZlibCompress(const t_Bytes& data);
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// PNG stores straight alpha; a premultiplied image is converted first.
t_Bytes EncodePng(const t_Image8& image);

// 32 bits per pixel, BI_RGB, bottom-up, BGRA with the alpha byte as it is in
// the image (premultiplied for the overlays that GdiAlphaBlend draws).
t_Bytes EncodeBmp(const t_Image8& image);

// Icon with one entry per image: 32-bit BMP entries with their AND mask, and
// PNG for sides of 256 and more. Icons carry straight alpha.
t_Bytes EncodeIco(const std::vector<t_Image8>& images);

t_Image8 ToStraight(const t_Image8& image);

void WriteFile(const std::string& path, const t_Bytes& bytes);
void WriteFile(const std::string& path, const std::string& text);

}  // namespace n_zorbel::n_art
