#pragma once
// Picture files built byte by byte: only the structure the bounds read (a
// PNG's signature and IHDR; a JPEG's markers, frame header and scans).
#include <cstdint>
#include <vector>

namespace n_zorbel::n_testing {

using t_Bytes = std::vector<std::uint8_t>;

inline void AppendBigEndian(t_Bytes& bytes, std::uint32_t value, int width) {
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline t_Bytes PngHeader(std::uint32_t width, std::uint32_t height) {
  t_Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  AppendBigEndian(bytes, width, 4);
  AppendBigEndian(bytes, height, 4);
  bytes.insert(bytes.end(), {8, 6, 0, 0, 0});
  return bytes;
}

inline void AppendSegment(t_Bytes& bytes, std::uint8_t marker, const t_Bytes& body) {
  bytes.insert(bytes.end(), {0xFF, marker});
  AppendBigEndian(bytes, static_cast<std::uint32_t>(body.size() + 2), 2);
  bytes.insert(bytes.end(), body.begin(), body.end());
}

// SOI, an APP0, a frame header of `frame` (SOF0 or SOF2), `scans` scans whose
// data holds a stuffed 0xFF and a restart marker, EOI.
inline t_Bytes Jpeg(std::uint32_t width, std::uint32_t height, int scans, std::uint8_t frame = 0xC2) {
  t_Bytes bytes = {0xFF, 0xD8};
  AppendSegment(bytes, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  t_Bytes header = {8};
  AppendBigEndian(header, height, 2);
  AppendBigEndian(header, width, 2);
  header.insert(header.end(), {1, 1, 0x11, 0});
  AppendSegment(bytes, frame, header);
  for (int i = 0; i < scans; ++i) {
    AppendSegment(bytes, 0xDA, {1, 1, 0, 0, 63, 0});
    bytes.insert(bytes.end(), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56});
  }
  bytes.insert(bytes.end(), {0xFF, 0xD9});
  return bytes;
}

}  // namespace n_zorbel::n_testing
