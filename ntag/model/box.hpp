#pragma once
// The MP4 box model: headers as they sit in the file, and a tree of boxes read
// from memory that writes itself back byte for byte unless changed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/byte_order.hpp"

namespace n_zorbel::n_ntag {

struct t_BoxHeader {
  std::uint32_t type = 0;
  std::uint64_t offset = 0;      // of the first header byte
  std::uint64_t size = 0;        // whole box, header included
  std::uint32_t headerSize = 8;  // 8, 16 with a 64-bit size, plus 16 for 'uuid'
  bool largeSize = false;        // size stored in 64 bits
  bool toEnd = false;            // size field 0: the box runs to the end of its space
};

// Reads the size and type fields at `p`, where `available` bytes are readable: a 32-bit size
// of 1 is followed by the 64-bit one, a size of 0 sets toEnd (and leaves size 0) for the
// caller to settle. headerSize counts these fields alone (8 or 16). False when they are cut
// short. The one reader of box headers; the checks around it are the caller's.
bool ReadSizeAndType(const std::uint8_t* p, std::size_t available, t_BoxHeader& out);

// Reads a header at `p`, where `available` bytes are readable and `room` bytes remain
// in the enclosing space (file or parent), as ntag accepts it: a size of 0 takes the room,
// uuid's user type belongs to the header, and the box fits the room. Returns an empty
// string or why it is invalid.
std::string ParseHeader(const std::uint8_t* p, std::size_t available, std::uint64_t room, t_BoxHeader& out);

// The size of a box with `bodySize` bytes after its header, which takes 16 bytes when `large`
// asks for a 64-bit size field or 32 bits cannot hold the size, else 8.
std::uint64_t BoxSize(std::uint64_t bodySize, bool large = false);
// Appends the header of a box of `size` bytes, with a 64-bit size field when `large` or when
// 32 bits cannot hold `size`; a size of 0 says the box runs to the end of its parent. The one
// writer of box headers.
void AppendBoxHeader(t_Bytes& out, std::uint32_t type, std::uint64_t size, bool large = false);
// The header of a free box of `size` bytes, which an edit writes to turn space into free space.
t_Bytes FreeHeader(std::uint64_t size);

// Patch one field of the header at `header` in place, keeping its other bytes and its form:
// a 32-bit size field that said 0 (to the end of the parent) gets the box's real size, so a
// copy keeps its extent wherever it goes; a box's type changes.
void StoreSizeField(std::uint8_t* header, std::uint32_t size);
void StoreTypeField(std::uint8_t* header, std::uint32_t type);

// The bytes of version and flags before the children of a meta box with body[0, size): 4 for
// the ISO full box, 0 for QuickTime's meta, which starts straight with its hdlr.
std::size_t MetaPrefixSize(const std::uint8_t* body, std::size_t size);

// True for types made of printable ASCII or the copyright sign, as every real box type is.
bool IsPlausibleType(std::uint32_t type);

struct t_Box {
  std::uint32_t type = 0;
  bool largeHeader = false;  // keep a 64-bit size field even when 32 bits would do
  bool container = false;
  t_Bytes payload;  // a leaf's bytes after the header
  t_Bytes prefix;   // a container's bytes before its first child (version and flags of a full box)
  std::vector<t_Box> children;
  t_Bytes tail;  // a container's bytes after its last child (QuickTime's zero terminator)

  // Where the box came from; zero for boxes made here.
  std::uint64_t fileOffset = 0;
  std::uint64_t originalSize = 0;
  std::uint32_t originalHeaderSize = 0;
  bool sizeToEnd = false;  // its size field was 0: it ran to the end of its parent

  static t_Box Leaf(std::uint32_t type, t_Bytes payload);
  static t_Box Container(std::uint32_t type, t_Bytes prefix = {});

  std::uint64_t Size() const;
  void AppendTo(t_Bytes& out) const;
  t_Bytes Serialize() const;

  t_Box* Child(std::uint32_t childType);
  const t_Box* Child(std::uint32_t childType) const;
};

// Decides which boxes of a tree are opened as containers: `parents` is the chain of
// types above the box, root first.
using t_DescendRule = bool (*)(const std::vector<std::uint32_t>& parents, std::uint32_t type);

// Parses the complete box held in data[0, size), read from `fileOffset`. Children of
// opened containers must tile their parent exactly; otherwise throws t_NtagError (NotMp4).
t_Box ParseBoxTree(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset, t_DescendRule rule);

// Parses the boxes that tile data[0, size) without opening any of them; throws like ParseBoxTree.
std::vector<t_BoxHeader> ParseSiblings(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                                       const char* where);

}  // namespace n_zorbel::n_ntag
