#include "image_files.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace n_zorbel::n_art {

namespace {

void Put16(t_Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(t_Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put32BigEndian(t_Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Deflate writes its bit fields least significant bit first; Huffman codes
// go most significant bit first, so they are reversed before writing.
class t_BitWriter {
 public:
  void Put(std::uint32_t bits, int count) {
    m_bits |= static_cast<std::uint64_t>(bits) << m_count;
    m_count += count;
    while (m_count >= 8) {
      m_out.push_back(static_cast<std::uint8_t>(m_bits));
      m_bits >>= 8;
      m_count -= 8;
    }
  }
  void PutCode(std::uint32_t code, int length) {
    std::uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1u) << (length - 1 - i);
    Put(reversed, length);
  }
  t_Bytes Finish() {
    if (m_count > 0) Put(0, 8 - m_count);
    return std::move(m_out);
  }

 private:
  t_Bytes m_out;
  std::uint64_t m_bits = 0;
  int m_count = 0;
};

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                               33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void PutLiteralOrLength(t_BitWriter& bits, int symbol) {
  if (symbol < 144) {
    bits.PutCode(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits.PutCode(0x190 + (symbol - 144), 9);
  } else if (symbol < 280) {
    bits.PutCode(symbol - 256, 7);
  } else {
    bits.PutCode(0xC0 + (symbol - 280), 8);
  }
}

void PutMatch(t_BitWriter& bits, int length, int distance) {
  int li = 28;
  while (kLengthBase[li] > length) --li;
  PutLiteralOrLength(bits, 257 + li);
  bits.Put(length - kLengthBase[li], kLengthExtra[li]);
  int di = 29;
  while (kDistanceBase[di] > distance) --di;
  bits.PutCode(di, 5);
  bits.Put(distance - kDistanceBase[di], kDistanceExtra[di]);
}

t_Bytes Deflate(const t_Bytes& data) {
  constexpr int kWindow = 32768;
  constexpr int kMaxLength = 258;
  constexpr int kMaxChain = 128;
  constexpr int kHashBits = 15;
  const int n = static_cast<int>(data.size());
  std::vector<int> head(1 << kHashBits, -1);
  std::vector<int> previous(kWindow, -1);
  auto hash = [&](int i) {
    const std::uint32_t v = data[i] | (data[i + 1] << 8) | (data[i + 2] << 16);
    return static_cast<int>((v * 2654435761u) >> (32 - kHashBits));
  };
  auto insert = [&](int i) {
    if (i + 2 >= n) return;
    const int h = hash(i);
    previous[i % kWindow] = head[h];
    head[h] = i;
  };

  t_BitWriter bits;
  bits.Put(1, 1);  // final block
  bits.Put(1, 2);  // fixed Huffman codes
  int i = 0;
  while (i < n) {
    int bestLength = 0;
    int bestDistance = 0;
    if (i + 2 < n) {
      const int limit = std::min(kMaxLength, n - i);
      int candidate = head[hash(i)];
      for (int chain = 0; candidate >= 0 && i - candidate <= kWindow && chain < kMaxChain; ++chain) {
        int length = 0;
        while (length < limit && data[candidate + length] == data[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = i - candidate;
          if (length == limit) break;
        }
        const int next = previous[candidate % kWindow];
        if (next >= candidate) break;  // the slot was reused by a newer position
        candidate = next;
      }
    }
    if (bestLength >= 3) {
      PutMatch(bits, bestLength, bestDistance);
      for (int k = 0; k < bestLength; ++k) insert(i + k);
      i += bestLength;
    } else {
      PutLiteralOrLength(bits, data[i]);
      insert(i);
      ++i;
    }
  }
  PutLiteralOrLength(bits, 256);
  return bits.Finish();
}

std::uint32_t Adler32(const t_Bytes& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutChunk(t_Bytes& png, const char* type, const t_Bytes& body) {
  Put32BigEndian(png, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  Put32BigEndian(png, Crc32(png.data() + start, png.size() - start));
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Each row takes the filter whose output has the smallest sum of magnitudes,
// the usual heuristic for what deflate compresses best.
t_Bytes FilteredRows(const t_Image8& image) {
  const int stride = image.width * 4;
  t_Bytes out;
  const std::vector<std::uint8_t> zeros(stride, 0);
  std::vector<std::uint8_t> candidate(stride), best(stride);
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.rgba.data() + static_cast<std::size_t>(y) * stride;
    const std::uint8_t* up = y > 0 ? row - stride : zeros.data();
    long bestCost = -1;
    int bestFilter = 0;
    for (int filter = 0; filter < 5; ++filter) {
      long cost = 0;
      for (int x = 0; x < stride; ++x) {
        const int a = x >= 4 ? row[x - 4] : 0;
        const int b = up[x];
        const int c = x >= 4 ? up[x - 4] : 0;
        const int predictor = filter == 0   ? 0
                              : filter == 1 ? a
                              : filter == 2 ? b
                              : filter == 3 ? (a + b) / 2
                                            : Paeth(a, b, c);
        candidate[x] = static_cast<std::uint8_t>(row[x] - predictor);
        cost += std::abs(static_cast<std::int8_t>(candidate[x]));
      }
      if (bestCost < 0 || cost < bestCost) {
        bestCost = cost;
        bestFilter = filter;
        best.swap(candidate);
      }
    }
    out.push_back(static_cast<std::uint8_t>(bestFilter));
    out.insert(out.end(), best.begin(), best.end());
  }
  return out;
}

void PutInfoHeader(t_Bytes& out, int width, int height, std::uint32_t imageSize) {
  Put32(out, 40);  // BITMAPINFOHEADER
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));  // positive: rows run bottom-up
  Put16(out, 1);                                   // planes
  Put16(out, 32);                                  // bits per pixel
  Put32(out, 0);                                   // BI_RGB
  Put32(out, imageSize);
  Put32(out, 3780);  // 96 DPI in pixels per metre
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
}

void PutBgraBottomUp(t_Bytes& out, const t_Image8& image) {
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

t_Bytes ZlibCompress(const t_Bytes& data) {
  t_Bytes out = {0x78, 0x9C};  // deflate, 32 KiB window, header check bits
  const t_Bytes body = Deflate(data);
  out.insert(out.end(), body.begin(), body.end());
  Put32BigEndian(out, Adler32(data));
  return out;
}

t_Image8 ToStraight(const t_Image8& image) {
  if (!image.premultiplied) return image;
  t_Image8 out = image;
  out.premultiplied = false;
  for (std::size_t i = 0; i < out.rgba.size(); i += 4) {
    const int a = out.rgba[i + 3];
    for (int c = 0; c < 3; ++c)
      out.rgba[i + c] =
          a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255, (out.rgba[i + c] * 255 + a / 2) / a));
  }
  return out;
}

t_Bytes EncodePng(const t_Image8& source) {
  const t_Image8 image = ToStraight(source);
  t_Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  t_Bytes header;
  Put32BigEndian(header, static_cast<std::uint32_t>(image.width));
  Put32BigEndian(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filters, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", ZlibCompress(FilteredRows(image)));
  PutChunk(png, "IEND", {});
  return png;
}

t_Bytes EncodeBmp(const t_Image8& image) {
  const std::uint32_t imageSize = static_cast<std::uint32_t>(image.width * image.height * 4);
  t_Bytes out;
  out.insert(out.end(), {'B', 'M'});
  Put32(out, 14 + 40 + imageSize);
  Put32(out, 0);
  Put32(out, 14 + 40);  // offset of the pixels
  PutInfoHeader(out, image.width, image.height, imageSize);
  PutBgraBottomUp(out, image);
  return out;
}

t_Bytes EncodeIco(const std::vector<t_Image8>& images) {
  std::vector<t_Bytes> entries;
  for (const t_Image8& source : images) {
    const t_Image8 image = ToStraight(source);
    if (image.width >= 256) {
      entries.push_back(EncodePng(image));
      continue;
    }
    // The AND mask marks fully transparent pixels for anything that ignores alpha.
    const int maskStride = (image.width + 31) / 32 * 4;
    const std::uint32_t size =
        static_cast<std::uint32_t>(image.width * image.height * 4 + maskStride * image.height);
    t_Bytes entry;
    PutInfoHeader(entry, image.width, image.height * 2, size);
    PutBgraBottomUp(entry, image);
    for (int y = image.height - 1; y >= 0; --y) {
      t_Bytes row(maskStride, 0);
      for (int x = 0; x < image.width; ++x)
        if (image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4 + 3] == 0)
          row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      entry.insert(entry.end(), row.begin(), row.end());
    }
    entries.push_back(std::move(entry));
  }

  t_Bytes out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<std::uint8_t>(images[i].width >= 256 ? 0 : images[i].width));
    out.push_back(static_cast<std::uint8_t>(images[i].height >= 256 ? 0 : images[i].height));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, static_cast<std::uint32_t>(entries[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(entries[i].size());
  }
  for (const t_Bytes& entry : entries) out.insert(out.end(), entry.begin(), entry.end());
  return out;
}

void WriteFile(const std::string& path, const t_Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::string& text) {
  WriteFile(path, t_Bytes(text.begin(), text.end()));
}

}  // namespace n_zorbel::n_art
