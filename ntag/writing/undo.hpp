#pragma once
// Taking a failed edit back. Every undo goes on when a flush fails: its bytes are written and
// read back as written; only their order on the disk is not assured.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform_file.hpp"
#include "writing/positioned_write.hpp"

namespace n_zorbel::n_ntag {

// One in-place step as it is written: its writes in order, and the bytes each covered just
// before the step (after the steps before it), which take the step back.
struct t_Step {
  std::vector<t_Write> writes;
  std::vector<t_Write> before;
};

// Takes back the first `begun` steps, last first, and the writes of each in reverse: every
// step taken back leaves the file as the step before left it, so the undo may stop anywhere.
// True when all went back.
bool UndoSteps(t_File& file, const std::vector<t_Step>& steps, std::size_t begun);

// Takes back an appended movie: the switched header first (`header`, the bytes it covered,
// when the switch may have begun), then the file cut back to its old end. A header that
// does not read back as before keeps the new moov, which the cut would remove.
bool UndoAppended(t_File& file, const t_Write* header, std::uint64_t oldEnd);

}  // namespace n_zorbel::n_ntag
