#pragma once
// What a video holds after a failed edit was taken back, read back from the file itself, so
// the message says only what is true.
#include <cstdint>
#include <string>

#include "model/box.hpp"
#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {

enum class t_UndoOutcome {
  Restored,  // byte for byte as it was
  OldTags,   // not all bytes back, but the old movie box with the complete old tags
  NewTags,   // the switch could not be taken back: the new tags are live
  Unknown,   // it could not be read back
};

// The end of the message, after the failure itself.
std::string UndoText(t_UndoOutcome outcome);

// Reads `file` back after an undo that did not complete. It was `oldSize` bytes with `oldMoov`
// at `moovAt`, and `header` at `headerAt` (a switch outside moov; empty when none); the edit
// meant to write `newIlst` (a whole box).
t_UndoOutcome ReadBackOutcome(const t_File& file, std::uint64_t moovAt, const t_Bytes& oldMoov,
                              std::uint64_t oldSize, std::uint64_t headerAt, const t_Bytes& header,
                              const t_Bytes& newIlst);

}  // namespace n_zorbel::n_ntag
