#include "writing/snapshot.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {

t_Snapshot TakeSnapshot(const t_File& file) {
  try {
    t_Snapshot s;
    s.layout = t_FileLayout::Scan(file);
    s.moovBytes = ReadMoov(file, s.layout);
    s.movie = t_Movie::Parse(s.moovBytes, s.layout.Moov().offset);
    return s;
  } catch (const t_IoError& e) {
    ReadFailed(e);
  }
}

bool SameBytes(const t_File& file, std::uint64_t offset, const t_Bytes& expected) {
  // A small buffer: compared piece by piece, not read whole into memory once more.
  std::uint8_t piece[64 << 10];
  for (std::size_t done = 0; done < expected.size();) {
    const std::size_t n = std::min(sizeof piece, expected.size() - done);
    file.ReadAt(offset + done, piece, n);
    if (std::memcmp(piece, expected.data() + done, n) != 0) return false;
    done += n;
  }
  return true;
}

bool HoldsMoov(const t_File& file, std::uint64_t offset, const t_Bytes& expected, t_FileLayout* layoutOut) {
  t_FileLayout layout = t_FileLayout::Scan(file);
  const t_BoxHeader& moov = layout.Moov();
  bool same = moov.offset == offset && moov.size == expected.size();
  if (same) {
    // A moov of size 0 reads back with its real size patched in.
    same = moov.toEnd ? ReadMoov(file, layout) == expected : SameBytes(file, offset, expected);
  }
  if (layoutOut) *layoutOut = std::move(layout);
  return same;
}

}  // namespace n_zorbel::n_ntag
