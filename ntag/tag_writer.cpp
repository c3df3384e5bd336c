#include "tag_writer.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "box_types.hpp"
#include "file_layout.hpp"
#include "fragment_moves.hpp"
#include "movie.hpp"
#include "ntag_error.hpp"
#include "other_stores.hpp"
#include "relocation.hpp"
#include "sample_data.hpp"
#include "sample_tables.hpp"
#include "sector.hpp"
#include "undo_outcome.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Room kept free on the disk beyond what a rewrite needs, for the file system itself.
constexpr std::uint64_t kSpaceMargin = 16ull << 20;

std::string Describe(const t_IoError& e) {
  switch (e.Kind()) {
    case t_IoFailure::NotFound:
      return "not found";
    case t_IoFailure::AccessDenied:
      return "access denied";
    case t_IoFailure::InUse:
      return "the file is in use by another program";
    case t_IoFailure::DiskFull:
      return "the disk is full";
    case t_IoFailure::NotAFile:
      return "not a file";
    case t_IoFailure::DeviceError:
    case t_IoFailure::Other:
      break;
  }
  return e.what();
}

[[noreturn]] void WriteFailed(const t_IoError& e) {
  throw t_NtagError(WriteFailureCode(e.Kind()), "cannot write the video: " + Describe(e));
}

// Rethrows the failure being handled as the error ntag reports, saying what the undo that
// followed it left (`outcome`, as read back); a system error becomes a write failure.
[[noreturn]] void RethrowAfterUndo(t_UndoOutcome outcome) {
  const std::string left = UndoText(outcome);
  try {
    throw;
  } catch (const t_IoError& e) {
    throw t_NtagError(WriteFailureCode(e.Kind()), "cannot write the video: " + Describe(e) + left);
  } catch (const t_NtagError& e) {
    throw t_NtagError(e.Code(), e.what() + left);
  } catch (const std::bad_alloc&) {
    throw t_NtagError(t_ExitCode::WriteFailed, "not enough memory" + left);
  }
}

std::string Mismatch(const std::string& what) {
  return "the written file did not read back right (" + what + ")";
}

// What was written into the video did not read back right; the undo that follows says what it left.
[[noreturn]] void ReadBackWrong(const std::string& what) {
  throw t_NtagError(t_ExitCode::VerifyFailed, Mismatch(what));
}

// The same for a copy, which is dropped: the video was never touched.
[[noreturn]] void VerifyFailed(const std::string& what) {
  throw t_NtagError(t_ExitCode::VerifyFailed, Mismatch(what) + UndoText(t_UndoOutcome::Restored));
}

t_File OpenForReading(const t_NativePath& video) {
  try {
    return t_File::Open(video, t_OpenMode::Read);
  } catch (const t_IoError& e) {
    throw t_NtagError(t_ExitCode::VideoUnreadable, "cannot read the video: " + Describe(e));
  }
}

// What a file holds that matters for tagging, read from its headers and its moov alone.
struct t_Snapshot {
  t_FileLayout layout;
  t_Bytes moovBytes;
  t_Movie movie;
};

t_Snapshot TakeSnapshot(const t_File& file) {
  try {
    t_Snapshot s;
    s.layout = t_FileLayout::Scan(file);
    s.moovBytes = ReadMoov(file, s.layout);
    s.movie = t_Movie::Parse(s.moovBytes, s.layout.Moov().offset);
    return s;
  } catch (const t_IoError& e) {
    throw t_NtagError(t_ExitCode::VideoUnreadable, "cannot read the video: " + Describe(e));
  }
}

bool SameBytes(const t_File& file, std::uint64_t offset, const t_Bytes& expected) {
  // A small buffer: compared piece by piece, not read whole into memory once more.
  std::uint8_t piece[64 << 10];
  for (std::size_t done = 0; done < expected.size();) {
    const std::size_t n = std::min(sizeof piece, expected.size() - done);
    file.ReadAt(offset + done, piece, n);
    if (std::memcmp(piece, expected.data() + done, n) != 0) return false;
    done += n;
  }
  return true;
}

// Scans the file's top-level boxes again and tells whether its moov sits at `offset` and
// holds exactly `expected`, bytes whose parse has been checked already.
// Read errors pass as t_IoError: after a write they call for the undo like a write error.
bool HoldsMoov(const t_File& file, std::uint64_t offset, const t_Bytes& expected,
               t_FileLayout* layoutOut = nullptr) {
  t_FileLayout layout = t_FileLayout::Scan(file);
  const t_BoxHeader& moov = layout.Moov();
  bool same = moov.offset == offset && moov.size == expected.size();
  if (same) {
    // A moov of size 0 reads back with its real size patched in.
    same = moov.toEnd ? ReadMoov(file, layout) == expected : SameBytes(file, offset, expected);
  }
  if (layoutOut) *layoutOut = std::move(layout);
  return same;
}

t_Bytes FreeHeader(std::uint64_t size) {
  t_Bytes header;
  AppendBoxHeader(header, kFree, size);
  return header;
}

// One positioned write of the plan.
struct t_Write {
  std::uint64_t offset;
  t_Bytes bytes;
};

// The in-place plan: writes into free space first, then the one switching header write.
struct t_InPlacePlan {
  std::vector<t_Write> prepare;
  t_Write commit;
};

// Finds a free box in meta, next to the old ilst (or anywhere in meta when there is none),
// whose payload holds the new ilst, and the one header write that brings it to life.
std::optional<t_InPlacePlan> PlanInPlace(const t_Movie& movie, const t_Bytes& newIlst,
                                         bool onlyBefore = false) {
  const t_Box* meta = movie.Meta();
  if (!meta) return std::nullopt;
  const auto& kids = meta->children;
  const int ilst = movie.IlstIndex();
  const std::uint64_t newSize = newIlst.size();
  std::vector<std::size_t> candidates;
  if (ilst >= 0) {
    const auto oldIndex = static_cast<std::size_t>(ilst);
    // Free boxes after the ilst first: the usual place of the padding we leave.
    for (std::size_t after = oldIndex + 1; !onlyBefore && after < kids.size() && IsFreeType(kids[after].type);
         ++after)
      candidates.push_back(after);
    for (std::size_t before = oldIndex; before > 0 && IsFreeType(kids[before - 1].type); --before)
      candidates.push_back(before - 1);
  } else {
    for (std::size_t index = 0; index < kids.size(); ++index) {
      if (IsFreeType(kids[index].type)) candidates.push_back(index);
    }
  }
  for (std::size_t freeIndex : candidates) {
    const t_Box& free = kids[freeIndex];
    const std::uint64_t freeAt = free.fileOffset, freeEnd = free.fileOffset + free.originalSize;
    // The room the edit may take, and where the header that switches to the new ilst goes:
    // the free box alone, or with an old ilst everything from the free boxes before it on.
    std::uint64_t switchAt = freeAt, roomEnd = freeEnd;
    const bool freeIsLast = ilst < 0 || freeIndex > static_cast<std::size_t>(ilst);
    if (ilst >= 0) {
      const t_Box& old = kids[static_cast<std::size_t>(ilst)];
      // The switch starts at the first of the free boxes before the old ilst, so they
      // become one with the space it frees instead of piling up with every edit.
      std::size_t first = static_cast<std::size_t>(ilst);
      while (first > 0 && IsFreeType(kids[first - 1].type)) --first;
      switchAt = kids[first].fileOffset;
      roomEnd = std::max(roomEnd, old.fileOffset + old.originalSize);
    }
    std::uint64_t newAt = freeAt + free.originalHeaderSize;
    std::uint64_t freeAfterNew;
    if (freeIsLast) {
      // At the very end of the room: the free space before it stays in one piece, so the
      // next edit can go to the front whatever the sizes of the old and new tags.
      if (newAt + newSize > roomEnd) continue;
      newAt = roomEnd - newSize;
      freeAfterNew = 0;
    } else {
      // The free box behind the new ilst may be joined with the next by its header later:
      // that header goes within one sector, the free box before the ilst taking up the rest.
      if (!WithinSector(newAt + newSize, 8)) newAt += kSector - (newAt + newSize) % kSector;
      if (newAt + newSize + 8 > freeEnd) continue;
      freeAfterNew = roomEnd - (newAt + newSize);
    }
    t_InPlacePlan plan;
    plan.prepare.push_back({newAt, newIlst});
    if (freeAfterNew > 0) plan.prepare.push_back({newAt + newSize, FreeHeader(freeAfterNew)});
    plan.commit = {switchAt, FreeHeader(newAt - switchAt)};
    if (plan.commit.bytes.size() > 8 || !WithinSector(switchAt, 8)) continue;
    return plan;
  }
  return std::nullopt;
}

// Applies `writes` to the moov bytes in memory.
void Apply(t_Bytes& moov, std::uint64_t moovOffset, const std::vector<t_Write>& writes) {
  for (const t_Write& w : writes) {
    std::memcpy(moov.data() + (w.offset - moovOffset), w.bytes.data(), w.bytes.size());
  }
}

void Apply(t_Bytes& moov, std::uint64_t moovOffset, const t_InPlacePlan& plan) {
  Apply(moov, moovOffset, plan.prepare);
  Apply(moov, moovOffset, std::vector<t_Write>{plan.commit});
}

// Joins the first run of adjacent free boxes in meta into one, by rewriting the first header
// that lies within one sector.
std::optional<t_InPlacePlan> PlanMerge(const t_Movie& movie) {
  const t_Box* meta = movie.Meta();
  if (!meta) return std::nullopt;
  const auto& kids = meta->children;
  for (std::size_t first = 0; first + 1 < kids.size(); ++first) {
    if (!IsFreeType(kids[first].type) || !IsFreeType(kids[first + 1].type) ||
        !WithinSector(kids[first].fileOffset, 8))
      continue;
    std::uint64_t size = 0;
    for (std::size_t next = first; next < kids.size() && IsFreeType(kids[next].type); ++next)
      size += kids[next].originalSize;
    if (size > 0xFFFFFFFFull) return std::nullopt;
    return t_InPlacePlan{{}, {kids[first].fileOffset, FreeHeader(size)}};
  }
  return std::nullopt;
}

// The in-place steps that bring the new ilst to life, each one switch of a few bytes:
// directly when a free box next to the ilst holds it; otherwise after joining adjacent
// free boxes, and if need be after moving a copy of the old ilst to the front of the free
// space before it, so the space on both sides of the old ilst becomes one.
std::optional<std::vector<t_InPlacePlan>> PlanInPlaceSteps(const t_Snapshot& snap, const t_Bytes& newIlst) {
  const std::uint64_t moovAt = snap.layout.Moov().offset;
  if (auto plan = PlanInPlace(snap.movie, newIlst)) return std::vector<t_InPlacePlan>{std::move(*plan)};
  std::vector<t_InPlacePlan> steps;
  // The tags as the steps so far leave them. The steps write only inside meta, and in-place
  // edits take conforming tag boxes (one udta), so they are planned on a movie of that udta
  // alone behind a moov header, at its place in the file: a copy of all of moov would cost
  // its size again. Made once a step is taken; most edits need none.
  const t_Box* udta = snap.movie.Root().Child(kUdta);
  const std::uint64_t workAt = udta ? udta->fileOffset - 8 : moovAt;
  t_Bytes work;
  t_Movie taken;
  const auto movie = [&]() -> const t_Movie& { return steps.empty() ? snap.movie : taken; };
  auto take = [&](const t_InPlacePlan& plan) {
    if (steps.empty()) {
      const auto from = snap.moovBytes.begin() + static_cast<std::ptrdiff_t>(udta->fileOffset - moovAt);
      AppendBoxHeader(work, kMoov, 8 + udta->originalSize);
      work.insert(work.end(), from, from + static_cast<std::ptrdiff_t>(udta->originalSize));
    }
    steps.push_back(plan);
    Apply(work, workAt, plan);
    taken = t_Movie::Parse(work, workAt);
  };
  if (auto merge = PlanMerge(movie())) {
    take(*merge);
    if (auto plan = PlanInPlace(movie(), newIlst)) {
      take(*plan);
      return steps;
    }
  }
  const int ilst = movie().IlstIndex();
  if (ilst < 0) return std::nullopt;
  const t_Box& old = movie().Meta()->children[static_cast<std::size_t>(ilst)];
  const auto begin = steps.empty() ? snap.moovBytes.begin() + static_cast<std::ptrdiff_t>(old.fileOffset - moovAt)
                                   : work.begin() + static_cast<std::ptrdiff_t>(old.fileOffset - workAt);
  const t_Bytes oldIlst(begin, begin + static_cast<std::ptrdiff_t>(old.originalSize));
  const auto compact = PlanInPlace(movie(), oldIlst, true);
  if (!compact) return std::nullopt;
  take(*compact);
  if (auto merge = PlanMerge(movie())) take(*merge);
  const auto plan = PlanInPlace(movie(), newIlst);
  if (!plan) return std::nullopt;
  take(*plan);
  return steps;
}

// Checks that a movie carries exactly the ilst payload of `ilstBox`.
bool IsPayloadOf(const t_Bytes& payload, const t_Bytes& ilstBox) {
  t_BoxHeader h;
  if (!ReadSizeAndType(ilstBox.data(), ilstBox.size(), h)) return false;
  return payload.size() + h.headerSize == ilstBox.size() &&
         std::equal(payload.begin(), payload.end(), ilstBox.begin() + h.headerSize);
}

bool CarriesIlst(const t_Movie& movie, const t_Bytes& ilstBox) {
  return movie.IlstIndex() >= 0 && IsPayloadOf(movie.IlstPayload(), ilstBox);
}

// An undo goes on when a flush fails: its bytes are written and read back as written; only
// their order on the disk is not assured.
void FlushQuietly(t_File& file) {
  try {
    file.FlushData();
  } catch (const t_IoError&) {
  }
}

// One in-place step as it is written: its writes in order, and the bytes each covered just
// before the step (after the steps before it), which take the step back.
struct t_Step {
  std::vector<t_Write> writes;
  std::vector<t_Write> before;
};

// Writes back bytes that a step covered. A write that fails may have changed nothing: when
// they read back as they should be, the undo goes on; otherwise it stops there (t_IoError).
void PutBack(t_File& file, const t_Write& w) {
  try {
    file.WriteAt(w.offset, w.bytes.data(), w.bytes.size());
  } catch (const t_IoError&) {
    if (!SameBytes(file, w.offset, w.bytes)) throw;
  }
}

// Takes back the first `begun` steps, last first, and the writes of each in reverse: every
// step taken back leaves the file as the step before left it, so the undo may stop anywhere.
// True when all went back.
bool Undo(t_File& file, const std::vector<t_Step>& steps, std::size_t begun) {
  try {
    while (begun > 0) {
      const t_Step& step = steps[--begun];
      for (auto w = step.before.rbegin(); w != step.before.rend(); ++w) PutBack(file, *w);
      FlushQuietly(file);
    }
    return true;
  } catch (const t_IoError&) {
    return false;
  }
}

// Whether meta's children in moov[begin, end) tile that space and the first ilst among
// them holds exactly `payload`. Reads the bytes where they are.
bool ChildrenCarry(const t_Bytes& moov, std::uint64_t moovAt, std::uint64_t begin, std::uint64_t end,
                   const std::uint8_t* payload, std::size_t size) {
  std::vector<t_BoxHeader> kids;
  try {
    kids =
        ParseSiblings(moov.data() + (begin - moovAt), static_cast<std::size_t>(end - begin), begin, "meta");
  } catch (const t_NtagError&) {
    return false;
  }
  for (const t_BoxHeader& h : kids) {
    // A size of 0 would read as the end of the list here, not as a box.
    if (h.toEnd) return false;
  }
  for (const t_BoxHeader& h : kids) {
    if (h.type != kIlst) continue;
    const std::uint8_t* at = moov.data() + (h.offset + h.headerSize - moovAt);
    return h.size - h.headerSize == size && std::equal(at, at + size, payload);
  }
  return false;
}

void WriteInPlace(t_File& file, t_Snapshot& snap, const std::vector<t_InPlacePlan>& plan,
                  const t_Bytes& newIlst) {
  const std::uint64_t moovAt = snap.layout.Moov().offset;
  const t_Bytes& oldIlst = snap.movie.IlstPayload();
  t_BoxHeader newHeader;
  ReadSizeAndType(newIlst.data(), newIlst.size(), newHeader);
  // Prove the steps on moov in memory before touching the file. Every write lies among
  // meta's children, so the rest of moov, chunk offsets included, keeps its bytes; after each
  // step those children must still tile meta, with the old or (after the last) the new ilst.
  // On the way, keep the bytes each step covers, to take it back after a failure.
  const t_Box& meta = *snap.movie.Meta();
  const std::uint64_t kidsBegin = meta.fileOffset + meta.originalHeaderSize + meta.prefix.size();
  const std::uint64_t kidsEnd = meta.fileOffset + meta.originalSize - meta.tail.size();
  t_Bytes& expected = snap.moovBytes;
  std::vector<t_Step> steps;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    t_Step step;
    step.writes = plan[i].prepare;
    step.writes.push_back(plan[i].commit);
    bool holds = true;
    for (const t_Write& w : step.writes) {
      holds = holds && w.offset >= kidsBegin && w.offset + w.bytes.size() <= kidsEnd;
      if (!holds) break;
      const auto from = expected.begin() + static_cast<std::ptrdiff_t>(w.offset - moovAt);
      step.before.push_back({w.offset, t_Bytes(from, from + static_cast<std::ptrdiff_t>(w.bytes.size()))});
    }
    if (holds) {
      Apply(expected, moovAt, plan[i]);
      holds = i + 1 == plan.size()
                  ? ChildrenCarry(expected, moovAt, kidsBegin, kidsEnd, newIlst.data() + newHeader.headerSize,
                                  newIlst.size() - newHeader.headerSize)
                  : ChildrenCarry(expected, moovAt, kidsBegin, kidsEnd, oldIlst.data(), oldIlst.size());
    }
    if (!holds)
      throw t_NtagError(t_ExitCode::VerifyFailed, "internal error: the in-place plan does not hold");
    steps.push_back(std::move(step));
  }
  std::size_t begun = 0;
  try {
    for (const t_Step& step : steps) {
      ++begun;
      // The new bytes go into free space first and are flushed and read back; then the last
      // write of the step, a header, makes them live.
      const t_Write& commit = step.writes.back();
      for (std::size_t w = 0; w + 1 < step.writes.size(); ++w) {
        file.WriteAt(step.writes[w].offset, step.writes[w].bytes.data(), step.writes[w].bytes.size());
      }
      file.FlushData();
      for (std::size_t w = 0; w + 1 < step.writes.size(); ++w) {
        if (!SameBytes(file, step.writes[w].offset, step.writes[w].bytes))
          ReadBackWrong("new tags in free space");
      }
      file.WriteAt(commit.offset, commit.bytes.data(), commit.bytes.size());
      file.FlushData();
    }
    if (!HoldsMoov(file, moovAt, expected)) ReadBackWrong("movie box after the switch");
  } catch (...) {
    if (Undo(file, steps, begun)) RethrowAfterUndo(t_UndoOutcome::Restored);
    // The old movie box, to tell by reading back what the file holds now.
    t_Bytes old = expected;
    for (std::size_t i = steps.size(); i-- > 0;) {
      Apply(old, moovAt, std::vector<t_Write>(steps[i].before.rbegin(), steps[i].before.rend()));
    }
    RethrowAfterUndo(ReadBackOutcome(file, moovAt, old, snap.layout.fileSize, 0, {}, newIlst));
  }
}

void CheckFreeSpace(const t_File& video, std::uint64_t need) {
  const std::uint64_t available = FreeSpaceBeside(video);
  if (available != UINT64_MAX && available < need + kSpaceMargin) {
    throw t_NtagError(t_ExitCode::DiskFull,
                      "not enough free disk space: " + std::to_string((need + kSpaceMargin) >> 20) +
                          " MiB needed, " + std::to_string(available >> 20) + " MiB free");
  }
}

// Gives the snapshot's movie `newIlst`, to be written at `moovAt`, with padding after it sized
// to the file, chunk offsets unchanged, and the ilst placed for the next in-place switch. In
// place, as a copy of a large movie costs its size again; setting the ilst once more replaces
// the one set before, so a movie may take it repeatedly.
void PutNewIlst(t_Snapshot& snap, const t_Bytes& newIlst, std::uint64_t moovAt, std::uint64_t extraPadding = 0) {
  snap.movie.SetIlst(newIlst, PaddingFor(newIlst.size(), snap.layout.fileSize) + extraPadding);
  AlignTagRegion(snap.movie, moovAt);
}

// Takes back an appended movie: the switched header first (`header`, the bytes it covered,
// when the switch may have begun), then the file cut back to its old end. A header that
// does not read back as before keeps the new moov, which the cut would remove.
bool UndoAppended(t_File& file, const t_Write* header, std::uint64_t oldEnd) {
  try {
    if (header) {
      PutBack(file, *header);
      FlushQuietly(file);
    }
    file.Truncate(oldEnd);
    FlushQuietly(file);
    return true;
  } catch (const t_IoError&) {
    return false;
  }
}

// Where a last moov may start in a rewrite that leaves out the free space around it: at the
// top-level free boxes right before it (movie boxes earlier edits left behind), or where it
// is; none when sample data lies there or behind.
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

// Writes a new last moov after the end of the file, without moving the media. False, with
// nothing written, when that would leave more than 1/8 of the file free (old movie boxes
// piling up on a small file): a rewrite that leaves the free space out costs little there.
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
    if (!CarriesIlst(proof, newIlst) || !SameOffsets(proof.ChunkOffsets(), snap.movie.ChunkOffsets())) {
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
    RethrowAfterUndo(UndoAppended(file, switched ? &before : nullptr, end)
                         ? t_UndoOutcome::Restored
                         : ReadBackOutcome(file, moov.offset, snap.moovBytes, end, before.offset, before.bytes,
                                           newIlst));
  }
  return true;
}

// Checks every chunk offset of the new file: its old one moved as `move` moves that place,
// and that both point at the same bytes. Those are compared for every chunk, or, when the
// file system shared the media instead of copying it (so none of it is in memory), for chunks
// spread over the file: the sharing itself is the file system's.
bool SameMedia(const t_File& oldFile, const std::vector<t_OffsetTable>& oldTables, const t_File& newFile,
               const std::vector<t_OffsetTable>& newTables, const t_Relocation& move, bool shared) {
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
      if (!shift || n != static_cast<std::uint64_t>(static_cast<std::int64_t>(o) + *shift)) return false;
      if ((flat % step == 0 || flat + 1 == count) && !sameBytes(o, n)) return false;
    }
  }
  return true;
}

// `compactAt`: for a last moov, where the copy's moov starts instead (the start of the free
// space before it); the free space around it is left out of the copy.
void WriteRewritten(t_File& file, const t_NativePath& video, t_Snapshot& snap, const t_Bytes& newIlst,
                    std::optional<std::uint64_t> compactAt = std::nullopt) {
  const t_BoxHeader& moov = snap.layout.Moov();
  const std::uint64_t oldEnd = moov.offset + moov.size;
  const std::uint64_t at = compactAt.value_or(moov.offset);
  // Only tables both this tool and readers find can be moved with the media.
  const std::vector<t_OffsetTable> oldTables = ReaderChunkTables(snap.moovBytes.data(), snap.moovBytes.size());
  if (!SameOffsets(oldTables, snap.movie.ChunkOffsets())) {
    throw t_NtagError(t_ExitCode::LayoutRefused,
                      "a chunk offset table lies where players may read it but this tool would not move it");
  }
  // The media moves by a whole number of blocks, so a file system that can share blocks
  // between files (reflinks) shares them instead of copying: the padding takes up the rest.
  constexpr std::int64_t kBlock = 4096;
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
    if (off == 0 || compactAt) break;  // no media behind a last moov
    extra += static_cast<std::uint64_t>(kBlock - off);
  }
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
  const std::vector<t_FieldWrite> fields = PlanFragmentMoves(file, snap.layout, snap.moovBytes, move);
  std::vector<t_DataRange> rewritten;
  for (const t_FieldWrite& f : fields) rewritten.push_back({f.position, f.width});
  // A last mdat that claims more than the file holds gets its true size in the copy.
  const t_BoxHeader& last = snap.layout.boxes.back();
  t_Bytes mdatHeader;
  if (snap.layout.mdatClaimsMore && move.ShiftOf(last.offset, last.headerSize)) {
    AppendBoxHeader(mdatHeader, kMdat, last.size, last.largeSize);
    rewritten.push_back({last.offset, mdatHeader.size()});
  }
  move.MarkRewritten(std::move(rewritten));
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
    const auto inCopy = [&](std::uint64_t position, std::size_t width) {
      return static_cast<std::uint64_t>(static_cast<std::int64_t>(position) + *move.ShiftOf(position, width));
    };
    for (const t_FieldWrite& f : fields) {
      std::uint8_t raw[8];
      if (f.width == 4) {
        Store32(raw, static_cast<std::uint32_t>(f.value));
      } else {
        Store64(raw, f.value);
      }
      out.WriteAt(inCopy(f.position, f.width), raw, f.width);
    }
    if (!mdatHeader.empty())
      out.WriteAt(inCopy(last.offset, mdatHeader.size()), mdatHeader.data(), mdatHeader.size());
    // Checked while the write-back runs; the flush then makes exactly these bytes durable,
    // before the rename can publish them.
    t_FileLayout copyLayout;
    if (!HoldsMoov(out, at, newMoov, &copyLayout) || copyLayout.fileSize != newSize) {
      VerifyFailed("movie box of the copy");
    }
    (void)t_Movie::Parse(newMoov, at);
    // The tables are found afresh in both files, as a reader finds them: the copy's moov
    // holds exactly newMoov, so they are read from those bytes.
    const std::vector<t_OffsetTable> newTables = ReaderChunkTables(newMoov.data(), newMoov.size());
    if (!SameMedia(file, oldTables, out, newTables, move, shared > 0)) {
      VerifyFailed("media of the copy");
    }
    if (!SameFragmentData(file, snap.layout, snap.moovBytes, out, copyLayout, newMoov, move)) {
      VerifyFailed("fragment offsets of the copy");
    }
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

t_SampleExtent CheckedSampleData(const t_File& file, const t_Snapshot& snap) {
  try {
    return CheckSampleData(file, snap.layout, snap.moovBytes);
  } catch (const t_IoError& e) {
    throw t_NtagError(t_ExitCode::VideoUnreadable, "cannot read the video: " + Describe(e));
  }
}

}  // namespace

std::uint64_t PaddingFor(std::uint64_t ilstSize, std::uint64_t fileSize) {
  return ilstSize + std::clamp<std::uint64_t>(fileSize / 256, 64 << 10, 4 << 20);
}

t_TagList ReadTags(const t_NativePath& video, std::vector<std::string>* otherStores) {
  t_File file = OpenForReading(video);
  const t_Snapshot snap = TakeSnapshot(file);
  CheckedSampleData(file, snap);
  if (otherStores) *otherStores = OtherStoresListing(snap.movie);
  // QuickTime's 'mdta' metadata numbers its items through a key table; those are not iTunes tags.
  if (snap.movie.Meta() && snap.movie.MetaHandler() != kMdir) return {};
  return t_TagList::Parse(snap.movie.IlstPayload());
}

t_WritePath WriteTags(const t_NativePath& video, const std::function<void(t_TagList&)>& edit,
                      std::vector<std::string>* otherStores) {
  t_Snapshot snap;
  t_Bytes newIlst;
  bool othersChanged = false;
  std::uint64_t dataEnd = 0;
  {
    t_File reader = OpenForReading(video);
    snap = TakeSnapshot(reader);
    snap.movie.CheckTagBoxesUnique();
    // ffmpeg's use_metadata_tags leaves QuickTime Keys where the iTunes tags go.
    const bool keysMoved = MoveKeysOutOfUserData(snap.movie);
    if (snap.movie.Meta() && snap.movie.MetaHandler() != kMdir) {
      const std::uint32_t handler = snap.movie.MetaHandler();
      throw t_NtagError(t_ExitCode::LayoutRefused,
                        handler == 0
                            ? std::string("the file's metadata box has no handler")
                            : "the file keeps its metadata in a form other than iTunes tags (handler '" +
                                  TypeName(handler) + "')");
    }
    const t_SampleExtent extent = CheckedSampleData(reader, snap);
    // Every path would change bytes a track reads.
    if (extent.reachesIntoMoov)
      throw t_NtagError(t_ExitCode::LayoutRefused, "sample data lies inside the movie box");
    dataEnd = extent.end;
    t_TagList tags = t_TagList::Parse(snap.movie.IlstPayload());
    edit(tags);
    newIlst = tags.Serialize();
    // The movie to write; snap.moovBytes stays the old one, to check and take back against.
    othersChanged = RemoveFromOtherStores(snap.movie, tags.SetKeys());
    if (otherStores) *otherStores = OtherStoresListing(snap.movie);
    // Unchanged items keep their bytes, so an edit that changes nothing gives the same payload.
    const bool hadIlst = snap.movie.IlstIndex() >= 0;
    const bool sameIlst =
        (hadIlst && IsPayloadOf(snap.movie.IlstPayload(), newIlst)) || (!hadIlst && newIlst.size() == 8);
    if (sameIlst && !othersChanged) return t_WritePath::NothingToDo;
    // Keys moved to moov/meta change more of moov than the ilst, as removed entries do.
    othersChanged = othersChanged || keysMoved;
  }
  t_File file;
  try {
    file = t_File::Open(video, t_OpenMode::ReadWrite);
  } catch (const t_IoError& e) {
    WriteFailed(e);
  }
  // Held for writing now; the movie parsed above stands only if its bytes are still there.
  t_FileLayout now;
  try {
    if (!HoldsMoov(file, snap.layout.Moov().offset, snap.moovBytes, &now)) {
      throw t_NtagError(t_ExitCode::WriteFailed,
                        "the video was changed by another program while it was read");
    }
  } catch (const t_IoError& e) {
    throw t_NtagError(t_ExitCode::VideoUnreadable, "cannot read the video: " + Describe(e));
  }
  snap.layout = std::move(now);
  // Tag boxes some readers would miss are written anew in their conforming form instead; so
  // are edits that also clear other stores, which change more of moov than the ilst.
  if (!othersChanged && snap.movie.TagBoxesConform()) {
    if (const auto steps = PlanInPlaceSteps(snap, newIlst)) {
      WriteInPlace(file, snap, *steps, newIlst);
      return t_WritePath::InPlace;
    }
  }
  bool sizeZero = false;
  for (const t_BoxHeader& b : snap.layout.boxes) sizeZero = sizeZero || b.toEnd;
  if (snap.layout.MoovIsLast() && !sizeZero) {
    if (WriteAppended(file, snap, newIlst, dataEnd)) return t_WritePath::AppendedMovie;
    WriteRewritten(file, video, snap, newIlst, CompactMoovAt(snap, dataEnd));
    return t_WritePath::Rewrite;
  }
  WriteRewritten(file, video, snap, newIlst);
  return t_WritePath::Rewrite;
}

}  // namespace n_zorbel::n_ntag
