#pragma once
// The chunk offset tables of a movie box as players find them, walked apart from the box
// tree the writer edits: the check after a rewrite compares two such walks, of the old and
// the new file, so a box the writer's tree misread cannot pass unnoticed. The same walk
// gives the byte ranges players read samples from, so a file whose tables point past its
// end is known as damaged without reading the media.
#include <cstddef>
#include <cstdint>
#include <functional>
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

// A byte range players read sample data from: a chunk, or the samples of one trun.
struct t_DataRange {
  std::uint64_t at = 0, bytes = 0;
};

// Calls visit(track, chunk) for each chunk of each sample table of the moov box (tracks
// numbered from 0) that holds bytes: its offset and the sizes of its samples (stsc, stsz or
// stz2). Chunks without samples or of zero bytes are left out; so are a table without stsc,
// and one whose data references name another file.
void ForEachReaderChunk(const std::uint8_t* moov, std::size_t size,
                        const std::function<void(std::size_t, const t_DataRange&)>& visit);

// Where a track fragment's trun offsets count from, as players take it.
enum class t_FragmentBase {
  Explicit,  // tfhd base_data_offset
  Moof,      // the moof's first byte (default-base-is-moof, or the first traf without a base)
  Previous   // the end of the data of the traf before
};

// One track fragment (traf) of a moof box, as players read it.
struct t_TrackFragment {
  t_FragmentBase baseFrom = t_FragmentBase::Moof;
  std::uint64_t base = 0;
  std::size_t baseField = 0;      // Explicit: where in the moof box the 64-bit base is
  std::vector<t_DataRange> runs;  // one per trun, zero bytes included
};

// The track fragments of one moof box (at file offset `moofAt`): each trun's data range from
// its base, with sample sizes from the trun, the tfhd or the moov's trex defaults.
std::vector<t_TrackFragment> ReaderTrackFragments(const std::uint8_t* moov, std::size_t moovSize,
                                                  const std::uint8_t* moof, std::size_t moofSize,
                                                  std::uint64_t moofAt);

}  // namespace n_zorbel::n_ntag
