#include "model/other_stores.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

#include "model/box_types.hpp"
#include "model/tag_list.hpp"
#include "ntag_error.hpp"
#include "system/utf8.hpp"

namespace n_zorbel::n_ntag {
namespace {

// What an entry means to readers: up to two of ntag's keys (an entry some readers show as
// the comment and others as the description goes when either is written).
struct t_Meaning {
  const char* keys[2];
};

struct t_TypeMeaning {
  std::uint32_t type;
  t_Meaning meaning;
};

struct t_NameMeaning {
  const char* name;
  t_Meaning meaning;
};

// QuickTime text items; readers show the author as the artist and the software as the encoder.
constexpr t_TypeMeaning kUserDataItems[] = {
    {kCNam, {{"title"}}},
    {kCArt, {{"artist"}}},
    {kCAut, {{"artist"}}},
    {kCDay, {{"year"}}},
    {kCGen, {{"genre"}}},
    {kCCmt, {{"comment"}}},
    {kCDes, {{"description", "comment"}}},
    {kCAlb, {{"album"}}},
    {kCWrt, {{"composer"}}},
    {kCCpy, {{"copyright"}}},
    {kCGrp, {{"grouping"}}},
    {kCLyr, {{"lyrics"}}},
    {kCToo, {{"encoded_by"}}},
    {kCSwr, {{"encoded_by"}}},
};

// 3GPP asset boxes; the description box is what ffmpeg writes the comment into.
constexpr t_TypeMeaning kAssetBoxes[] = {
    {kTitl, {{"title"}}},
    {kPerf, {{"artist"}}},
    {kAuth, {{"artist"}}},
    {kGnre, {{"genre"}}},
    {kDscp, {{"comment", "description"}}},
    {kAlbm, {{"album"}}},
    {kCprt, {{"copyright"}}},
    {kYrrc, {{"year"}}},
};

// QuickTime Keys by name, Apple's "com.apple.quicktime." prefix left off: Apple's names, and the
// metadata names ffmpeg writes as keys (use_metadata_tags), which ffprobe shows beside ilst's.
// A phone's creationdate records when the video was shot, not a tag's year: it stays.
// clang-format off
constexpr t_NameMeaning kKeyNames[] = {
    {"title", {{"title"}}},
    {"artist", {{"artist"}}},
    {"author", {{"artist"}}},
    {"year", {{"year"}}},
    {"date", {{"year"}}},
    {"genre", {{"genre"}}},
    {"comment", {{"comment"}}},
    {"description", {{"description"}}},
    {"album", {{"album"}}},
    {"album_artist", {{"album_artist"}}},
    {"composer", {{"composer"}}},
    {"track", {{"track"}}},
    {"disc", {{"disc"}}},
    {"copyright", {{"copyright"}}},
    {"grouping", {{"grouping"}}},
    {"lyrics", {{"lyrics"}}},
    {"encoder", {{"encoded_by"}}},
};
// clang-format on

template <std::size_t N>
const t_Meaning* MeaningOf(std::uint32_t type, const t_TypeMeaning (&table)[N]) {
  for (const t_TypeMeaning& m : table) {
    if (m.type == type) return &m.meaning;
  }
  return nullptr;
}

const t_Meaning* MeaningOf(std::string_view name) {
  constexpr std::string_view kApple = "com.apple.quicktime.";
  if (name.starts_with(kApple)) name.remove_prefix(kApple.size());
  for (const t_NameMeaning& m : kKeyNames) {
    if (name == m.name) return &m.meaning;
  }
  return nullptr;
}

bool MeansAny(const t_Meaning* meaning, const std::vector<std::string>& keys) {
  if (!meaning) return false;
  return std::any_of(keys.begin(), keys.end(), [meaning](const std::string& k) {
    return k == meaning->keys[0] || (meaning->keys[1] && k == meaning->keys[1]);
  });
}

std::string UpToNul(const std::uint8_t* p, std::size_t n) {
  const std::uint8_t* end = std::find(p, p + n, std::uint8_t{0});
  return std::string(p, end);
}

std::string Utf16BeToUtf8(const std::uint8_t* p, std::size_t n) {
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    const auto c = static_cast<char16_t>((p[i] << 8) | p[i + 1]);
    if (c == 0) break;
    wide += c;
  }
  return Utf16ToUtf8(wide);
}

// A QuickTime text item: its first string (16-bit length, 16-bit language, text), or an
// iTunes-style data box that some writers put there instead.
std::string UserDataText(const t_Bytes& p) {
  // The data box must hold its own 16-byte header and lie inside the item.
  if (p.size() >= 16 && Read32(p.data() + 4) == kData && Read32(p.data()) >= 16 &&
      Read32(p.data()) <= p.size()) {
    return UpToNul(p.data() + 16, Read32(p.data()) - 16);
  }
  if (p.size() < 4 || 4u + Read16(p.data()) > p.size()) return {};
  return UpToNul(p.data() + 4, Read16(p.data()));
}

// A 3GPP asset: version and flags, 16 bits of language, then UTF-8 or (with a byte order
// mark) UTF-16 text ending in NUL; the recording year is a 16-bit number.
std::string AssetText(std::uint32_t type, const t_Bytes& p) {
  if (type == kYrrc) return p.size() >= 6 ? std::to_string(Read16(p.data() + 4)) : std::string();
  if (p.size() < 6) return {};
  const std::uint8_t* text = p.data() + 6;
  const std::size_t n = p.size() - 6;
  if (n >= 2 && text[0] == 0xFE && text[1] == 0xFF) return Utf16BeToUtf8(text + 2, n - 2);
  return UpToNul(text, n);
}

// The QuickTime Keys metadata of moov/meta as its pieces, read without trusting it: a box
// that does not parse is no store of ntag's and is left alone.
struct t_KeysMeta {
  std::size_t prefix = 0;  // version and flags, when the box has them
  std::vector<t_BoxHeader> children;
  std::optional<std::size_t> keys, ilst;  // indices into children
  std::vector<std::string> names;         // key 1 first
  std::vector<t_Bytes> nameEntries;       // each entry's raw bytes
};

const std::uint8_t* BodyOf(const t_Bytes& p, const t_BoxHeader& h) {
  return p.data() + h.offset + h.headerSize;
}

std::optional<t_KeysMeta> ParseKeysMeta(const t_Bytes& p) {
  t_KeysMeta m;
  m.prefix = MetaPrefixSize(p.data(), p.size());
  if (p.size() < m.prefix) return std::nullopt;
  try {
    m.children = ParseSiblings(p.data() + m.prefix, p.size() - m.prefix, m.prefix, "meta");
  } catch (const t_NtagError&) {
    return std::nullopt;
  }
  bool mdta = false;
  for (std::size_t i = 0; i < m.children.size(); ++i) {
    const t_BoxHeader& h = m.children[i];
    const std::uint64_t bodySize = h.size - h.headerSize;
    if (h.type == kHdlr && bodySize >= 12) mdta = Read32(BodyOf(p, h) + 8) == kMdta;
    if (h.type == kKeys && !m.keys) m.keys = i;
    if (h.type == kIlst && !m.ilst) m.ilst = i;
  }
  if (!mdta || !m.keys) return std::nullopt;
  const t_BoxHeader& keys = m.children[*m.keys];
  const std::uint8_t* body = BodyOf(p, keys);
  const auto size = static_cast<std::size_t>(keys.size - keys.headerSize);
  if (size < 8) return std::nullopt;
  const std::uint32_t count = Read32(body + 4);
  for (std::size_t pos = 8; m.names.size() < count;) {
    if (size - pos < 8 || Read32(body + pos) < 8 || Read32(body + pos) > size - pos) return std::nullopt;
    const std::uint32_t entry = Read32(body + pos);
    m.names.emplace_back(body + pos + 8, body + pos + entry);
    m.nameEntries.emplace_back(body + pos, body + pos + entry);
    pos += entry;
  }
  if (m.ilst) {
    const t_BoxHeader& ilst = m.children[*m.ilst];
    try {
      ParseSiblings(BodyOf(p, ilst), static_cast<std::size_t>(ilst.size - ilst.headerSize), 0, "ilst");
    } catch (const t_NtagError&) {
      return std::nullopt;
    }
  }
  return m;
}

std::vector<t_BoxHeader> IlstItems(const t_Bytes& p, const t_KeysMeta& m) {
  if (!m.ilst) return {};
  const t_BoxHeader& ilst = m.children[*m.ilst];
  return ParseSiblings(BodyOf(p, ilst), static_cast<std::size_t>(ilst.size - ilst.headerSize),
                       ilst.offset + ilst.headerSize, "ilst");
}

// A Keys item as -list-meta shows it: the text of its first data box.
t_ListEntry KeysEntry(const t_Bytes& p, const t_BoxHeader& item, std::string name) {
  std::vector<t_BoxHeader> parts;
  try {
    parts = ParseSiblings(p.data() + item.offset + item.headerSize,
                          static_cast<std::size_t>(item.size - item.headerSize),
                          item.offset + item.headerSize, "item");
  } catch (const t_NtagError&) {
    return {std::move(name), "unreadable", false};
  }
  for (const t_BoxHeader& d : parts) {
    if (d.type != kData || d.size - d.headerSize < 8) continue;
    const std::uint8_t* body = BodyOf(p, d);
    const std::uint32_t dataType = Read32(body) & 0xFFFFFF;
    const auto n = static_cast<std::size_t>(d.size - d.headerSize - 8);
    if (dataType == 1) return {std::move(name), std::string(body + 8, body + 8 + n), true};
    if (dataType == 2) return {std::move(name), Utf16BeToUtf8(body + 8, n), true};
    return {std::move(name), std::to_string(n) + " bytes of type " + std::to_string(dataType), false};
  }
  return {std::move(name), "unreadable", false};
}

std::string NameFor(const t_Meaning* meaning, const std::string& own) {
  return meaning ? meaning->keys[0] : own;
}

// The Keys metadata without the keys numbered in `gone` (1-based, ascending): later keys
// move down, and the items follow their keys' new numbers. Other boxes keep their bytes.
t_Bytes WithoutKeys(const t_Bytes& p, const t_KeysMeta& m, const std::vector<std::uint32_t>& gone) {
  const auto removed = [&](std::uint32_t index) {
    return std::find(gone.begin(), gone.end(), index) != gone.end();
  };
  t_Bytes keys(BodyOf(p, m.children[*m.keys]), BodyOf(p, m.children[*m.keys]) + 4);
  Append32(keys, static_cast<std::uint32_t>(m.names.size() - gone.size()));
  for (std::uint32_t i = 0; i < m.nameEntries.size(); ++i) {
    if (!removed(i + 1)) keys.insert(keys.end(), m.nameEntries[i].begin(), m.nameEntries[i].end());
  }
  t_Bytes ilst;
  for (const t_BoxHeader& item : IlstItems(p, m)) {
    if (removed(item.type)) continue;
    const auto below = static_cast<std::uint32_t>(
        std::count_if(gone.begin(), gone.end(), [&](std::uint32_t g) { return g < item.type; }));
    const std::size_t at = ilst.size();
    ilst.insert(ilst.end(), p.begin() + static_cast<std::ptrdiff_t>(item.offset),
                p.begin() + static_cast<std::ptrdiff_t>(item.offset + item.size));
    // Items of size 0 or 64-bit sizes keep their form.
    StoreTypeField(ilst.data() + at, item.type - below);
  }
  t_Bytes out(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(m.prefix));
  for (std::size_t i = 0; i < m.children.size(); ++i) {
    const t_BoxHeader& h = m.children[i];
    if (i == m.keys) {
      t_Box::Leaf(kKeys, keys).AppendTo(out);
    } else if (i == m.ilst) {
      t_Box::Leaf(kIlst, ilst).AppendTo(out);
    } else {
      out.insert(out.end(), p.begin() + static_cast<std::ptrdiff_t>(h.offset),
                 p.begin() + static_cast<std::ptrdiff_t>(h.offset + h.size));
    }
  }
  return out;
}

bool RemoveFromKeys(t_Box& meta, const std::vector<std::string>& keys) {
  const std::optional<t_KeysMeta> m = ParseKeysMeta(meta.payload);
  if (!m) return false;
  std::vector<std::uint32_t> gone;
  for (std::uint32_t i = 0; i < m->names.size(); ++i) {
    if (MeansAny(MeaningOf(m->names[i]), keys)) gone.push_back(i + 1);
  }
  if (gone.empty()) return false;
  meta.payload = WithoutKeys(meta.payload, *m, gone);
  return true;
}

// Whether a meta box may hold Keys: an opened one (udta/meta) only with a keys box among its
// children; checked first, so that the iTunes tags' padding is not copied to look.
bool MayHoldKeys(const t_Box& meta) {
  return !meta.container || std::any_of(meta.children.begin(), meta.children.end(),
                                        [](const t_Box& b) { return b.type == kKeys; });
}

// The bytes after a meta box's header, whether it was opened (udta/meta) or kept whole (moov/meta).
t_Bytes MetaBody(const t_Box& meta) {
  if (!meta.container) return meta.payload;
  t_Bytes body = meta.prefix;
  for (const t_Box& child : meta.children) child.AppendTo(body);
  body.insert(body.end(), meta.tail.begin(), meta.tail.end());
  return body;
}

void ListKeys(const t_Bytes& payload, std::vector<t_ListEntry>& entries) {
  const std::optional<t_KeysMeta> m = ParseKeysMeta(payload);
  if (!m) return;
  for (const t_BoxHeader& item : IlstItems(payload, *m)) {
    const bool known = item.type >= 1 && item.type <= m->names.size();
    // An item whose key is missing goes by its number.
    std::string own = known ? m->names[item.type - 1] : std::string("#");
    if (!known) own += std::to_string(item.type);
    entries.push_back(KeysEntry(payload, item, "keys:" + NameFor(known ? MeaningOf(own) : nullptr, own)));
  }
}

}  // namespace

bool RemoveFromOtherStores(t_Movie& movie, const std::vector<std::string>& keys) {
  bool removed = false;
  for (t_Box& box : movie.Root().children) {
    if (box.type == kMeta && !box.container) removed = RemoveFromKeys(box, keys) || removed;
    if (box.type != kUdta) continue;
    const auto before = box.children.size();
    std::erase_if(box.children, [&](const t_Box& item) {
      return !item.container && (MeansAny(MeaningOf(item.type, kUserDataItems), keys) ||
                                 MeansAny(MeaningOf(item.type, kAssetBoxes), keys));
    });
    removed = removed || box.children.size() != before;
  }
  return removed;
}

bool MoveKeysOutOfUserData(t_Movie& movie) {
  const t_Box* meta = movie.Meta();
  if (!meta || !MayHoldKeys(*meta)) return false;
  const t_Bytes body = MetaBody(*meta);
  if (!ParseKeysMeta(body)) return false;
  // QuickTime's form, without version and flags: the only one exiftool and mediainfo read in moov.
  t_Bytes moved(body.begin() + static_cast<std::ptrdiff_t>(meta->prefix.size()), body.end());
  auto& boxes = movie.Root().children;
  if (std::any_of(boxes.begin(), boxes.end(), [](const t_Box& b) { return b.type == kMeta; })) {
    // Two Keys stores number their items apart, and readers differ in which value they show
    // for a name both hold.
    throw t_NtagError(t_ExitCode::LayoutRefused,
                      "the file keeps QuickTime Keys metadata in udta/meta and another meta box in moov");
  }
  const t_Bytes whole = meta->Serialize();
  std::size_t at = 0;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].type != kUdta) continue;
    const auto before = boxes[i].children.size();
    // Copies of it go too: they would keep the Keys numbering where the iTunes tags go.
    std::erase_if(boxes[i].children,
                  [&](const t_Box& b) { return b.type == kMeta && b.Serialize() == whole; });
    if (at == 0 && boxes[i].children.size() != before) at = i + 1;
  }
  // Behind the user data, as QuickTime and exiftool place it: AtomicParsley shows no iTunes tags
  // that follow a moov/meta.
  boxes.insert(boxes.begin() + static_cast<std::ptrdiff_t>(at), t_Box::Leaf(kMeta, std::move(moved)));
  return true;
}

std::vector<t_ListEntry> OtherStoresListing(const t_Movie& movie) {
  std::vector<t_ListEntry> entries;
  for (const t_Box& box : movie.Root().children) {
    if (box.type == kMeta && !box.container) ListKeys(box.payload, entries);
    if (box.type != kUdta) continue;
    for (const t_Box& item : box.children) {
      // Keys where the iTunes tags belong (ffmpeg's use_metadata_tags), until an edit moves them.
      if (item.type == kMeta && MayHoldKeys(item)) ListKeys(MetaBody(item), entries);
      if (item.container) continue;
      const t_Meaning* asset = MeaningOf(item.type, kAssetBoxes);
      if (asset) {
        entries.push_back(
            {"3gpp:" + NameFor(asset, TypeName(item.type)), AssetText(item.type, item.payload)});
      } else if ((item.type >> 24) == 0xA9) {
        entries.push_back({"udta:" + NameFor(MeaningOf(item.type, kUserDataItems), TypeName(item.type)),
                           UserDataText(item.payload)});
      }
    }
  }
  return entries;
}

}  // namespace n_zorbel::n_ntag
