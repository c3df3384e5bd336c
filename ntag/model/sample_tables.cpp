#include "model/sample_tables.hpp"

#include <algorithm>
#include <bit>

#include "model/box.hpp"
#include "model/box_types.hpp"

namespace n_zorbel::n_ntag {
namespace {

// A box's payload, as positions in the bytes walked.
struct t_Span {
  std::size_t begin = 0, end = 0;
  std::size_t Size() const { return end - begin; }
};

// The boxes players open wherever they meet them, so a track's boxes may hide in any of them
// (a size-0 edts swallows the mdia after it, and players still find that mdia).
bool IsOpened(std::uint32_t type) {
  for (const std::uint32_t t : {kTrak, kMdia, kMinf, kStbl, kEdts, kDinf, kMvex, kTref, kUdta}) {
    if (type == t) return true;
  }
  return false;
}

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// Calls visit(type, payload) for each box in d[pos, end), read as players read them.
template <class t_Visit>
void ForEachBox(const std::uint8_t* d, std::size_t pos, std::size_t end, t_Visit visit) {
  for (t_BoxHeader h; ReadSizeAndType(d + pos, end - pos, h);) {
    const std::uint64_t size = h.toEnd ? end - pos : h.size;
    if (size < h.headerSize) return;
    const auto box = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - pos));
    visit(h.type, t_Span{pos + h.headerSize, pos + box});
    pos += box;
  }
}

// The payload of the box held in box[0, size), read as players read it; empty when its
// header is cut short.
t_Span PayloadOf(const std::uint8_t* box, std::size_t size) {
  t_BoxHeader h;
  return ReadSizeAndType(box, size, h) ? t_Span{h.headerSize, size} : t_Span{};
}

// The entries of a stco or co64 payload, as many as its count says and its box holds.
t_OffsetTable ChunkOffsetsAsPlayersRead(const std::uint8_t* d, t_Span body, std::uint32_t width) {
  if (body.Size() < 8) return {nullptr, 0, width};
  const std::size_t count = std::min<std::size_t>(Read32(d + body.begin + 4), (body.Size() - 8) / width);
  return {d + body.begin + 8, count, width};
}

// The chunk offset tables, and the sample tables that hold them, as players find them.
struct t_Found {
  std::vector<t_OffsetTable> tables;
  std::vector<t_Span> sampleTables;
};

// Whether the data references of a minf name another file: its offsets then point there.
bool RefersElsewhere(const std::uint8_t* d, t_Span minf) {
  bool elsewhere = false;
  ForEachBox(d, minf.begin, minf.end, [&](std::uint32_t type, t_Span dinf) {
    if (type != kDinf) return;
    ForEachBox(d, dinf.begin, dinf.end, [&](std::uint32_t t, t_Span dref) {
      if (t != kDref || dref.Size() < 8) return;
      ForEachBox(d, dref.begin + 8, dref.end, [&](std::uint32_t, t_Span entry) {
        elsewhere = elsewhere || entry.Size() < 4 || !(Read32(d + entry.begin) & kDrefSelfContained);
      });
    });
  });
  return elsewhere;
}

void Walk(const std::uint8_t* d, t_Span span, int depth, bool elsewhere, t_Found& out) {
  ForEachBox(d, span.begin, span.end, [&](std::uint32_t type, t_Span body) {
    if (type == kStco || type == kCo64) {
      out.tables.push_back(ChunkOffsetsAsPlayersRead(d, body, type == kCo64 ? 8 : 4));
    } else if (IsOpened(type) && depth < 8) {
      if (type == kStbl) out.sampleTables.push_back(elsewhere ? t_Span{} : body);
      Walk(d, body, depth + 1, elsewhere || (type == kMinf && RefersElsewhere(d, body)), out);
    }
  });
}

t_Found WalkMoov(const std::uint8_t* moov, std::size_t size) {
  t_Found found;
  Walk(moov, PayloadOf(moov, size), 0, false, found);
  return found;
}

// Sample sizes from stsz (one size for all, or one per sample) or stz2 (4, 8 or 16 bits).
class t_SampleSizes {
 public:
  t_SampleSizes(const std::uint8_t* d, t_Span body, bool compact) : m_d(d), m_body(body), m_compact(compact) {
    if (body.Size() < 12) return;
    const std::uint32_t declared = Read32(d + body.begin + 8);
    if (compact) {
      m_bits = d[body.begin + 7];
      if (m_bits != 4 && m_bits != 8 && m_bits != 16) return;
      m_count = std::min<std::uint64_t>(declared, (body.Size() - 12) * 8 / m_bits);
    } else {
      m_constant = Read32(d + body.begin + 4);
      m_count = m_constant ? declared : std::min<std::uint64_t>(declared, (body.Size() - 12) / 4);
    }
  }
  std::uint64_t Count() const { return m_count; }
  // The bytes of samples [first, first + n), all below Count().
  std::uint64_t Bytes(std::uint64_t first, std::uint64_t n) const {
    if (!m_compact && m_constant) return n * m_constant;
    std::uint64_t sum = 0;
    for (std::uint64_t i = first; i < first + n; ++i) sum += Size(i);
    return sum;
  }

 private:
  std::uint64_t Size(std::uint64_t i) const {
    const std::uint8_t* entries = m_d + m_body.begin + 12;
    if (!m_compact) return Read32(entries + 4 * i);
    if (m_bits == 16) return Read16(entries + 2 * i);
    if (m_bits == 8) return entries[i];
    return i % 2 ? entries[i / 2] & 0x0F : entries[i / 2] >> 4;
  }

  const std::uint8_t* m_d;
  t_Span m_body;
  bool m_compact;
  std::uint32_t m_constant = 0, m_bits = 0;
  std::uint64_t m_count = 0;
};

// Calls visit(chunk) for each chunk of one sample table that holds bytes (none for an empty span).
template <class t_Visit>
void ForEachChunk(const std::uint8_t* d, t_Span stbl, t_Visit visit) {
  t_OffsetTable offsets;
  t_Span stsc, sizes;
  bool compact = false, haveOffsets = false;
  ForEachBox(d, stbl.begin, stbl.end, [&](std::uint32_t type, t_Span body) {
    if ((type == kStco || type == kCo64) && !haveOffsets) {
      offsets = ChunkOffsetsAsPlayersRead(d, body, type == kCo64 ? 8 : 4);
      haveOffsets = true;
    } else if (type == kStsc && stsc.end == 0) {
      stsc = body;
    } else if ((type == kStsz || type == kStz2) && sizes.end == 0) {
      sizes = body;
      compact = type == kStz2;
    }
  });
  if (stsc.Size() < 8 || sizes.end == 0) return;
  const t_SampleSizes samples(d, sizes, compact);
  const std::size_t runs = std::min<std::size_t>(Read32(d + stsc.begin + 4), (stsc.Size() - 8) / 12);
  const auto firstChunk = [&](std::size_t r) { return Read32(d + stsc.begin + 8 + 12 * r); };
  std::uint64_t sample = 0;
  std::size_t run = 0;
  for (std::size_t c = 0; c < offsets.count && sample < samples.Count(); ++c) {
    while (run + 1 < runs && firstChunk(run + 1) <= c + 1) ++run;
    if (runs == 0 || firstChunk(run) > c + 1) continue;
    const std::uint64_t perChunk = Read32(d + stsc.begin + 8 + 12 * run + 4);
    const std::uint64_t n = std::min(perChunk, samples.Count() - sample);
    const std::uint64_t bytes = samples.Bytes(sample, n);
    sample += n;
    if (bytes > 0) visit(t_DataRange{offsets[c], bytes});
  }
}

// The default sample size the moov's trex gives track `trackId`, 0 when none.
std::uint64_t TrexSampleSize(const std::uint8_t* moov, std::size_t size, std::uint32_t trackId) {
  std::uint64_t found = 0;
  const t_Span body = PayloadOf(moov, size);
  ForEachBox(moov, body.begin, body.end, [&](std::uint32_t type, t_Span mvex) {
    if (type != kMvex) return;
    ForEachBox(moov, mvex.begin, mvex.end, [&](std::uint32_t t, t_Span trex) {
      if (t == kTrex && trex.Size() >= 24 && Read32(moov + trex.begin + 4) == trackId && !found) {
        found = Read32(moov + trex.begin + 16);
      }
    });
  });
  return found;
}

}  // namespace

std::uint64_t t_OffsetTable::operator[](std::size_t i) const {
  const std::uint8_t* e = entries + i * width;
  return width == 4 ? Read32(e) : Read64(e);
}

bool SameOffsets(const std::vector<t_OffsetTable>& a, const std::vector<t_OffsetTable>& b) {
  std::size_t ta = 0, ia = 0, tb = 0, ib = 0;
  while (true) {
    while (ta < a.size() && ia == a[ta].count) ++ta, ia = 0;
    while (tb < b.size() && ib == b[tb].count) ++tb, ib = 0;
    if (ta == a.size() || tb == b.size()) return ta == a.size() && tb == b.size();
    if (a[ta][ia++] != b[tb][ib++]) return false;
  }
}

std::vector<t_OffsetTable> ReaderChunkTables(const std::uint8_t* moov, std::size_t size) {
  return WalkMoov(moov, size).tables;
}

void ForEachReaderChunk(const std::uint8_t* moov, std::size_t size,
                        const std::function<void(std::size_t, const t_DataRange&)>& visit) {
  const std::vector<t_Span> tables = WalkMoov(moov, size).sampleTables;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    ForEachChunk(moov, tables[t], [&](const t_DataRange& chunk) { visit(t, chunk); });
  }
}

std::vector<t_TrackFragment> ReaderTrackFragments(const std::uint8_t* moov, std::size_t moovSize,
                                                  const std::uint8_t* moof, std::size_t moofSize,
                                                  std::uint64_t moofAt) {
  std::vector<t_TrackFragment> fragments;
  // Without a base of its own, a track fragment's data follows the data of the one before.
  std::uint64_t next = moofAt;
  const t_Span moofBody = PayloadOf(moof, moofSize);
  ForEachBox(moof, moofBody.begin, moofBody.end, [&](std::uint32_t type, t_Span traf) {
    if (type != kTraf) return;
    t_Span tfhd;
    ForEachBox(moof, traf.begin, traf.end, [&](std::uint32_t t, t_Span body) {
      if (t == kTfhd && tfhd.end == 0) tfhd = body;
    });
    if (tfhd.Size() < 8) return;
    const std::uint32_t flags = Read32(moof + tfhd.begin) & kFullBoxFlags;
    std::size_t field = tfhd.begin + 8;
    t_TrackFragment fragment;
    fragment.baseFrom =
        flags & kTfhdDefaultBaseIsMoof || fragments.empty() ? t_FragmentBase::Moof : t_FragmentBase::Previous;
    fragment.base = flags & kTfhdDefaultBaseIsMoof ? moofAt : next;
    if (flags & kTfhdBaseDataOffset) {
      if (field + 8 > tfhd.end) return;
      fragment.baseFrom = t_FragmentBase::Explicit;
      fragment.base = Read64(moof + field);
      fragment.baseField = field;
      field += 8;
    }
    field += (flags & kTfhdSampleDescriptionIndex ? 4 : 0) + (flags & kTfhdDefaultSampleDuration ? 4 : 0);
    std::uint64_t defaultSize = TrexSampleSize(moov, moovSize, Read32(moof + tfhd.begin + 4));
    if (flags & kTfhdDefaultSampleSize) {
      if (field + 4 > tfhd.end) return;
      defaultSize = Read32(moof + field);
    }
    const std::uint64_t base = fragment.base;
    std::uint64_t pos = base;
    ForEachBox(moof, traf.begin, traf.end, [&](std::uint32_t t, t_Span trun) {
      if (t != kTrun || trun.Size() < 8) return;
      const std::uint32_t runFlags = Read32(moof + trun.begin) & kFullBoxFlags;
      std::size_t at = trun.begin + 8;
      if (runFlags & kTrunDataOffset) {
        if (at + 4 > trun.end) return;
        const auto offset = static_cast<std::int32_t>(Read32(moof + at));
        pos = static_cast<std::uint64_t>(static_cast<std::int64_t>(base) + offset);
        at += 4;
      }
      at += runFlags & kTrunFirstSampleFlags ? 4 : 0;
      std::uint64_t count = Read32(moof + trun.begin + 4);
      const std::size_t width = 4 * static_cast<std::size_t>(std::popcount(runFlags & kTrunSampleFields));
      if (width > 0) count = at > trun.end ? 0 : std::min<std::uint64_t>(count, (trun.end - at) / width);
      std::uint64_t bytes = count * defaultSize;
      if (runFlags & kTrunSampleSize) {
        const std::size_t sizeAt = at + (runFlags & kTrunSampleDuration ? 4 : 0);
        bytes = 0;
        for (std::uint64_t i = 0; i < count; ++i) bytes += Read32(moof + sizeAt + i * width);
      }
      fragment.runs.push_back({pos, bytes});
      pos = SaturatingAdd(pos, bytes);
    });
    next = pos;
    fragments.push_back(std::move(fragment));
  });
  return fragments;
}

}  // namespace n_zorbel::n_ntag
