#include "writing/rewrite.hpp"

#include <algorithm>
#include <vector>

#include "model/relocation.hpp"
#include "model/sample_tables.hpp"
#include "ntag_error.hpp"
#include "writing/copy_check.hpp"
#include "writing/copy_patches.hpp"
#include "writing/free_space.hpp"
#include "writing/tag_room.hpp"
#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Gives the snapshot's movie the new ilst for a moov written at `at` and returns how much
// that moov grows. The media moves by a whole number of blocks, so a file system that can
// share blocks between files (reflinks) shares them instead of copying: the padding takes up
// the rest. No media lies behind a compacted last moov, which needs no such padding.
std::int64_t PlaceNewIlst(t_Snapshot& snap, const t_Bytes& newIlst, std::uint64_t at, bool compact) {
  constexpr std::int64_t kBlock = 4096;
  const t_BoxHeader& moov = snap.layout.Moov();
  const std::uint64_t oldEnd = moov.offset + moov.size;
  std::uint64_t extra = 0;
  std::int64_t delta = 0;
  for (int fit = 0; fit < 8; ++fit) {
    PutNewIlst(snap, newIlst, at, extra);
    const auto base = static_cast<std::int64_t>(snap.movie.Root().Size());
    // Moving the media may switch tables to co64, which grows moov and moves the media further.
    delta = base - static_cast<std::int64_t>(moov.size);
    for (int round = 0; round < 64; ++round) {
      const std::int64_t next = base + static_cast<std::int64_t>(snap.movie.ShiftGrowth(oldEnd, delta)) -
                                static_cast<std::int64_t>(moov.size);
      if (next == delta) break;
      delta = next;
    }
    const std::int64_t off = ((delta % kBlock) + kBlock) % kBlock;
    if (off == 0 || compact) break;
    extra += static_cast<std::uint64_t>(kBlock - off);
  }
  return delta;
}

}  // namespace

void WriteRewritten(t_File& file, const t_NativePath& video, t_Snapshot& snap, const t_Bytes& newIlst,
                    std::optional<std::uint64_t> compactAt) {
  const t_BoxHeader& moov = snap.layout.Moov();
  const std::uint64_t oldEnd = moov.offset + moov.size;
  const std::uint64_t at = compactAt.value_or(moov.offset);
  // Only tables both this tool and readers find can be moved with the media.
  const std::vector<t_OffsetTable> oldTables =
      ReaderChunkTables(snap.moovBytes.data(), snap.moovBytes.size());
  if (!SameOffsets(oldTables, snap.movie.ChunkOffsets())) {
    throw t_NtagError(t_ExitCode::LayoutRefused,
                      "a chunk offset table lies where players may read it but this tool would not move it");
  }
  const std::int64_t delta = PlaceNewIlst(snap, newIlst, at, compactAt.has_value());
  snap.movie.ShiftOffsets(moov.offset, oldEnd, delta);
  const t_Bytes newMoov = snap.movie.Root().Serialize();
  // The tree is done with: its memory goes before the copy is checked.
  snap.movie = t_Movie();
  if (static_cast<std::int64_t>(newMoov.size()) - static_cast<std::int64_t>(moov.size) != delta) {
    throw t_NtagError(t_ExitCode::VerifyFailed, "internal error: chunk offsets do not settle");
  }
  const std::uint64_t newSize =
      compactAt ? at + newMoov.size() : snap.layout.fileSize - moov.size + newMoov.size();
  t_Relocation move(at, oldEnd, compactAt ? oldEnd : snap.layout.fileSize,
                    static_cast<std::int64_t>(at + newMoov.size()) - static_cast<std::int64_t>(oldEnd));
  const std::vector<t_Write> patches = PlanCopyPatches(file, snap.layout, snap.moovBytes, move);
  // The copy takes what the video takes on the disk (holes stay holes), with the new moov.
  CheckFreeSpace(file, std::min(newSize, file.AllocatedSize() + newMoov.size()));

  // Removes itself on every way out but the final replace, and is seen by no other run.
  std::optional<t_Replacement> replacement;
  try {
    replacement.emplace(file);
  } catch (const t_IoError& e) {
    throw t_NtagError(WriteFailureCode(e.Kind()),
                      "cannot create a temporary file beside the video: " + Describe(e));
  }
  t_File& out = replacement->File();
  try {
    // The attributes first, so the one flush below makes them durable with the data.
    out.CopyAttributesFrom(file);
    std::uint64_t shared = out.CopyFrom(file, 0, at, 0);
    out.WriteAt(at, newMoov.data(), newMoov.size());
    if (!compactAt) shared += out.CopyFrom(file, oldEnd, snap.layout.fileSize - oldEnd, at + newMoov.size());
    out.Truncate(newSize);
    WriteCopyPatches(out, patches, move);
    // Checked while the write-back runs; the flush then makes exactly these bytes durable,
    // before the rename can publish them.
    CheckCopy(file, snap, oldTables, out, at, newMoov, newSize, move, shared > 0);
    out.Flush();
    replacement->Publish(file);
  } catch (const t_IoError& e) {
    WriteFailed(e);
  }
  // The rename is done and cannot be taken back; read the result once more from its final
  // place. The copy was verified through its own handle before, so a read that fails now
  // tells nothing about it: the new tags are live and verified.
  try {
    t_File check = t_File::Open(video, t_OpenMode::Read);
    if (!HoldsMoov(check, at, newMoov)) {
      throw t_NtagError(t_ExitCode::VerifyFailed, "the replaced video does not carry the new movie box");
    }
  } catch (const t_IoError&) {
  }
}

}  // namespace n_zorbel::n_ntag
