#include "writing/in_place_plan.hpp"

#include <algorithm>
#include <utility>

#include "model/box_types.hpp"
#include "writing/sector.hpp"

namespace n_zorbel::n_ntag {
namespace {

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

}  // namespace

void Apply(t_Bytes& moov, std::uint64_t moovOffset, const t_InPlacePlan& plan) {
  Apply(moov, moovOffset, plan.prepare);
  Apply(moov, moovOffset, std::vector<t_Write>{plan.commit});
}

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
  const auto begin = steps.empty()
                         ? snap.moovBytes.begin() + static_cast<std::ptrdiff_t>(old.fileOffset - moovAt)
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

}  // namespace n_zorbel::n_ntag
