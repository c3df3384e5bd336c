#include "box_builder.hpp"

#include <fstream>
#include <stdexcept>
#include <tuple>

namespace n_zorbel::n_ntag::n_test {
namespace {

void Put32(std::string& s, std::uint64_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}
void Put64(std::string& s, std::uint64_t v) {
  Put32(s, v >> 32);
  Put32(s, v & 0xFFFFFFFF);
}

}  // namespace

std::string Box(const std::string& type, const std::string& body, bool large) {
  std::string s;
  if (large) {
    Put32(s, 1);
    s += type;
    Put64(s, body.size() + 16);
  } else {
    Put32(s, body.size() + 8);
    s += type;
  }
  return s + body;
}

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

namespace {

// The box with its 32-bit size field set to 0.
std::string ZeroSize(std::string box) { return box.replace(0, 4, Zeros(4)); }

std::string ChunkBytes(int track, int index) {
  std::string s;
  for (int k = 0; k < 100 + 7 * index; ++k) s += static_cast<char>((track * 131 + index * 17 + k * 7) & 0xFF);
  return s;
}

std::uint64_t Get(const std::string& s, std::size_t at, int width) {
  std::uint64_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

struct t_Header {
  std::string type;
  std::uint64_t size, header;
};

t_Header HeaderAt(const std::string& s, std::size_t at, std::uint64_t room) {
  t_Header h{s.substr(at + 4, 4), Get(s, at, 4), 8};
  if (h.size == 1) h.size = Get(s, at + 8, 8), h.header = 16;
  if (h.size == 0) h.size = room;
  return h;
}

std::string ReadRange(const std::string& path, std::uint64_t at, std::uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(at));
  std::string s(size, '\0');
  in.read(s.data(), static_cast<std::streamsize>(size));
  s.resize(static_cast<std::size_t>(in.gcount()));
  return s;
}

std::uint64_t FileSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return static_cast<std::uint64_t>(in.tellg());
}

std::vector<t_Header> TopLevel(const std::string& path, std::vector<std::uint64_t>& offsets) {
  std::vector<t_Header> boxes;
  const std::uint64_t end = FileSize(path);
  for (std::uint64_t at = 0; at + 8 <= end;) {
    const std::string raw = ReadRange(path, at, 16);
    const t_Header h = HeaderAt(raw, 0, end - at);
    if (h.size < 8) throw std::runtime_error("bad top-level box");
    boxes.push_back(h);
    offsets.push_back(at);
    at += h.size;
  }
  return boxes;
}

std::string ReadMoov(const std::string& path) {
  std::vector<std::uint64_t> offsets;
  const auto boxes = TopLevel(path, offsets);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].type == "moov") return ReadRange(path, offsets[i], boxes[i].size);
  }
  throw std::runtime_error("no moov");
}

// Children of the container whose body is s[begin, end).
std::vector<std::pair<t_Header, std::size_t>> Children(const std::string& s, std::size_t begin,
                                                       std::size_t end) {
  std::vector<std::pair<t_Header, std::size_t>> kids;
  while (begin + 8 <= end) {
    const t_Header h = HeaderAt(s, begin, end - begin);
    if (h.size < 8 || begin + h.size > end) break;
    kids.push_back({h, begin});
    begin += static_cast<std::size_t>(h.size);
  }
  return kids;
}

const std::pair<t_Header, std::size_t>* Find(const std::vector<std::pair<t_Header, std::size_t>>& kids,
                                             const std::string& type) {
  for (const auto& k : kids) {
    if (k.first.type == type) return &k;
  }
  return nullptr;
}

// (type, body offset, body end) of each track's chunk offset table.
std::vector<std::tuple<std::string, std::size_t, std::size_t>> Tables(const std::string& moov) {
  std::vector<std::tuple<std::string, std::size_t, std::size_t>> tables;
  const t_Header top = HeaderAt(moov, 0, moov.size());
  for (const auto& [h, at] : Children(moov, top.header, moov.size())) {
    if (h.type != "trak") continue;
    std::size_t b = at + h.header, e = at + h.size;
    bool found = true;
    for (const char* step : {"mdia", "minf", "stbl"}) {
      const auto kids = Children(moov, b, e);
      const auto* k = Find(kids, step);
      if (!k) {
        found = false;
        break;
      }
      b = k->second + k->first.header;
      e = k->second + k->first.size;
    }
    if (!found) continue;
    for (const auto& [t, tat] : Children(moov, b, e)) {
      if (t.type == "stco" || t.type == "co64") tables.emplace_back(t.type, tat + t.header, tat + t.size);
    }
  }
  return tables;
}

}  // namespace

std::vector<t_Chunk> BuildMp4(const t_BuildOptions& o, const std::string& path) {
  std::vector<t_Chunk> chunks;
  std::string media;
  for (int c = 0; c < o.chunksPerTrack; ++c) {
    for (int t = 0; t < o.tracks; ++t) {
      chunks.push_back({t, c, ChunkBytes(t, c)});
    }
  }
  if (o.cutDownTrack) std::erase_if(chunks, [&](const t_Chunk& c) { return c.track == o.tracks - 1; });
  if (o.lastChunkSize) chunks.back().bytes.resize(o.lastChunkSize);
  for (const t_Chunk& c : chunks) media += c.bytes;

  std::string ftyp = Box("ftyp", "isom" + std::string("\0\0\x02\0", 4) + "isomiso2mp41");
  auto buildMoov = [&](std::uint64_t mediaStart) {
    // Time scales and durations that make readers' arithmetic meaningful.
    std::string mvhd = Zeros(12);
    Put32(mvhd, 1000), Put32(mvhd, 1000), Put32(mvhd, 0x00010000);
    mvhd += std::string("\1\0", 2) + Zeros(10);
    for (std::uint32_t m : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) Put32(mvhd, m);
    mvhd += Zeros(24);
    Put32(mvhd, o.tracks + 1);
    std::string body = Box("mvhd", mvhd);
    for (int t = 0; t < o.tracks; ++t) {
      // One plain audio sample entry, so readers that look at the codec find one.
      std::string entry = Zeros(6) + std::string("\0\1", 2) + Zeros(8) + std::string("\0\2\0\x10", 4) +
                          Zeros(4) + std::string("\x1F\x40\0\0", 4);
      std::string stsd = Zeros(4);
      Put32(stsd, 1);
      std::string stbl = Box("stsd", stsd + Box("mp4a", entry));
      std::string stts = Zeros(4);
      Put32(stts, 1), Put32(stts, o.chunksPerTrack), Put32(stts, 1);
      stbl += Box("stts", stts);
      std::string stsc = Zeros(4);
      Put32(stsc, 1), Put32(stsc, 1), Put32(stsc, 1), Put32(stsc, 1);
      stbl += Box("stsc", stsc);
      std::string stsz = Zeros(4);
      Put32(stsz, 0), Put32(stsz, o.chunksPerTrack);
      std::string table = Zeros(4);
      Put32(table, o.chunksPerTrack);
      const bool cutDown = o.cutDownTrack && t == o.tracks - 1;
      for (int c = 0; c < o.chunksPerTrack; ++c) {
        std::uint64_t offset = cutDown ? (1ull << 31) + 4096ull * c : mediaStart;
        for (const t_Chunk& ch : chunks) {
          if (ch.track == t && ch.index == c) {
            Put32(stsz, ch.bytes.size());
            break;
          }
          offset += ch.bytes.size();
        }
        if (o.co64) {
          Put64(table, offset);
        } else {
          Put32(table, offset);
        }
      }
      stbl += Box("stsz", cutDown ? std::string() : stsz) + Box(o.co64 ? "co64" : "stco", table);
      std::string hdlr = Zeros(8) + "soun" + Zeros(13);
      std::string dref = Zeros(4);
      Put32(dref, 1);
      const std::string dinf = Box("dinf", Box("dref", dref + Box("url ", std::string("\0\0\0\1", 4))));
      std::string mdhd = Zeros(12);
      Put32(mdhd, 8000), Put32(mdhd, 8000 * o.chunksPerTrack), Put32(mdhd, 0x55C40000);
      std::string tkhd = std::string("\0\0\0\3", 4) + Zeros(8);
      Put32(tkhd, t + 1), Put32(tkhd, 0), Put32(tkhd, 1000);
      tkhd += Zeros(16);
      for (std::uint32_t m : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) Put32(tkhd, m);
      tkhd += Zeros(8);
      std::string mdia = Box("mdhd", mdhd) + Box("hdlr", hdlr) +
                         Box("minf", Box("smhd", Zeros(8)) + dinf + Box("stbl", stbl));
      body += Box("trak", Box("tkhd", tkhd) + Box("mdia", mdia));
    }
    if (o.withUdta) {
      const auto makeUdta = [&](const std::string& titleText) {
        std::string udta, meta;
        if (o.withTags) {
          std::string title = Zeros(4);
          title[3] = 1;
          title += Zeros(4) + titleText;
          std::string ilst = Box("ilst", Box("\xA9nam", Box("data", title)), o.largeSizes);
          const std::string hdlr = Box("hdlr", Zeros(8) + "mdirappl" + Zeros(9));
          const std::string before = o.metaPaddingBefore ? Box("free", Zeros(o.metaPaddingBefore - 8)) : "";
          const std::string after = o.metaPadding ? Box("free", Zeros(o.metaPadding - 8)) : "";
          std::string metaBody = hdlr + before + ilst + after;
          if (o.tagBoxes == t_TagBoxes::IlstBeforeHdlr) metaBody = before + ilst + hdlr + after;
          if (o.tagBoxes == t_TagBoxes::IlstSizeZero) metaBody = hdlr + before + after + ZeroSize(ilst);
          if (o.tagBoxes == t_TagBoxes::OtherSizeZero) metaBody += ZeroSize(Box("xtra", Zeros(8)));
          meta = Box("meta", (o.quickTimeMeta ? "" : Zeros(4)) + metaBody);
        }
        const std::string other = Box("\xA9xyz", Zeros(4) + "kept");
        udta = o.tagBoxes == t_TagBoxes::MetaSizeZero ? other + ZeroSize(meta) : meta + other;
        if (o.udtaTerminator) udta += Zeros(4);
        return Box("udta", udta);
      };
      const std::string udta = makeUdta("Built title");
      if (o.tagBoxes == t_TagBoxes::TwoUdta) body += udta;
      if (o.tagBoxes == t_TagBoxes::TwoUdtaDiffering) body += makeUdta("Other title");
      body += o.tagBoxes == t_TagBoxes::UdtaSizeZero ? ZeroSize(udta) : udta;
    }
    std::string moov = Box("moov", body, o.largeSizes);
    if (o.lastBoxSizeZero && !o.moovFirst) moov.replace(0, 4, Zeros(4));
    return moov;
  };
  const std::uint64_t mdatHeader = o.largeSizes ? 16 : 8;
  std::string mdatHead;
  const std::uint64_t mdatSize = mdatHeader + o.mdatGap + media.size();
  if (o.largeSizes) {
    Put32(mdatHead, o.lastBoxSizeZero && o.moovFirst ? 0 : 1), mdatHead += "mdat", Put64(mdatHead, mdatSize);
  } else {
    Put32(mdatHead, o.lastBoxSizeZero && o.moovFirst ? 0 : mdatSize), mdatHead += "mdat";
  }
  const std::string topFree = o.topFreeAfterMoov ? Box("free", Zeros(o.topFreeAfterMoov - 8)) : "";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (o.moovFirst) {
    const std::uint64_t moovSize = buildMoov(0).size();
    const std::uint64_t mdatAt = ftyp.size() + moovSize + topFree.size();
    const std::string moov = buildMoov(mdatAt + mdatHeader + o.mdatGap);
    out << ftyp << moov << topFree << mdatHead;
    out.seekp(static_cast<std::streamoff>(mdatAt + mdatHeader + o.mdatGap));
    out << media;
  } else {
    const std::uint64_t mdatAt = ftyp.size();
    out << ftyp << mdatHead;
    out.seekp(static_cast<std::streamoff>(mdatAt + mdatHeader + o.mdatGap));
    out << media << buildMoov(mdatAt + mdatHeader + o.mdatGap) << topFree;
  }
  if (!out) throw std::runtime_error("cannot write " + path);
  return chunks;
}

std::vector<std::vector<std::uint64_t>> ReadChunkOffsets(const std::string& path) {
  const std::string moov = ReadMoov(path);
  std::vector<std::vector<std::uint64_t>> result;
  for (const auto& [type, b, e] : Tables(moov)) {
    const int width = type == "co64" ? 8 : 4;
    const auto count = Get(moov, b + 4, 4);
    std::vector<std::uint64_t> offsets;
    for (std::uint64_t i = 0; i < count && b + 8 + (i + 1) * width <= e; ++i) {
      offsets.push_back(Get(moov, static_cast<std::size_t>(b + 8 + i * width), width));
    }
    result.push_back(offsets);
  }
  return result;
}

std::vector<bool> UsesCo64(const std::string& path) {
  std::vector<bool> result;
  for (const auto& table : Tables(ReadMoov(path))) result.push_back(std::get<0>(table) == "co64");
  return result;
}

std::string CheckChunks(const std::string& path, const std::vector<t_Chunk>& chunks) {
  const auto offsets = ReadChunkOffsets(path);
  for (const t_Chunk& c : chunks) {
    if (c.track >= static_cast<int>(offsets.size()) || c.index >= static_cast<int>(offsets[c.track].size())) {
      return "no offset for track " + std::to_string(c.track);
    }
    if (ReadRange(path, offsets[c.track][c.index], c.bytes.size()) != c.bytes) {
      return "chunk " + std::to_string(c.index) + " of track " + std::to_string(c.track) + " differs";
    }
  }
  return {};
}

int ZeroSizeOfLastBoxes(const std::string& path, const std::string& type) {
  std::string file = ReadRange(path, 0, FileSize(path));
  std::vector<std::uint64_t> offsets;
  const auto top = TopLevel(path, offsets);
  int zeroed = 0;
  // Walks the chain below moov, zeroing on the way back up so every size read is still the real one.
  const auto walk = [&](auto& self, std::size_t begin, std::size_t end, int depth) -> void {
    static const char* const kChain[] = {"trak", "mdia", "minf", "stbl"};
    const auto kids = Children(file, begin, end);
    for (std::size_t i = 0; i < kids.size(); ++i) {
      const auto& [h, at] = kids[i];
      if (depth < 4 && h.type == kChain[depth]) self(self, at + h.header, at + h.size, depth + 1);
      if (h.type == type && i + 1 == kids.size() && at + h.size == end) {
        file.replace(at, 4, Zeros(4));
        ++zeroed;
      }
    }
  };
  for (std::size_t i = 0; i < top.size(); ++i) {
    if (top[i].type == "moov") walk(walk, offsets[i] + top[i].header, offsets[i] + top[i].size, 0);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
  return zeroed;
}

std::string TopLevelTypes(const std::string& path) {
  std::vector<std::uint64_t> offsets;
  std::string types;
  for (const t_Header& h : TopLevel(path, offsets)) types += (types.empty() ? "" : " ") + h.type;
  return types;
}

}  // namespace n_zorbel::n_ntag::n_test
