#include "writing/copy_patches.hpp"

#include <utility>

#include "model/box.hpp"
#include "model/box_types.hpp"
#include "model/fragment_moves.hpp"

namespace n_zorbel::n_ntag {

std::vector<t_Write> PlanCopyPatches(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov,
                                     t_Relocation& move) {
  std::vector<t_Write> patches;
  for (const t_FieldWrite& f : PlanFragmentMoves(file, layout, moov, move)) {
    t_Write w{f.position, t_Bytes(f.width)};
    if (f.width == 4) {
      Store32(w.bytes.data(), static_cast<std::uint32_t>(f.value));
    } else {
      Store64(w.bytes.data(), f.value);
    }
    patches.push_back(std::move(w));
  }
  // A last mdat that claims more than the file holds gets its true size in the copy.
  const t_BoxHeader& last = layout.boxes.back();
  if (layout.mdatClaimsMore && move.ShiftOf(last.offset, last.headerSize)) {
    t_Write w{last.offset, {}};
    AppendBoxHeader(w.bytes, kMdat, last.size, last.largeSize);
    patches.push_back(std::move(w));
  }
  std::vector<t_DataRange> rewritten;
  for (const t_Write& w : patches) rewritten.push_back({w.offset, w.bytes.size()});
  move.MarkRewritten(std::move(rewritten));
  return patches;
}

void WriteCopyPatches(t_File& out, const std::vector<t_Write>& patches, const t_Relocation& move) {
  for (const t_Write& w : patches) {
    const std::int64_t shift = *move.ShiftOf(w.offset, w.bytes.size());
    out.WriteAt(static_cast<std::uint64_t>(static_cast<std::int64_t>(w.offset) + shift), w.bytes.data(),
                w.bytes.size());
  }
}

}  // namespace n_zorbel::n_ntag
