#pragma once
// The check of a rewritten copy before it takes the video's place: its movie box as meant, and
// the media every reader finds through it where the old file's readers found it, with the
// same bytes. The offsets are found afresh in both files, as players find them.
#include <cstdint>
#include <vector>

#include "model/relocation.hpp"
#include "model/sample_tables.hpp"
#include "writing/snapshot.hpp"

namespace n_zorbel::n_ntag {

// Checks the copy `out` of `video` (as `old` holds it, with `oldTables` found in its moov):
// `newSize` bytes with exactly `newMoov` at `at`, every chunk offset and fragment reference
// moved by `move` to the same bytes. With `shared`, the file system shared the media instead
// of copying it, and chunks spread over the file are compared instead of all. Throws
// t_NtagError (7) when anything differs; read errors pass as t_IoError.
void CheckCopy(const t_File& video, const t_Snapshot& old, const std::vector<t_OffsetTable>& oldTables,
               const t_File& out, std::uint64_t at, const t_Bytes& newMoov, std::uint64_t newSize,
               const t_Relocation& move, bool shared);

}  // namespace n_zorbel::n_ntag
