#include "image_reader.hpp"

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace n_zorbel::n_test {

namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

std::uint32_t Le16(const t_Bytes& b, std::size_t at) {
  if (at + 2 > b.size()) Fail("truncated");
  return b[at] | (b[at + 1] << 8);
}
std::uint32_t Le32(const t_Bytes& b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }
std::uint32_t Be32(const t_Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) Fail("truncated");
  return (std::uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

// Inflate (RFC 1951): stored, fixed and dynamic blocks, canonical Huffman
// decoding one bit at a time.
class t_Inflater {
 public:
  t_Inflater(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  t_Bytes Run() {
    bool last = false;
    while (!last) {
      last = Bits(1) == 1;
      switch (Bits(2)) {
        case 0:
          Stored();
          break;
        case 1:
          Fixed();
          break;
        case 2:
          Dynamic();
          break;
        default:
          Fail("invalid block type");
      }
    }
    return std::move(m_out);
  }
  std::size_t Consumed() const { return m_position; }

 private:
  struct t_Huffman {
    std::array<int, 16> count{};
    std::vector<int> symbol;
  };

  int Bits(int need) {
    std::uint32_t value = m_bitBuffer;
    while (m_bitCount < need) {
      if (m_position >= m_size) Fail("deflate data ends early");
      value |= std::uint32_t{m_data[m_position++]} << m_bitCount;
      m_bitCount += 8;
    }
    m_bitBuffer = value >> need;
    m_bitCount -= need;
    return static_cast<int>(value & ((1u << need) - 1));
  }

  static t_Huffman Build(const int* lengths, int n) {
    t_Huffman h;
    h.symbol.resize(n);
    for (int i = 0; i < n; ++i) ++h.count[lengths[i]];
    std::array<int, 16> offset{};
    for (int len = 1; len < 15; ++len) offset[len + 1] = offset[len] + h.count[len];
    for (int i = 0; i < n; ++i)
      if (lengths[i] != 0) h.symbol[offset[lengths[i]]++] = i;
    return h;
  }

  int Decode(const t_Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
      code |= Bits(1);
      const int count = h.count[len];
      if (code - count < first) return h.symbol[index + (code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    Fail("invalid Huffman code");
  }

  void Stored() {
    m_bitBuffer = 0;
    m_bitCount = 0;
    if (m_position + 4 > m_size) Fail("stored block header cut");
    const std::size_t length = m_data[m_position] | (m_data[m_position + 1] << 8);
    const std::size_t complement = m_data[m_position + 2] | (m_data[m_position + 3] << 8);
    if (length != (~complement & 0xFFFF)) Fail("stored block length check");
    m_position += 4;
    if (m_position + length > m_size) Fail("stored block cut");
    m_out.insert(m_out.end(), m_data + m_position, m_data + m_position + length);
    m_position += length;
  }

  void Codes(const t_Huffman& lengthCodes, const t_Huffman& distanceCodes) {
    static constexpr int kBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int kExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static constexpr int kDistance[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                        33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static constexpr int kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (;;) {
      int symbol = Decode(lengthCodes);
      if (symbol < 256) {
        m_out.push_back(static_cast<std::uint8_t>(symbol));
      } else if (symbol == 256) {
        return;
      } else {
        symbol -= 257;
        if (symbol >= 29) Fail("invalid length symbol");
        const int length = kBase[symbol] + Bits(kExtra[symbol]);
        const int d = Decode(distanceCodes);
        if (d >= 30) Fail("invalid distance symbol");
        const std::size_t distance = static_cast<std::size_t>(kDistance[d] + Bits(kDistanceExtra[d]));
        if (distance > m_out.size()) Fail("distance reaches before the start");
        for (int i = 0; i < length; ++i) m_out.push_back(m_out[m_out.size() - distance]);
      }
    }
  }

  void Fixed() {
    int lengths[288 + 30];
    for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    for (int i = 0; i < 30; ++i) lengths[288 + i] = 5;
    Codes(Build(lengths, 288), Build(lengths + 288, 30));
  }

  void Dynamic() {
    static constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int literals = Bits(5) + 257, distances = Bits(5) + 1, codeLengths = Bits(4) + 4;
    int lengths[320] = {};
    for (int i = 0; i < codeLengths; ++i) lengths[kOrder[i]] = Bits(3);
    const t_Huffman lengthCode = Build(lengths, 19);
    int index = 0;
    while (index < literals + distances) {
      int symbol = Decode(lengthCode);
      if (symbol < 16) {
        lengths[index++] = symbol;
        continue;
      }
      int value = 0, repeat;
      if (symbol == 16) {
        if (index == 0) Fail("repeat with no previous length");
        value = lengths[index - 1];
        repeat = 3 + Bits(2);
      } else {
        repeat = symbol == 17 ? 3 + Bits(3) : 11 + Bits(7);
      }
      if (index + repeat > literals + distances) Fail("too many lengths");
      while (repeat--) lengths[index++] = value;
    }
    Codes(Build(lengths, literals), Build(lengths + literals, distances));
  }

  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_position = 0;
  std::uint32_t m_bitBuffer = 0;
  int m_bitCount = 0;
  t_Bytes m_out;
};

std::uint32_t Crc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

t_Bytes Unzlib(const t_Bytes& stream) {
  if (stream.size() < 6 || (stream[0] & 0x0F) != 8 || ((stream[0] << 8) | stream[1]) % 31 != 0 ||
      (stream[1] & 0x20))
    Fail("not a zlib stream");
  t_Inflater inflater(stream.data() + 2, stream.size() - 2);
  t_Bytes out = inflater.Run();
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : out) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  if (Be32(stream, 2 + inflater.Consumed()) != ((b << 16) | a)) Fail("Adler-32 mismatch");
  return out;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

t_Picture ReadDib(const t_Bytes& b, std::size_t at, std::size_t pixelsAt, int heightDivisor,
                  t_BmpInfo* info) {
  t_BmpInfo i;
  i.headerSize = Le32(b, at);
  if (i.headerSize < 40) Fail("DIB header too small");
  const auto width = static_cast<std::int32_t>(Le32(b, at + 4));
  auto height = static_cast<std::int32_t>(Le32(b, at + 8));
  i.bottomUp = height > 0;
  height = (height < 0 ? -height : height) / heightDivisor;
  i.bitsPerPixel = static_cast<std::uint16_t>(Le16(b, at + 14));
  i.compression = Le32(b, at + 16);
  if (Le16(b, at + 12) != 1 || i.bitsPerPixel != 32 || width <= 0 || height <= 0) Fail("not a 32-bit DIB");
  if (pixelsAt + std::size_t{4} * width * height > b.size()) Fail("pixels cut");
  t_Picture p{width, height, std::vector<t_Pixel>(static_cast<std::size_t>(width) * height)};
  for (int row = 0; row < height; ++row) {
    const int y = i.bottomUp ? height - 1 - row : row;
    for (int x = 0; x < width; ++x) {
      const std::size_t o = pixelsAt + (static_cast<std::size_t>(row) * width + x) * 4;
      p.pixels[static_cast<std::size_t>(y) * width + x] = {b[o + 2], b[o + 1], b[o], b[o + 3]};
    }
  }
  if (info) *info = i;
  return p;
}

}  // namespace

t_Bytes ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) Fail("cannot open " + path);
  return t_Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

t_Picture ReadBmp(const t_Bytes& file, t_BmpInfo* info) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') Fail("not a BMP");
  if (Le32(file, 2) != file.size()) Fail("BMP size field wrong");
  return ReadDib(file, 14, Le32(file, 10), 1, info);
}

t_Picture ReadPng(const t_Bytes& file) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) Fail("not a PNG");
  std::size_t at = 8;
  int width = 0, height = 0;
  t_Bytes idat;
  bool ended = false;
  while (!ended) {
    const std::uint32_t length = Be32(file, at);
    if (at + 12 + length > file.size()) Fail("chunk cut");
    const std::string type(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           file.begin() + static_cast<std::ptrdiff_t>(at + 8));
    if (Crc(file.data() + at + 4, length + 4) != Be32(file, at + 8 + length)) Fail("CRC mismatch in " + type);
    const std::size_t body = at + 8;
    if (type == "IHDR") {
      width = static_cast<int>(Be32(file, body));
      height = static_cast<int>(Be32(file, body + 4));
      if (file[body + 8] != 8 || file[body + 9] != 6 || file[body + 12] != 0) Fail("not 8-bit RGBA");
    } else if (type == "IDAT") {
      idat.insert(idat.end(), file.begin() + static_cast<std::ptrdiff_t>(body),
                  file.begin() + static_cast<std::ptrdiff_t>(body + length));
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + length;
  }
  const t_Bytes raw = Unzlib(idat);
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  if (width <= 0 || height <= 0 || raw.size() != (stride + 1) * height) Fail("image data size");
  t_Bytes rows(stride * height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t filter = raw[y * (stride + 1)];
    const std::uint8_t* in = &raw[y * (stride + 1) + 1];
    std::uint8_t* out = &rows[y * stride];
    const std::uint8_t* up = y > 0 ? &rows[(y - 1) * stride] : nullptr;
    for (std::size_t x = 0; x < stride; ++x) {
      const int a = x >= 4 ? out[x - 4] : 0;
      const int b = up ? up[x] : 0;
      const int c = x >= 4 && up ? up[x - 4] : 0;
      int predictor = 0;
      switch (filter) {
        case 0:
          break;
        case 1:
          predictor = a;
          break;
        case 2:
          predictor = b;
          break;
        case 3:
          predictor = (a + b) / 2;
          break;
        case 4:
          predictor = Paeth(a, b, c);
          break;
        default:
          Fail("unknown filter");
      }
      out[x] = static_cast<std::uint8_t>(in[x] + predictor);
    }
  }
  t_Picture p{width, height, std::vector<t_Pixel>(static_cast<std::size_t>(width) * height)};
  for (std::size_t i = 0; i < p.pixels.size(); ++i)
    p.pixels[i] = {rows[i * 4], rows[i * 4 + 1], rows[i * 4 + 2], rows[i * 4 + 3]};
  return p;
}

std::vector<t_IconEntry> ReadIco(const t_Bytes& file) {
  if (Le16(file, 0) != 0 || Le16(file, 2) != 1) Fail("not an icon");
  const std::uint32_t count = Le16(file, 4);
  std::vector<t_IconEntry> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t d = 6 + 16 * i;
    if (d + 16 > file.size()) Fail("directory cut");
    t_IconEntry e;
    e.width = file[d] == 0 ? 256 : file[d];
    e.height = file[d + 1] == 0 ? 256 : file[d + 1];
    e.bitsPerPixel = static_cast<int>(Le16(file, d + 6));
    const std::uint32_t size = Le32(file, d + 8), offset = Le32(file, d + 12);
    if (std::size_t{offset} + size > file.size()) Fail("entry outside the file");
    const t_Bytes data(file.begin() + offset, file.begin() + offset + size);
    e.isPng = size >= 8 && data[0] == 0x89 && data[1] == 'P';
    if (e.isPng) {
      e.picture = ReadPng(data);
    } else {
      e.picture = ReadDib(data, 0, Le32(data, 0), 2, nullptr);
      const int w = e.picture.width, h = e.picture.height;
      const std::size_t maskAt = Le32(data, 0) + std::size_t{4} * w * h, maskStride = (w + 31) / 32 * 4;
      if (maskAt + maskStride * h > data.size()) Fail("AND mask cut");
      for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
          const bool set = (data[maskAt + row * maskStride + x / 8] >> (7 - x % 8)) & 1;
          if (set != (e.picture.At(x, h - 1 - row).a == 0)) e.maskMatchesAlpha = false;
        }
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace n_zorbel::n_test
