#pragma once
// Fragmented files address their media with absolute file offsets: tfhd base data offsets in
// moof boxes, tfra moof offsets in mfra boxes. A rewrite that moves media moves each of them
// by where what it addresses lands, not by where the field or the base itself lies (a base of
// 0, the file's start, is legal before a movie box that grows).
#include <cstdint>
#include <vector>

#include "model/file_layout.hpp"
#include "model/relocation.hpp"
#include "model/sample_tables.hpp"

namespace n_zorbel::n_ntag {

// A field of the old file that is to hold `value` in the copy.
struct t_FieldWrite {
  std::uint64_t position;  // in the old file
  std::uint32_t width;     // 4 or 8 bytes
  std::uint64_t value;
};

// The base fields to write so that each run of the track fragments of the moof at `moofAt`
// reads the same bytes in the copy. Refuses (4) what no base field keeps exactly: data the
// copy does not carry whole (reaching into moov or across its end), a track fragment whose
// runs land apart, or one whose base is no field of its own and lands apart from its data.
std::vector<t_FieldWrite> PlanTrackFragmentMoves(const std::vector<t_TrackFragment>& fragments,
                                                 std::uint64_t moofAt, const t_Relocation& move);

// Every field write the copy needs: the bases above for each moof, and each tfra entry's moof
// offset. Refuses (4) as above, and a fragment box over 64 MiB.
std::vector<t_FieldWrite> PlanFragmentMoves(const t_Source& file, const t_FileLayout& layout,
                                            const t_Bytes& moov, const t_Relocation& move);

// Checks the copy as players read it, found afresh in both files: each moof and mfra where
// `move` puts the old one, each run of samples where `move` puts its data, with the same
// size and first bytes, and each tfra entry pointing where its moof landed.
bool SameFragmentData(const t_Source& oldFile, const t_FileLayout& oldLayout, const t_Bytes& oldMoov,
                      const t_Source& newFile, const t_FileLayout& newLayout, const t_Bytes& newMoov,
                      const t_Relocation& move);

}  // namespace n_zorbel::n_ntag
