#pragma once
// The fields a rewritten copy holds with other bytes than the video: every fragment offset
// moved with what it addresses, and the true size of a last mdat that claims more than the
// file holds.
#include <vector>

#include "model/file_layout.hpp"
#include "model/relocation.hpp"
#include "platform/platform_file.hpp"
#include "writing/positioned_write.hpp"

namespace n_zorbel::n_ntag {

// The patches for a copy made by `move` of the video `file` (with `layout` and `moov`), at
// their positions in the video; `move` learns them as rewritten, so the checks of the copy
// compare only around them. Refuses (4) what no field can keep exactly (model/fragment_moves.hpp).
std::vector<t_Write> PlanCopyPatches(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov,
                                     t_Relocation& move);

// Writes the patches into the copy `out`, each where `move` puts its position.
void WriteCopyPatches(t_File& out, const std::vector<t_Write>& patches, const t_Relocation& move);

}  // namespace n_zorbel::n_ntag
