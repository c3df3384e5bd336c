#pragma once
// Writing an edit in place: the planned steps, each proved on moov in memory first, written
// in an order that leaves the old or the new tags at every instant, and taken back on failure.
#include <vector>

#include "writing/in_place_plan.hpp"

namespace n_zorbel::n_ntag {

// Writes `plan`, which brings `newIlst` (a whole box) to life, into `file`, held for writing
// with the moov of `snap`; reads the result back. Throws t_NtagError, the file then as it was
// or, where the undo could not complete, as the message says.
void WriteInPlace(t_File& file, t_Snapshot& snap, const std::vector<t_InPlacePlan>& plan,
                  const t_Bytes& newIlst);

}  // namespace n_zorbel::n_ntag
