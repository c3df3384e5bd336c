#include "writing/appended_movie.hpp"

#include "model/box_types.hpp"
#include "ntag_error.hpp"
#include "writing/free_space.hpp"
#include "writing/sector.hpp"
#include "writing/tag_room.hpp"
#include "writing/undo.hpp"
#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {

std::optional<std::uint64_t> CompactMoovAt(const t_Snapshot& snap, std::uint64_t dataEnd) {
  const auto& boxes = snap.layout.boxes;
  std::size_t first = snap.layout.moovIndex;
  while (first > 0 && IsFreeType(boxes[first - 1].type)) --first;
  const std::uint64_t at = boxes[first].offset;
  if (dataEnd > at) return std::nullopt;
  for (const t_OffsetTable& t : snap.movie.ChunkOffsets()) {
    for (std::size_t i = 0; i < t.count; ++i) {
      if (t[i] >= at) return std::nullopt;
    }
  }
  return at;
}

bool WriteAppended(t_File& file, t_Snapshot& snap, const t_Bytes& newIlst, std::uint64_t dataEnd) {
  const t_BoxHeader& moov = snap.layout.Moov();
  const std::uint64_t end = snap.layout.fileSize;
  // The new moov's header is where the next appended edit switches: it goes within one sector.
  const std::uint64_t newAt = end + (WithinSector(end + 8, 8) ? 8 : 16);
  PutNewIlst(snap, newIlst, newAt);
  if (const auto from = CompactMoovAt(snap, dataEnd);
      from && (newAt - *from) * 8 > newAt + snap.movie.Root().Size()) {
    return false;
  }
  // The switch turns everything from its header on to the new moov into one free box: the old
  // moov's header, or that of a free box right before it, whichever lies within one sector.
  const auto& boxes = snap.layout.boxes;
  std::optional<std::size_t> switchBox;
  for (std::size_t i = snap.layout.moovIndex + 1; i-- > 0 && !switchBox;) {
    if (i != snap.layout.moovIndex && !IsFreeType(boxes[i].type)) break;
    if (WithinSector(boxes[i].offset, 8) && newAt - boxes[i].offset <= 0xFFFFFFFFull) switchBox = i;
  }
  if (!switchBox) return false;
  const t_BoxHeader& old = boxes[*switchBox];
  t_Write before{old.offset, {}};
  AppendBoxHeader(before.bytes, old.type, old.size, old.largeSize);
  before.bytes.resize(8);
  const t_Bytes commit = FreeHeader(newAt - old.offset);
  const t_Bytes newMoov = snap.movie.Root().Serialize();
  {
    const t_Movie proof = t_Movie::Parse(newMoov, newAt);
    if (!proof.CarriesIlst(newIlst) || !SameOffsets(proof.ChunkOffsets(), snap.movie.ChunkOffsets())) {
      throw t_NtagError(t_ExitCode::VerifyFailed, "internal error: the new movie box does not hold");
    }
  }
  CheckFreeSpace(file, newAt - end + newMoov.size());
  // A free box of size 0 runs to the end of the file, so the file stays valid while it grows.
  t_Bytes grow;
  AppendBoxHeader(grow, kFree, 0);
  grow.resize(static_cast<std::size_t>(newAt - end), 0);
  bool switched = false;
  try {
    file.WriteAt(end, grow.data(), grow.size());
    file.WriteAt(newAt, newMoov.data(), newMoov.size());
    file.FlushData();
    if (!SameBytes(file, newAt, newMoov)) ReadBackWrong("new movie box");
    switched = true;
    file.WriteAt(old.offset, commit.data(), commit.size());
    file.FlushData();
    if (!HoldsMoov(file, newAt, newMoov)) ReadBackWrong("movie box after the switch");
  } catch (...) {
    RethrowAfterUndo(
        UndoAppended(file, switched ? &before : nullptr, end)
            ? t_UndoOutcome::Restored
            : ReadBackOutcome(file, moov.offset, snap.moovBytes, end, before.offset, before.bytes, newIlst));
  }
  return true;
}

}  // namespace n_zorbel::n_ntag
