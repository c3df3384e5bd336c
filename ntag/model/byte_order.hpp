#pragma once
// Big-endian field access: every integer in an MP4 box is stored big-endian.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace n_zorbel::n_ntag {

using t_Bytes = std::vector<std::uint8_t>;

inline std::uint32_t Read32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
inline std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline std::uint64_t Read64(const std::uint8_t* p) {
  return (std::uint64_t{Read32(p)} << 32) | Read32(p + 4);
}

inline void Store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
inline void Store64(std::uint8_t* p, std::uint64_t v) {
  Store32(p, static_cast<std::uint32_t>(v >> 32));
  Store32(p + 4, static_cast<std::uint32_t>(v));
}
inline void Append32(t_Bytes& out, std::uint32_t v) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  Store32(out.data() + at, v);
}
inline void Append64(t_Bytes& out, std::uint64_t v) {
  const std::size_t at = out.size();
  out.resize(at + 8);
  Store64(out.data() + at, v);
}
inline void Append16(t_Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

// Four-character box types as integers, e.g. FourCc("moov").
constexpr std::uint32_t FourCc(const char (&s)[5]) {
  return (std::uint32_t{static_cast<unsigned char>(s[0])} << 24) |
         (std::uint32_t{static_cast<unsigned char>(s[1])} << 16) |
         (std::uint32_t{static_cast<unsigned char>(s[2])} << 8) |
         std::uint32_t{static_cast<unsigned char>(s[3])};
}

// The (c)-items of iTunes tags: 0xA9 followed by three letters, e.g. CopyrightFourCc("nam").
constexpr std::uint32_t CopyrightFourCc(const char (&s)[4]) {
  return (std::uint32_t{0xA9} << 24) | (std::uint32_t{static_cast<unsigned char>(s[0])} << 16) |
         (std::uint32_t{static_cast<unsigned char>(s[1])} << 8) |
         std::uint32_t{static_cast<unsigned char>(s[2])};
}

// A box type for messages and listings: printable ASCII as is, 0xA9 as the copyright sign.
inline std::string TypeName(std::uint32_t type) {
  std::string name;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(type >> shift);
    if (c == 0xA9) {
      name += "\xC2\xA9";
    } else if (c >= 0x20 && c < 0x7F) {
      name += static_cast<char>(c);
    } else {
      const char* hex = "0123456789abcdef";
      name += "\\x";
      name += hex[c >> 4];
      name += hex[c & 15];
    }
  }
  return name;
}

}  // namespace n_zorbel::n_ntag
