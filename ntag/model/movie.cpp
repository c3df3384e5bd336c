#include "model/movie.hpp"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "model/box_types.hpp"
#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

bool Descend(const std::vector<std::uint32_t>& parents, std::uint32_t type) {
  const std::size_t depth = parents.size();
  if (depth == 0) return type == kMoov;
  const std::uint32_t parent = parents.back();
  if (parent == kMoov) return type == kTrak || type == kUdta;
  if (parent == kTrak) return type == kMdia;
  if (parent == kMdia) return type == kMinf;
  if (parent == kMinf) return type == kStbl;
  if (parent == kUdta && depth == 2) return type == kMeta;
  return false;
}

// Visits every stbl of every track, duplicates on the way included: a reader may take
// any of them, so every one must move with the media.
template <typename F>
void ForEachSampleTable(t_Box& moov, F&& f) {
  static constexpr std::uint32_t kChain[] = {kTrak, kMdia, kMinf, kStbl};
  const auto visit = [&](auto& self, t_Box& box, std::size_t depth) -> void {
    for (t_Box& child : box.children) {
      if (child.type != kChain[depth]) continue;
      if (depth + 1 == std::size(kChain)) {
        f(child);
      } else {
        self(self, child, depth + 1);
      }
    }
  };
  visit(visit, moov, 0);
}

// The entries of a stco, co64 or saio box of the tree, where they lie in its payload; refuses
// (3) a box too short for the count it gives, so the rest of the tool may trust every entry.
t_OffsetTable OffsetBoxEntries(const t_Box& box) {
  const t_Bytes& p = box.payload;
  std::uint32_t width = 4;
  std::size_t pos = 4;
  if (box.type == kSaio) {
    if (p.size() < 4) Damaged("short saio box");
    if (Read32(p.data()) & kSaioHasInfoType) pos += 8;
    width = p[0] == 0 ? 4 : 8;
  } else {
    width = box.type == kCo64 ? 8 : 4;
  }
  if (p.size() < pos + 4) Damaged("short chunk offset table");
  const std::uint32_t count = Read32(p.data() + pos);
  if ((p.size() - pos - 4) / width < count) Damaged("chunk offset table longer than its box");
  return {p.data() + pos + 4, count, width};
}

}  // namespace

t_Movie t_Movie::Parse(const t_Bytes& moovBytes, std::uint64_t fileOffset) {
  t_Movie movie;
  movie.m_root = ParseBoxTree(moovBytes.data(), moovBytes.size(), fileOffset, Descend);
  // Check the offset tables once here, so later code may trust them.
  ForEachSampleTable(movie.m_root, [](t_Box& stbl) {
    for (const t_Box& b : stbl.children) {
      if (b.type == kStco || b.type == kCo64 || b.type == kSaio) OffsetBoxEntries(b);
    }
  });
  return movie;
}

const t_Box* t_Movie::Meta() const {
  for (const t_Box& udta : m_root.children) {
    if (udta.type != kUdta) continue;
    if (const t_Box* meta = udta.Child(kMeta)) return meta;
  }
  return nullptr;
}

t_Box* t_Movie::Meta() { return const_cast<t_Box*>(std::as_const(*this).Meta()); }

void t_Movie::CheckTagBoxesUnique() const {
  const t_Box* first = Meta();
  if (!first) return;
  // Serialized only for a second meta: the first holds the padding, megabytes on a long video.
  std::optional<t_Bytes> firstBytes;
  for (const t_Box& udta : m_root.children) {
    if (udta.type != kUdta) continue;
    for (const t_Box& meta : udta.children) {
      if (meta.type != kMeta || &meta == first) continue;
      if (!firstBytes) firstBytes = first->Serialize();
      if (meta.Serialize() != *firstBytes) {
        throw t_NtagError(t_ExitCode::LayoutRefused, "the file holds two different metadata boxes (meta)");
      }
    }
  }
  for (const std::uint32_t type : {kHdlr, kIlst}) {
    if (std::count_if(first->children.begin(), first->children.end(),
                      [type](const t_Box& b) { return b.type == type; }) > 1) {
      throw t_NtagError(t_ExitCode::LayoutRefused,
                        "the metadata box holds two '" + TypeName(type) + "' boxes");
    }
  }
}

bool t_Movie::TagBoxesConform() const {
  std::size_t udtas = 0;
  for (const t_Box& b : m_root.children) udtas += b.type == kUdta;
  if (udtas > 1) return false;
  const t_Box* udta = m_root.Child(kUdta);
  if (!udta) return true;
  if (udta->sizeToEnd) return false;
  const t_Box* meta = udta->Child(kMeta);
  if (!meta) return true;
  std::size_t metas = 0;
  for (const t_Box& b : udta->children) metas += b.type == kMeta;
  // A meta without version and flags (QuickTime's form) is read by few readers; a child of
  // size 0 (to the end of meta), the ilst or any other, reads as the end of the list to some,
  // and an in-place switch before it could not be proven.
  return metas == 1 && !meta->sizeToEnd && meta->prefix.size() == 4 && !meta->children.empty() &&
         meta->children.front().type == kHdlr &&
         std::none_of(meta->children.begin(), meta->children.end(),
                      [](const t_Box& b) { return b.sizeToEnd; });
}

std::uint32_t t_Movie::MetaHandler() const {
  const t_Box* meta = Meta();
  const t_Box* hdlr = meta ? meta->Child(kHdlr) : nullptr;
  if (!hdlr || hdlr->payload.size() < 12) return 0;
  return Read32(hdlr->payload.data() + 8);
}

int t_Movie::IlstIndex() const {
  const t_Box* meta = Meta();
  if (!meta) return -1;
  for (std::size_t i = 0; i < meta->children.size(); ++i) {
    if (meta->children[i].type == kIlst) return static_cast<int>(i);
  }
  return -1;
}

const t_Bytes& t_Movie::IlstPayload() const {
  static const t_Bytes kNone;
  const int i = IlstIndex();
  if (i < 0) return kNone;
  return Meta()->children[static_cast<std::size_t>(i)].payload;
}

bool t_Movie::CarriesIlst(const t_Bytes& ilstBox) const {
  t_BoxHeader h;
  if (IlstIndex() < 0 || !ReadSizeAndType(ilstBox.data(), ilstBox.size(), h)) return false;
  const t_Bytes& payload = IlstPayload();
  return payload.size() + h.headerSize == ilstBox.size() &&
         std::equal(payload.begin(), payload.end(), ilstBox.begin() + h.headerSize);
}

void t_Movie::JoinUserData() {
  auto& kids = m_root.children;
  const auto first = std::find_if(kids.begin(), kids.end(), [](const t_Box& b) { return b.type == kUdta; });
  if (first == kids.end()) return;
  const t_Box* meta = Meta();
  const t_Bytes metaBytes = meta ? meta->Serialize() : t_Bytes();
  std::vector<t_Box> joined;
  for (auto it = first; it != kids.end(); ++it) {
    if (it->type != kUdta) continue;
    for (t_Box& child : it->children) {
      // A meta that repeats the first says nothing new; readers would show the same tags twice.
      if (child.type == kMeta && &child != meta && child.Serialize() == metaBytes) continue;
      joined.push_back(std::move(child));
    }
  }
  first->children = std::move(joined);
  first->sizeToEnd = false;
  kids.erase(std::remove_if(first + 1, kids.end(), [](const t_Box& b) { return b.type == kUdta; }),
             kids.end());
}

void t_Movie::SetIlst(const t_Bytes& ilstBox, std::uint64_t padding) {
  JoinUserData();
  t_Box* udta = m_root.Child(kUdta);
  if (!udta) {
    m_root.children.push_back(t_Box::Container(kUdta));
    udta = &m_root.children.back();
  }
  t_Box* meta = udta->Child(kMeta);
  if (meta) {
    // Most readers take meta as a full box: QuickTime's form, without version and flags,
    // gets them, so every reader finds the hdlr and ilst behind.
    if (meta->prefix.empty()) meta->prefix = t_Bytes{0, 0, 0, 0};
    // Readers look for the handler first: some skip everything in meta before it.
    const auto hdlr = std::find_if(meta->children.begin(), meta->children.end(),
                                   [](const t_Box& b) { return b.type == kHdlr; });
    if (hdlr != meta->children.end()) std::rotate(meta->children.begin(), hdlr, hdlr + 1);
  } else {
    udta->children.push_back(t_Box::Container(kMeta, t_Bytes{0, 0, 0, 0}));
    meta = &udta->children.back();
    // The iTunes handler: pre-defined 0, 'mdir', 'appl', two reserved words, empty name.
    t_Bytes hdlr{0, 0, 0, 0, 0, 0, 0, 0};
    Append32(hdlr, kMdir);
    Append32(hdlr, kAppl);
    Append32(hdlr, 0);
    Append32(hdlr, 0);
    hdlr.push_back(0);
    meta->children.push_back(t_Box::Leaf(kHdlr, std::move(hdlr)));
  }
  auto& kids = meta->children;
  std::size_t at = kids.size();
  for (std::size_t i = 0; i < kids.size(); ++i) {
    if (kids[i].type == kIlst) {
      at = i;
      break;
    }
  }
  if (at < kids.size()) {
    // Drop the old ilst with the free boxes around it: the new padding replaces them.
    std::size_t begin = at, end = at + 1;
    while (begin > 0 && IsFreeType(kids[begin - 1].type)) --begin;
    while (end < kids.size() && IsFreeType(kids[end].type)) ++end;
    kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(begin),
               kids.begin() + static_cast<std::ptrdiff_t>(end));
    at = begin;
  } else {
    // No ilst yet: put it after the trailing free boxes' predecessor, i.e. before trailing free space.
    while (at > 0 && IsFreeType(kids[at - 1].type)) --at;
    kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(at), kids.end());
  }
  t_Box ilst = ParseBoxTree(ilstBox.data(), ilstBox.size(), 0,
                            [](const std::vector<std::uint32_t>&, std::uint32_t) { return false; });
  ilst.fileOffset = 0;
  kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(at), std::move(ilst));
  if (padding >= 8) {
    kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                t_Box::Leaf(kFree, t_Bytes(static_cast<std::size_t>(padding - 8), 0)));
  }
}

std::vector<t_OffsetTable> t_Movie::ChunkOffsets() const {
  std::vector<t_OffsetTable> tables;
  ForEachSampleTable(const_cast<t_Box&>(m_root), [&](t_Box& stbl) {
    for (const t_Box& b : stbl.children) {
      if (b.type != kStco && b.type != kCo64) continue;
      tables.push_back(OffsetBoxEntries(b));
    }
  });
  return tables;
}

namespace {

// Unsigned, so that an offset past 2^63 moves as any other (ShiftOffsets refuses one that
// would pass 2^64 - 1).
std::uint64_t Moved(std::uint64_t v, std::uint64_t from, std::int64_t delta) {
  return v >= from ? v + static_cast<std::uint64_t>(delta) : v;
}

// Whether a 32-bit table of `box` would need wider entries once moved.
bool Overflows(const t_OffsetTable& entries, std::uint64_t from, std::int64_t delta) {
  if (entries.width != 4) return false;
  for (std::size_t i = 0; i < entries.count; ++i) {
    if (Moved(entries[i], from, delta) > 0xFFFFFFFFull) return true;
  }
  return false;
}

}  // namespace

std::uint64_t t_Movie::ShiftGrowth(std::uint64_t from, std::int64_t delta) const {
  std::uint64_t growth = 0;
  ForEachSampleTable(const_cast<t_Box&>(m_root), [&](t_Box& stbl) {
    for (const t_Box& b : stbl.children) {
      if (b.type != kStco) continue;
      const t_OffsetTable t = OffsetBoxEntries(b);
      if (Overflows(t, from, delta)) growth += 4ull * t.count;
    }
  });
  return growth;
}

void t_Movie::ShiftOffsets(std::uint64_t inside, std::uint64_t from, std::int64_t delta) {
  ForEachSampleTable(m_root, [&](t_Box& stbl) {
    for (t_Box& b : stbl.children) {
      if (b.type != kStco && b.type != kCo64 && b.type != kSaio) continue;
      const t_OffsetTable entries = OffsetBoxEntries(b);
      for (std::size_t i = 0; i < entries.count; ++i) {
        const std::uint64_t v = entries[i];
        if (v >= inside && v < from && !(b.type == kSaio && v == 0)) {
          throw t_NtagError(t_ExitCode::LayoutRefused, "a track points into the movie box itself");
        }
        // No file reaches there; such an offset addresses nothing, but it cannot be moved.
        if (v >= from && delta > 0 && v > UINT64_MAX - static_cast<std::uint64_t>(delta)) {
          throw t_NtagError(t_ExitCode::LayoutRefused, "a chunk offset lies too near 2^64 to be moved");
        }
      }
      const bool overflow = Overflows(entries, from, delta);
      if (overflow && b.type == kSaio) {
        throw t_NtagError(t_ExitCode::LayoutRefused, "auxiliary sample offsets would exceed 4 GiB");
      }
      if (overflow) {
        // 32-bit chunk offsets cannot reach past 4 GiB: the track gets a co64 table.
        t_Bytes payload;
        payload.reserve(8 + std::size_t{8} * entries.count);
        payload.assign(b.payload.begin(), b.payload.begin() + 4);
        Append32(payload, static_cast<std::uint32_t>(entries.count));
        for (std::size_t i = 0; i < entries.count; ++i) Append64(payload, Moved(entries[i], from, delta));
        b.type = kCo64;
        b.payload = std::move(payload);
        continue;
      }
      // The entries are changed where they lie, in the payload they were read from.
      std::uint8_t* first = b.payload.data() + (entries.entries - b.payload.data());
      for (std::size_t i = 0; i < entries.count; ++i) {
        std::uint8_t* e = first + i * entries.width;
        const std::uint64_t v = Moved(entries[i], from, delta);
        if (entries.width == 4) {
          Store32(e, static_cast<std::uint32_t>(v));
        } else {
          Store64(e, v);
        }
      }
    }
  });
}

}  // namespace n_zorbel::n_ntag
