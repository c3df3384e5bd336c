#include "model/fragment_moves.hpp"

#include <algorithm>

#include "model/box_types.hpp"
#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

[[noreturn]] void Refuse(const std::string& why) { throw t_NtagError(t_ExitCode::LayoutRefused, why); }

// Where a tfra entry keeps its moof offset.
struct t_OffsetField {
  std::uint64_t position;
  std::uint32_t width;
};

// The moof offsets of the tfra tables in the mfra box `box` (held in `bytes`).
std::vector<t_OffsetField> TfraFields(const t_Bytes& bytes, const t_BoxHeader& box) {
  std::vector<t_OffsetField> fields;
  for (const t_BoxHeader& child :
       ParseSiblings(bytes.data() + box.headerSize, bytes.size() - box.headerSize, box.headerSize, "mfra")) {
    if (child.type != kTfra) continue;
    const std::uint8_t* body = bytes.data() + child.offset + child.headerSize;
    const auto bodySize = static_cast<std::size_t>(child.size - child.headerSize);
    if (bodySize < 16) continue;
    const std::uint32_t width = body[0] == kTfraVersion64 ? 8 : 4;
    const std::uint32_t sizes = Read32(body + 8);
    const std::uint32_t count = Read32(body + 12);
    std::uint64_t entry = 2ull * width;  // time and moof offset
    for (const int shift : {kTfraTrafNumberShift, kTfraTrunNumberShift, kTfraSampleNumberShift})
      entry += ((sizes >> shift) & kTfraNumberSizeMask) + 1;
    if ((bodySize - 16) / entry < count) Damaged("tfra table longer than its box");
    const std::uint64_t bodyAt = box.offset + child.offset + child.headerSize;
    for (std::uint32_t k = 0; k < count; ++k) fields.push_back({bodyAt + 16 + k * entry + width, width});
  }
  return fields;
}

std::uint64_t ReadField(const t_Source& file, std::uint64_t position, std::uint32_t width) {
  std::uint8_t raw[8];
  file.ReadAt(position, raw, width);
  return width == 4 ? Read32(raw) : Read64(raw);
}

std::uint64_t Moved(std::uint64_t v, std::int64_t shift) {
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(v) + shift);
}

std::vector<t_BoxHeader> FragmentBoxes(const t_FileLayout& layout) {
  std::vector<t_BoxHeader> boxes;
  std::copy_if(layout.boxes.begin(), layout.boxes.end(), std::back_inserter(boxes),
               [](const t_BoxHeader& b) { return b.type == kMoof || b.type == kMfra; });
  return boxes;
}

bool SameRuns(const t_Source& oldFile, const std::vector<t_TrackFragment>& oldFragments,
              const t_Source& newFile, const std::vector<t_TrackFragment>& newFragments,
              const t_Relocation& move) {
  if (oldFragments.size() != newFragments.size()) return false;
  for (std::size_t f = 0; f < oldFragments.size(); ++f) {
    const auto &oldRuns = oldFragments[f].runs, &newRuns = newFragments[f].runs;
    if (oldRuns.size() != newRuns.size()) return false;
    for (std::size_t r = 0; r < oldRuns.size(); ++r) {
      const t_DataRange &o = oldRuns[r], &n = newRuns[r];
      if (o.bytes != n.bytes) return false;
      if (o.bytes == 0) continue;
      const auto shift = move.ShiftOf(o.at, o.bytes);
      if (!shift || n.at != Moved(o.at, *shift) ||
          !SameStart(oldFile, o.at, newFile, n.at, std::min(o.bytes, move.SameBytesFrom(o.at)))) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

std::vector<t_FieldWrite> PlanTrackFragmentMoves(const std::vector<t_TrackFragment>& fragments,
                                                 std::uint64_t moofAt, const t_Relocation& move) {
  const auto moofShift = move.ShiftOf(moofAt, 0);
  if (!moofShift) Refuse("a movie fragment lies inside the movie box");
  std::vector<t_FieldWrite> writes;
  // Where the data before a track fragment moved: a fragment without a base follows it.
  std::int64_t previous = *moofShift;
  for (const t_TrackFragment& fragment : fragments) {
    std::optional<std::int64_t> lands;
    for (const t_DataRange& run : fragment.runs) {
      if (run.bytes == 0) continue;
      const auto shift = move.ShiftOf(run.at, run.bytes);
      if (!shift) Refuse("sample data of a movie fragment reaches into the movie box");
      if (lands && *lands != *shift)
        Refuse("a track fragment's sample data lies on both sides of the movie box");
      lands = shift;
    }
    std::int64_t baseShift = fragment.baseFrom == t_FragmentBase::Moof ? *moofShift : previous;
    if (fragment.baseFrom == t_FragmentBase::Explicit) {
      baseShift = lands.value_or(move.ShiftOf(fragment.base, 0).value_or(0));
      if (baseShift < 0 && fragment.base < static_cast<std::uint64_t>(-baseShift)) {
        Refuse("a movie fragment's base data offset cannot be moved");
      }
      if (baseShift != 0) writes.push_back({moofAt + fragment.baseField, 8, Moved(fragment.base, baseShift)});
    } else if (lands && *lands != baseShift) {
      Refuse("a movie fragment's sample data lies on the other side of the movie box than its base");
    }
    previous = baseShift;
  }
  return writes;
}

std::vector<t_FieldWrite> PlanFragmentMoves(const t_Source& file, const t_FileLayout& layout,
                                            const t_Bytes& moov, const t_Relocation& move) {
  std::vector<t_FieldWrite> writes;
  for (const t_BoxHeader& box : FragmentBoxes(layout)) {
    if (box.size > kMaxFragmentBox) Refuse("a movie fragment box is larger than 64 MiB");
    const t_Bytes bytes = ReadBox(file, box);
    if (box.type == kMoof) {
      const auto more = PlanTrackFragmentMoves(
          ReaderTrackFragments(moov.data(), moov.size(), bytes.data(), bytes.size(), box.offset), box.offset,
          move);
      writes.insert(writes.end(), more.begin(), more.end());
      continue;
    }
    for (const t_OffsetField& f : TfraFields(bytes, box)) {
      const std::uint64_t v = ReadField(file, f.position, f.width);
      const auto shift = move.ShiftOf(v, 0);
      if (!shift)
        Refuse("a movie fragment index (tfra) points into the movie box or past the end of the file");
      if (*shift == 0) continue;
      if (f.width == 4 && Moved(v, *shift) > 0xFFFFFFFFull)
        Refuse("a 32-bit fragment offset would pass 4 GiB");
      writes.push_back({f.position, f.width, Moved(v, *shift)});
    }
  }
  return writes;
}

bool SameFragmentData(const t_Source& oldFile, const t_FileLayout& oldLayout, const t_Bytes& oldMoov,
                      const t_Source& newFile, const t_FileLayout& newLayout, const t_Bytes& newMoov,
                      const t_Relocation& move) {
  const std::vector<t_BoxHeader> oldBoxes = FragmentBoxes(oldLayout), newBoxes = FragmentBoxes(newLayout);
  if (oldBoxes.size() != newBoxes.size()) return false;
  for (std::size_t i = 0; i < oldBoxes.size(); ++i) {
    const t_BoxHeader &o = oldBoxes[i], &n = newBoxes[i];
    const auto shift = move.ShiftOf(o.offset, o.size);
    if (!shift || n.type != o.type || n.size != o.size || n.offset != Moved(o.offset, *shift)) return false;
    const t_Bytes oldBytes = ReadBox(oldFile, o), newBytes = ReadBox(newFile, n);
    if (o.type == kMoof) {
      if (!SameRuns(oldFile,
                    ReaderTrackFragments(oldMoov.data(), oldMoov.size(), oldBytes.data(), oldBytes.size(),
                                         o.offset),
                    newFile,
                    ReaderTrackFragments(newMoov.data(), newMoov.size(), newBytes.data(), newBytes.size(),
                                         n.offset),
                    move)) {
        return false;
      }
      continue;
    }
    const std::vector<t_OffsetField> oldFields = TfraFields(oldBytes, o), newFields = TfraFields(newBytes, n);
    if (oldFields.size() != newFields.size()) return false;
    for (std::size_t k = 0; k < oldFields.size(); ++k) {
      const t_OffsetField &of = oldFields[k], &nf = newFields[k];
      const std::uint64_t v = ReadField(oldFile, of.position, of.width);
      const auto moved = move.ShiftOf(v, 0);
      if (!moved || nf.width != of.width || nf.position != Moved(of.position, *shift) ||
          ReadField(newFile, nf.position, nf.width) != Moved(v, *moved)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace n_zorbel::n_ntag
