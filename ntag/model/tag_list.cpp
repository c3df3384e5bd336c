#include "model/tag_list.hpp"

#include <charconv>

#include "model/box.hpp"
#include "model/box_types.hpp"
#include "ntag_error.hpp"
#include "system/utf8.hpp"

namespace n_zorbel::n_ntag {
namespace {

struct t_DataBox {
  std::uint32_t dataType;
  const std::uint8_t* value;
  std::size_t size;
};

// The data (and mean/name) boxes inside one item; empty when the item is malformed.
struct t_ItemParts {
  std::vector<t_DataBox> data;
  std::string mean, name;
  bool ok = true;
};

t_ItemParts SplitItem(const t_Bytes& raw, std::uint32_t headerSize) {
  t_ItemParts parts;
  std::size_t pos = headerSize;
  while (pos < raw.size()) {
    t_BoxHeader h;
    if (!ParseHeader(raw.data() + pos, raw.size() - pos, raw.size() - pos, h).empty() || h.toEnd) {
      parts.ok = false;
      return parts;
    }
    const std::uint8_t* body = raw.data() + pos + h.headerSize;
    const auto bodySize = static_cast<std::size_t>(h.size - h.headerSize);
    if (h.type == kData && bodySize >= 8) {
      parts.data.push_back({Read32(body) & 0xFFFFFF, body + 8, bodySize - 8});
    } else if ((h.type == kMean || h.type == kName) && bodySize >= 4) {
      (h.type == kMean ? parts.mean : parts.name)
          .assign(reinterpret_cast<const char*>(body + 4), bodySize - 4);
    }
    pos += static_cast<std::size_t>(h.size);
  }
  return parts;
}

// The header of an item whose bytes were parsed or built here, so it holds together.
std::uint32_t HeaderSizeOf(const t_Bytes& raw) {
  t_BoxHeader h;
  ReadSizeAndType(raw.data(), raw.size(), h);
  return h.headerSize;
}

t_Bytes MakeItem(std::uint32_t atom, std::uint32_t dataType, const std::uint8_t* value, std::size_t size) {
  const std::uint64_t dataSize = BoxSize(8 + size);
  t_Bytes item;
  item.reserve(size + 24);
  AppendBoxHeader(item, atom, BoxSize(dataSize));
  AppendBoxHeader(item, kData, dataSize);
  Append32(item, dataType);
  Append32(item, 0);  // locale: none
  item.insert(item.end(), value, value + size);
  return item;
}

bool ParseNumber(std::string_view text, std::uint16_t& out) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() || value > 65535) return false;
  out = static_cast<std::uint16_t>(value);
  return true;
}

std::string TextOf(const t_DataBox& d) {
  if (d.dataType == 2) {
    // UTF-16 big-endian, as some older writers store it.
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < d.size; i += 2) {
      wide += static_cast<char16_t>((d.value[i] << 8) | d.value[i + 1]);
    }
    return Utf16ToUtf8(wide);
  }
  return std::string(reinterpret_cast<const char*>(d.value), d.size);
}

std::string PairOf(const t_DataBox& d) {
  if (d.size < 6) return {};
  const std::uint16_t number = Read16(d.value + 2);
  const std::uint16_t total = Read16(d.value + 4);
  return total ? std::to_string(number) + "/" + std::to_string(total) : std::to_string(number);
}

const t_KeyInfo* KeyForAtom(std::uint32_t atom) {
  for (const t_KeyInfo& k : AllKeys()) {
    if (k.atom == atom) return &k;
  }
  return nullptr;
}

}  // namespace

const std::vector<t_KeyInfo>& AllKeys() {
  // clang-format off
  static const std::vector<t_KeyInfo> keys = {
      {"title", kCNam, t_ValueKind::Text},
      {"artist", kCArt, t_ValueKind::Text},
      {"year", kCDay, t_ValueKind::Text},
      {"genre", kCGen, t_ValueKind::Text},
      {"comment", kCCmt, t_ValueKind::Text},
      {"album", kCAlb, t_ValueKind::Text},
      {"album_artist", kAArt, t_ValueKind::Text},
      {"composer", kCWrt, t_ValueKind::Text},
      {"track", kTrkn, t_ValueKind::TrackPair},
      {"disc", kDisk, t_ValueKind::DiscPair},
      {"copyright", kCprt, t_ValueKind::Text},
      {"description", kDesc, t_ValueKind::Text},
      {"grouping", kCGrp, t_ValueKind::Text},
      {"lyrics", kCLyr, t_ValueKind::Text},
      {"encoded_by", kCToo, t_ValueKind::Text},
  };
  // clang-format on
  return keys;
}

const t_KeyInfo* FindKey(std::string_view key) {
  std::string normal;
  for (char c : key) {
    if (c == '-') c = '_';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    normal += c;
  }
  for (const t_KeyInfo& k : AllKeys()) {
    if (normal == k.key) return &k;
  }
  return nullptr;
}

t_TagList t_TagList::Parse(const t_Bytes& ilstPayload) {
  t_TagList list;
  for (const t_BoxHeader& h : ParseSiblings(ilstPayload.data(), ilstPayload.size(), 0, "ilst")) {
    const auto* begin = ilstPayload.data() + h.offset;
    t_Bytes raw(begin, begin + h.size);
    // An item of size 0 runs to the end of ilst; written with its size, so items added after it stay apart.
    if (h.toEnd) StoreSizeField(raw.data(), static_cast<std::uint32_t>(h.size));
    list.m_items.push_back({h.type, std::move(raw)});
  }
  return list;
}

t_Bytes t_TagList::Serialize() const {
  // Written straight into one buffer of the final size: a cover can make this megabytes.
  std::uint64_t body = 0;
  for (const t_Item& item : m_items) body += item.raw.size();
  const std::uint64_t size = BoxSize(body);
  t_Bytes out;
  out.reserve(static_cast<std::size_t>(size));
  AppendBoxHeader(out, kIlst, size);
  for (const t_Item& item : m_items) out.insert(out.end(), item.raw.begin(), item.raw.end());
  return out;
}

void t_TagList::Remove(std::uint32_t atom) {
  std::erase_if(m_items, [atom](const t_Item& item) { return item.type == atom; });
}

void t_TagList::Put(std::uint32_t atom, t_Bytes item) {
  // Keep the item's place, so a changed value does not reorder the list.
  bool placed = false;
  std::vector<t_Item> kept;
  for (t_Item& it : m_items) {
    if (it.type != atom) {
      kept.push_back(std::move(it));
    } else if (!placed) {
      kept.push_back({atom, std::move(item)});
      placed = true;
    }
  }
  m_items = std::move(kept);
  if (placed) return;
  m_items.push_back({atom, std::move(item)});
}

void t_TagList::Set(const t_KeyInfo& key, std::string_view utf8) {
  m_setKeys.emplace_back(key.key);
  // A genre as text replaces the numeric one; both mean "genre" to readers.
  if (key.atom == kCGen) Remove(kGnre);
  if (utf8.empty()) {
    Remove(key.atom);
    return;
  }
  if (key.kind == t_ValueKind::Text) {
    Put(key.atom, MakeItem(key.atom, 1, reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()));
    return;
  }
  std::uint16_t number = 0, total = 0;
  const auto slash = utf8.find('/');
  const bool ok = ParseNumber(utf8.substr(0, slash), number) &&
                  (slash == std::string_view::npos || ParseNumber(utf8.substr(slash + 1), total));
  if (!ok) {
    throw t_NtagError(t_ExitCode::Usage, std::string("the value of '") + key.key +
                                             "' must be a number or number/total, each 0 to 65535");
  }
  t_Bytes value{0, 0};
  Append16(value, number);
  Append16(value, total);
  if (key.kind == t_ValueKind::TrackPair) Append16(value, 0);
  Put(key.atom, MakeItem(key.atom, 0, value.data(), value.size()));
}

void t_TagList::RemoveCovers() { Remove(kCovr); }

void t_TagList::AddCover(std::uint32_t dataType, const t_Bytes& image) {
  t_Bytes data;
  AppendBoxHeader(data, kData, BoxSize(8 + image.size()));
  Append32(data, dataType);
  Append32(data, 0);
  data.insert(data.end(), image.begin(), image.end());
  for (t_Item& item : m_items) {
    if (item.type == kCovr) {
      // Another picture in the same covr item, after the ones it holds.
      t_Box covr = t_Box::Leaf(kCovr, t_Bytes(item.raw.begin() + HeaderSizeOf(item.raw), item.raw.end()));
      covr.payload.insert(covr.payload.end(), data.begin(), data.end());
      item.raw = covr.Serialize();
      return;
    }
  }
  m_items.push_back({kCovr, t_Box::Leaf(kCovr, std::move(data)).Serialize()});
}

std::vector<t_CoverInfo> t_TagList::Covers() const {
  std::vector<t_CoverInfo> covers;
  for (const t_Item& item : m_items) {
    if (item.type != kCovr) continue;
    for (const t_DataBox& d : SplitItem(item.raw, HeaderSizeOf(item.raw)).data) {
      covers.push_back({d.dataType, d.size});
    }
  }
  return covers;
}

t_Bytes t_TagList::CoverImage(std::size_t index) const {
  for (const t_Item& item : m_items) {
    if (item.type != kCovr) continue;
    for (const t_DataBox& d : SplitItem(item.raw, HeaderSizeOf(item.raw)).data) {
      if (index-- == 0) return t_Bytes(d.value, d.value + d.size);
    }
  }
  return {};
}

std::vector<t_ListEntry> t_TagList::Entries() const {
  std::vector<t_ListEntry> entries;
  for (const t_Item& item : m_items) {
    if (item.type == kCovr) continue;
    const t_ItemParts parts = SplitItem(item.raw, HeaderSizeOf(item.raw));
    const t_KeyInfo* key = KeyForAtom(item.type);
    t_ListEntry entry{key ? key->key : TypeName(item.type), {}, true};
    if (item.type == kFreeform) entry.name = "----:" + parts.mean + ":" + parts.name;
    if (!parts.ok || parts.data.empty()) {
      entry = {entry.name, "unreadable", false};
    } else if (key && key->kind != t_ValueKind::Text) {
      entry.value = PairOf(parts.data.front());
    } else if (item.type == kGnre && parts.data.front().size >= 2) {
      entry.value = std::to_string(Read16(parts.data.front().value));
    } else if (parts.data.front().dataType == 1 || parts.data.front().dataType == 2) {
      entry.value = TextOf(parts.data.front());
    } else {
      entry = {entry.name,
               std::to_string(parts.data.front().size) + " bytes of type " +
                   std::to_string(parts.data.front().dataType),
               false};
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> t_TagList::Listing() const {
  std::vector<std::string> lines;
  for (const t_ListEntry& entry : Entries()) lines.push_back(ListingLine(entry));
  for (const t_CoverInfo& c : Covers()) {
    lines.push_back(std::string("cover = front, ") + CoverFormat(c.dataType) + ", " + std::to_string(c.size) +
                    " bytes");
  }
  return lines;
}

std::string ListingLine(const t_ListEntry& entry) {
  return EscapeForLine(entry.name) + " = " +
         (entry.text ? EscapeForLine(entry.value) : "(" + entry.value + ")");
}

const char* CoverFormat(std::uint32_t dataType) {
  return dataType == kCoverJpeg  ? "jpeg"
         : dataType == kCoverPng ? "png"
         : dataType == kCoverBmp ? "bmp"
                                 : "unknown";
}

std::string EscapeForLine(std::string_view text) {
  std::string out;
  const auto hexByte = [&out](unsigned char u) {
    const char* hex = "0123456789abcdef";
    out += "\\x";
    out += hex[u >> 4];
    out += hex[u & 15];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      // A whole UTF-8 sequence passes; a byte that starts none is escaped on its own.
      const std::size_t length = u >= 0xF0 ? 4 : u >= 0xE0 ? 3 : 2;
      if (i + length <= text.size() && IsValidUtf8(text.substr(i, length))) {
        out += text.substr(i, length);
        i += length - 1;
      } else {
        hexByte(u);
      }
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      hexByte(u);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace n_zorbel::n_ntag
