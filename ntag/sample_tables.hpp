#pragma once
// The chunk offset tables of a movie box as players find them, walked apart from the box
// tree the writer edits: the check after a rewrite compares two such walks, of the old and
// the new file, so a box the writer's tree misread cannot pass unnoticed. The same walk
// gives the byte ranges players read samples from, so a file whose tables point past its
// end is known as damaged without reading the media.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace n_zorbel::n_ntag {

// One chunk offset table where it lies in memory: `count` entries of `width` (4 or 8) bytes.
// Valid while the bytes it was read from are; so offsets are never copied out of moov.
struct t_OffsetTable {
  const std::uint8_t* entries = nullptr;
  std::size_t count = 0;
  std::uint32_t width = 4;
  std::uint64_t operator[](std::size_t i) const;
};

// The offsets of `a` and `b` in order, tables one after another, are the same.
bool SameOffsets(const std::vector<t_OffsetTable>& a, const std::vector<t_OffsetTable>& b);

// Every stco and co64 table (in file order) of the moov box held in moov[0, size),
// wherever in the boxes players open it sits. Boxes are read as players read them: size 0
// runs to the end of the parent, a box is cut at its parent's end, a size below the
// header's ends the list.
std::vector<t_OffsetTable> ReaderChunkTables(const std::uint8_t* moov, std::size_t size);

// For each sample table of the moov box (one per track), where its sample data ends: the
// furthest end of a chunk, its offset plus the sizes of its samples (stsc, stsz or stz2).
// Chunks without samples or of zero bytes count for nothing; so does a table without stsc,
// and one whose data references name another file.
std::vector<std::uint64_t> ReaderTrackDataEnds(const std::uint8_t* moov, std::size_t size);

// Where the sample data of the track runs in one moof box (at file offset `moofAt`) ends,
// 0 when it has none: each trun's data range from its tfhd base or the moof, with sample
// sizes from the trun, the tfhd or the moov's trex defaults.
std::uint64_t FragmentDataEnd(const std::uint8_t* moov, std::size_t moovSize, const std::uint8_t* moof,
                              std::size_t moofSize, std::uint64_t moofAt);

}  // namespace n_zorbel::n_ntag
