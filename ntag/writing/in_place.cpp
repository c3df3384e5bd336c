#include "writing/in_place.hpp"

#include <algorithm>
#include <utility>

#include "model/box_types.hpp"
#include "ntag_error.hpp"
#include "writing/undo.hpp"
#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Whether meta's children in moov[begin, end) tile that space and the first ilst among
// them holds exactly `payload`; with `payload` null, whether none of them is an ilst (a meta
// that had none keeps none until the last step). Reads the bytes where they are.
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
    return payload != nullptr && h.size - h.headerSize == size && std::equal(at, at + size, payload);
  }
  return payload == nullptr;
}

}  // namespace

void WriteInPlace(t_File& file, t_Snapshot& snap, const std::vector<t_InPlacePlan>& plan,
                  const t_Bytes& newIlst) {
  const std::uint64_t moovAt = snap.layout.Moov().offset;
  const t_Bytes& oldIlst = snap.movie.IlstPayload();
  const bool hadIlst = snap.movie.IlstIndex() >= 0;
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
                  : ChildrenCarry(expected, moovAt, kidsBegin, kidsEnd, hadIlst ? oldIlst.data() : nullptr,
                                  oldIlst.size());
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
    if (UndoSteps(file, steps, begun)) RethrowAfterUndo(t_UndoOutcome::Restored);
    // The old movie box, to tell by reading back what the file holds now.
    t_Bytes old = expected;
    for (std::size_t i = steps.size(); i-- > 0;) {
      Apply(old, moovAt, std::vector<t_Write>(steps[i].before.rbegin(), steps[i].before.rend()));
    }
    RethrowAfterUndo(ReadBackOutcome(file, moovAt, old, snap.layout.fileSize, 0, {}, newIlst));
  }
}

}  // namespace n_zorbel::n_ntag
