#pragma once
// Planning an edit in place: the new ilst goes into the payload of a free box in meta, and one
// header write of 8 bytes, within one sector, brings it to life.
#include <optional>
#include <vector>

#include "writing/positioned_write.hpp"
#include "writing/snapshot.hpp"

namespace n_zorbel::n_ntag {

// One in-place step: writes into free space first, then the one switching header write.
struct t_InPlacePlan {
  std::vector<t_Write> prepare;
  t_Write commit;
};

// Applies the step's writes, in order, to the moov bytes in memory.
void Apply(t_Bytes& moov, std::uint64_t moovOffset, const t_InPlacePlan& plan);

// The in-place steps that bring the new ilst (a whole box) to life, each one switch of a few
// bytes: directly when a free box next to the ilst holds it; otherwise after joining adjacent
// free boxes, and if need be after moving a copy of the old ilst to the front of the free
// space before it, so the space on both sides of the old ilst becomes one. None when no
// such steps exist.
std::optional<std::vector<t_InPlacePlan>> PlanInPlaceSteps(const t_Snapshot& snap, const t_Bytes& newIlst);

}  // namespace n_zorbel::n_ntag
