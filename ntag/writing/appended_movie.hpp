#pragma once
// Writing an edit as an appended movie: when moov is the last box, a new moov goes after the
// end of the file inside a free box of size 0, and one header write turns the old moov into
// free space; taken back by that header and a cut to the old size.
#include <cstdint>
#include <optional>

#include "writing/snapshot.hpp"

namespace n_zorbel::n_ntag {

// Where a last moov may start in a rewrite that leaves out the free space around it: at the
// top-level free boxes right before it (movie boxes earlier edits left behind), or where it
// is; none when sample data lies there or behind (`dataEnd`, where the furthest ends).
std::optional<std::uint64_t> CompactMoovAt(const t_Snapshot& snap, std::uint64_t dataEnd);

// Writes a new last moov with `newIlst` (a whole box) after the end of the file, without
// moving the media, and reads it back. False, with nothing written, when that would leave
// more than 1/8 of the file free (old movie boxes piling up on a small file: a rewrite that
// leaves the free space out costs little there), or when no header to switch at lies within
// one sector. Throws t_NtagError, the file then as it was or as the message says.
bool WriteAppended(t_File& file, t_Snapshot& snap, const t_Bytes& newIlst, std::uint64_t dataEnd);

}  // namespace n_zorbel::n_ntag
