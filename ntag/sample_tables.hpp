#pragma once
// The chunk offset tables of a movie box as players find them, walked apart from the box
// tree the writer edits: the check after a rewrite compares two such walks, of the old and
// the new file, so a box the writer's tree misread cannot pass unnoticed.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace n_zorbel::n_ntag {

// Every stco and co64 table (its offsets, in file order) of the moov box held in moov[0, size),
// wherever in the boxes players open it sits. Boxes are read as players read them: size 0
// runs to the end of the parent, a box is cut at its parent's end, a size below the
// header's ends the list.
std::vector<std::vector<std::uint64_t>> ReaderChunkTables(const std::uint8_t* moov, std::size_t size);

}  // namespace n_zorbel::n_ntag
