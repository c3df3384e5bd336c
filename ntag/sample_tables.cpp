#include "sample_tables.hpp"

#include <algorithm>

#include "byte_order.hpp"

namespace n_zorbel::n_ntag {
namespace {

using t_Tables = std::vector<std::vector<std::uint64_t>>;

// The boxes players open wherever they meet them, so a track's boxes may hide in any of them
// (a size-0 edts swallows the mdia after it, and players still find that mdia).
bool IsOpened(std::uint32_t type) {
  for (const std::uint32_t t :
       {FourCc("trak"), FourCc("mdia"), FourCc("minf"), FourCc("stbl"), FourCc("edts"), FourCc("dinf"),
        FourCc("mvex"), FourCc("tref"), FourCc("udta")}) {
    if (type == t) return true;
  }
  return false;
}

void ReadTable(const std::uint8_t* body, std::size_t size, std::size_t width, t_Tables& out) {
  std::vector<std::uint64_t> offsets;
  if (size >= 8) {
    const std::size_t count = std::min<std::size_t>(Read32(body + 4), (size - 8) / width);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* e = body + 8 + i * width;
      offsets.push_back(width == 4 ? Read32(e) : Read64(e));
    }
  }
  out.push_back(std::move(offsets));
}

void Walk(const std::uint8_t* d, std::size_t pos, std::size_t end, int depth, t_Tables& out) {
  while (end - pos >= 8) {
    std::uint64_t size = Read32(d + pos);
    const std::uint32_t type = Read32(d + pos + 4);
    std::size_t header = 8;
    if (size == 1) {
      if (end - pos < 16) return;
      size = Read64(d + pos + 8);
      header = 16;
    } else if (size == 0) {
      size = end - pos;
    }
    if (size < header) return;
    const auto box = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - pos));
    if (type == FourCc("stco") || type == FourCc("co64")) {
      ReadTable(d + pos + header, box - header, type == FourCc("co64") ? 8 : 4, out);
    } else if (IsOpened(type) && depth < 8) {
      Walk(d, pos + header, pos + box, depth + 1, out);
    }
    pos += box;
  }
}

}  // namespace

std::vector<std::vector<std::uint64_t>> ReaderChunkTables(const std::uint8_t* moov, std::size_t size) {
  t_Tables tables;
  if (size < 8) return tables;
  const std::size_t header = Read32(moov) == 1 ? 16 : 8;
  if (size >= header) Walk(moov, header, size, 0, tables);
  return tables;
}

}  // namespace n_zorbel::n_ntag
