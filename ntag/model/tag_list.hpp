#pragma once
// The items of an ilst box. Items this tool does not change keep their bytes;
// changed items are written as iTunes writes them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/byte_order.hpp"

namespace n_zorbel::n_ntag {

enum class t_ValueKind {
  Text,       // UTF-8 text, data type 1
  TrackPair,  // "N" or "N/M", 8 bytes of data type 0 (trkn)
  DiscPair,   // "N" or "N/M", 6 bytes of data type 0 (disk)
};

// A key of -meta:KEY=VALUE and the ilst item it is stored in.
struct t_KeyInfo {
  const char* key;
  std::uint32_t atom;
  t_ValueKind kind;
};

// Keys compare without regard to case, and '-' counts as '_'.
const t_KeyInfo* FindKey(std::string_view key);
const std::vector<t_KeyInfo>& AllKeys();

// Image data types of covr data boxes.
constexpr std::uint32_t kCoverJpeg = 13;
constexpr std::uint32_t kCoverPng = 14;
constexpr std::uint32_t kCoverBmp = 27;

// One entry of a listing: a text value (number pairs and numeric genres as their text), or
// what an entry holds that is no text, described ("12 bytes of type 0", "unreadable").
struct t_ListEntry {
  std::string name;   // ntag's key, or the entry's own name; other stores with their prefix
  std::string value;  // whole and unescaped
  bool text = true;
  friend bool operator==(const t_ListEntry&, const t_ListEntry&) = default;
};

struct t_CoverInfo {
  std::uint32_t dataType = 0;
  std::uint64_t size = 0;
};

class t_TagList {
 public:
  // Parses an ilst payload; throws t_NtagError (NotMp4) when its items do not tile it.
  static t_TagList Parse(const t_Bytes& ilstPayload);
  // The whole ilst box.
  t_Bytes Serialize() const;

  void Remove(std::uint32_t atom);
  // Sets a key's value; an empty value removes the item. Throws t_NtagError (Usage)
  // when a number pair does not parse.
  void Set(const t_KeyInfo& key, std::string_view utf8);
  void RemoveCovers();
  void AddCover(std::uint32_t dataType, const t_Bytes& image);
  // The keys given to Set, written or removed: their other stores are cleared too.
  const std::vector<std::string>& SetKeys() const { return m_setKeys; }

  std::vector<t_CoverInfo> Covers() const;
  // The image bytes of cover `index` (in Covers() order).
  t_Bytes CoverImage(std::size_t index) const;
  // Every item but the covers, in file order.
  std::vector<t_ListEntry> Entries() const;
  // "name = value" lines for every item, then "cover = ..." lines.
  std::vector<std::string> Listing() const;

 private:
  struct t_Item {
    std::uint32_t type;
    t_Bytes raw;  // the whole item box
  };
  void Put(std::uint32_t atom, t_Bytes item);
  std::vector<t_Item> m_items;
  std::vector<std::string> m_setKeys;
};

// "name = value", the value escaped, a description in parentheses.
std::string ListingLine(const t_ListEntry& entry);
// The format name of a cover's data type: "jpeg", "png", "bmp" or "unknown".
const char* CoverFormat(std::uint32_t dataType);

// Escapes a value for one output line: backslash, CR, LF and other control characters, and
// each byte that is not part of valid UTF-8, so a line is UTF-8 and a value comes back whole.
std::string EscapeForLine(std::string_view text);

}  // namespace n_zorbel::n_ntag
