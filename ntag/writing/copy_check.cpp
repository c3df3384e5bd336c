#include "writing/copy_check.hpp"

#include "model/fragment_moves.hpp"
#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Checks every chunk offset of the new file: its old one moved as `move` moves that place,
// and that both point at the same bytes. Those are compared for every chunk, or, when the
// file system shared the media instead of copying it (so none of it is in memory), for chunks
// spread over the file: the sharing itself is the file system's. A chunk at a place the copy
// does not carry holds no sample (the sample-data check refused any that did): one past the
// end of a file cut down to its movie box, or in the free space a compacted copy leaves out.
// It moves with the growth of moov, as every offset behind moov does, and must stay past the
// copy's end, where players find nothing either.
bool SameMedia(const t_File& oldFile, const std::vector<t_OffsetTable>& oldTables, const t_File& newFile,
               const std::vector<t_OffsetTable>& newTables, const t_Relocation& move, bool shared,
               std::int64_t growth, std::uint64_t newSize) {
  constexpr std::size_t kSampledChunks = 256;
  if (oldTables.size() != newTables.size()) return false;
  std::size_t count = 0;
  for (std::size_t t = 0; t < oldTables.size(); ++t) {
    if (oldTables[t].count != newTables[t].count) return false;
    count += oldTables[t].count;
  }
  const std::size_t step = shared && count > kSampledChunks ? count / kSampledChunks : 1;
  // Only bytes the copy carries unchanged are compared: a chunk at the end of what is kept may
  // be shorter than the window, and what follows it differs on purpose.
  const auto sameBytes = [&](std::uint64_t o, std::uint64_t n) {
    return SameStart(oldFile, o, newFile, n, move.SameBytesFrom(o));
  };
  std::size_t flat = 0;
  for (std::size_t t = 0; t < oldTables.size(); ++t) {
    for (std::size_t i = 0; i < oldTables[t].count; ++i, ++flat) {
      const std::uint64_t o = oldTables[t][i], n = newTables[t][i];
      const auto shift = move.ShiftOf(o, 0);
      if (!shift) {
        if (n != o + static_cast<std::uint64_t>(growth) || n < newSize) return false;
        continue;
      }
      if (n != static_cast<std::uint64_t>(static_cast<std::int64_t>(o) + *shift)) return false;
      if ((flat % step == 0 || flat + 1 == count) && !sameBytes(o, n)) return false;
    }
  }
  return true;
}

}  // namespace

void CheckCopy(const t_File& video, const t_Snapshot& old, const std::vector<t_OffsetTable>& oldTables,
               const t_File& out, std::uint64_t at, const t_Bytes& newMoov, std::uint64_t newSize,
               const t_Relocation& move, bool shared) {
  t_FileLayout copyLayout;
  if (!HoldsMoov(out, at, newMoov, &copyLayout) || copyLayout.fileSize != newSize) {
    VerifyFailed("movie box of the copy");
  }
  (void)t_Movie::Parse(newMoov, at);
  // The tables are found afresh in both files, as a reader finds them: the copy's moov
  // holds exactly newMoov, so they are read from those bytes.
  const std::vector<t_OffsetTable> newTables = ReaderChunkTables(newMoov.data(), newMoov.size());
  const std::int64_t growth =
      static_cast<std::int64_t>(newMoov.size()) - static_cast<std::int64_t>(old.layout.Moov().size);
  if (!SameMedia(video, oldTables, out, newTables, move, shared, growth, newSize)) {
    VerifyFailed("media of the copy");
  }
  if (!SameFragmentData(video, old.layout, old.moovBytes, out, copyLayout, newMoov, move)) {
    VerifyFailed("fragment offsets of the copy");
  }
}

}  // namespace n_zorbel::n_ntag
