#pragma once
// Storage writes a 512-byte sector whole or not at all, and promises nothing finer: a power
// loss can persist some sectors of a write and not others. So every write that switches a
// file from one valid state to the next must lie within one sector.
#include <cstdint>

#include "model/movie.hpp"

namespace n_zorbel::n_ntag {

inline constexpr std::uint64_t kSector = 512;

constexpr bool WithinSector(std::uint64_t offset, std::uint64_t size) {
  return size == 0 || offset / kSector == (offset + size - 1) / kSector;
}

// Moves the ilst of `movie`, to be written at `moovAt`, so that the header where the next
// in-place edit switches (the ilst's own, SetIlst leaving no free box before it) lies within
// one sector: by 8 bytes, through a free box in udta right before meta, grown, shrunk or added.
void AlignTagRegion(t_Movie& movie, std::uint64_t moovAt);

}  // namespace n_zorbel::n_ntag
