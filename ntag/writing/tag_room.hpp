#pragma once
// Where an appended movie or a rewrite puts the new ilst: with free space after it sized to the
// file, so that the next edit is made in place, and its header placed for that edit's switch.
#include <cstdint>

#include "writing/snapshot.hpp"

namespace n_zorbel::n_ntag {

// The free space reserved in meta after a newly placed ilst of `ilstSize` bytes in a file of
// `fileSize` bytes, so that the next edit is made in place: the new ilst is written beside
// the old one, so the room holds tags of the same size plus a reserve that grows with the
// file (1/256 of it, at least 64 KiB, at most 4 MiB), room for a larger cover.
std::uint64_t PaddingFor(std::uint64_t ilstSize, std::uint64_t fileSize);

// Gives the snapshot's movie `newIlst`, to be written at `moovAt`, with padding after it sized
// to the file (and `extraPadding` more), chunk offsets unchanged, and the ilst placed for the
// next in-place switch. In place, as a copy of a large movie costs its size again; setting the
// ilst once more replaces the one set before, so a movie may take it repeatedly.
void PutNewIlst(t_Snapshot& snap, const t_Bytes& newIlst, std::uint64_t moovAt,
                std::uint64_t extraPadding = 0);

}  // namespace n_zorbel::n_ntag
