#pragma once
// Writing an edit as a rewrite: a complete copy in a temporary file beside the video, with moov
// where it was and every absolute offset behind it moved, checked, and put in place of the
// video by one rename.
#include <cstdint>
#include <optional>

#include "writing/snapshot.hpp"

namespace n_zorbel::n_ntag {

// Rewrites `video`, held for writing as `file` with the moov of `snap`, with `newIlst` (a whole
// box). `compactAt`: for a last moov, where the copy's moov starts instead (the start of the
// free space before it); the free space around it is left out of the copy. Throws
// t_NtagError; the video is then as it was.
void WriteRewritten(t_File& file, const t_NativePath& video, t_Snapshot& snap, const t_Bytes& newIlst,
                    std::optional<std::uint64_t> compactAt = std::nullopt);

}  // namespace n_zorbel::n_ntag
