#include "writing/tag_room.hpp"

#include <algorithm>

#include "writing/sector.hpp"

namespace n_zorbel::n_ntag {

std::uint64_t PaddingFor(std::uint64_t ilstSize, std::uint64_t fileSize) {
  return ilstSize + std::clamp<std::uint64_t>(fileSize / 256, 64 << 10, 4 << 20);
}

void PutNewIlst(t_Snapshot& snap, const t_Bytes& newIlst, std::uint64_t moovAt, std::uint64_t extraPadding) {
  snap.movie.SetIlst(newIlst, PaddingFor(newIlst.size(), snap.layout.fileSize) + extraPadding);
  AlignTagRegion(snap.movie, moovAt);
}

}  // namespace n_zorbel::n_ntag
