#include "model/box.hpp"

#include <algorithm>

#include "model/box_types.hpp"
#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

void ParseChildren(t_Box& box, const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                   std::vector<std::uint32_t>& parents, t_DescendRule rule);

t_Box ParseOne(const std::uint8_t* data, const t_BoxHeader& h, std::uint64_t fileOffset,
               std::vector<std::uint32_t>& parents, t_DescendRule rule) {
  t_Box box;
  box.type = h.type;
  box.largeHeader = h.largeSize;
  box.fileOffset = fileOffset;
  box.originalSize = h.size;
  box.originalHeaderSize = h.headerSize;
  box.sizeToEnd = h.toEnd;
  const std::uint8_t* body = data + h.headerSize;
  const auto bodySize = static_cast<std::size_t>(h.size - h.headerSize);
  if (h.type != kUuid && rule(parents, h.type)) {
    box.container = true;
    std::size_t skip = 0;
    if (h.type == kMeta) {
      skip = MetaPrefixSize(body, bodySize);
      if (bodySize < skip) Damaged("meta box too short", fileOffset);
    }
    box.prefix.assign(body, body + skip);
    parents.push_back(h.type);
    ParseChildren(box, body + skip, bodySize - skip, fileOffset + h.headerSize + skip, parents, rule);
    parents.pop_back();
  } else {
    // uuid keeps its 16-byte user type inside the payload, so it writes back unchanged.
    const std::size_t plain = h.largeSize ? 16 : 8;
    box.payload.assign(data + plain, data + h.size);
    box.originalHeaderSize = static_cast<std::uint32_t>(plain);
  }
  return box;
}

void ParseChildren(t_Box& box, const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                   std::vector<std::uint32_t>& parents, t_DescendRule rule) {
  std::size_t pos = 0;
  while (pos < size) {
    const std::size_t left = size - pos;
    t_BoxHeader h;
    // QuickTime ends some lists with a 32-bit zero; keep such an end as it is. A size of 0
    // before a type is a box that runs to the end of its parent, as readers take it.
    if (left < 8 || (ReadSizeAndType(data + pos, left, h) && h.toEnd && h.type == 0)) {
      box.tail.assign(data + pos, data + size);
      return;
    }
    const std::string problem = ParseHeader(data + pos, left, left, h);
    if (!problem.empty()) Damaged(problem + " inside '" + TypeName(box.type) + "'", fileOffset + pos);
    h.offset = fileOffset + pos;
    box.children.push_back(ParseOne(data + pos, h, fileOffset + pos, parents, rule));
    pos += static_cast<std::size_t>(h.size);
  }
}

}  // namespace

bool IsPlausibleType(std::uint32_t type) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(type >> shift);
    if (!((c >= 0x20 && c < 0x7F) || c == 0xA9)) return false;
  }
  return true;
}

bool ReadSizeAndType(const std::uint8_t* p, std::size_t available, t_BoxHeader& out) {
  if (available < 8) return false;
  const std::uint32_t size32 = Read32(p);
  out.type = Read32(p + 4);
  out.largeSize = size32 == 1;
  out.toEnd = size32 == 0;
  out.headerSize = out.largeSize ? 16 : 8;
  if (available < out.headerSize) return false;
  out.size = out.largeSize ? Read64(p + 8) : size32;
  return true;
}

std::string ParseHeader(const std::uint8_t* p, std::size_t available, std::uint64_t room, t_BoxHeader& out) {
  const auto readable = static_cast<std::size_t>(std::min<std::uint64_t>(available, room));
  if (!ReadSizeAndType(p, readable, out)) return "truncated box header";
  if (out.toEnd) out.size = room;
  if (out.type == kUuid) out.headerSize += 16;
  if (out.size < out.headerSize) return "box '" + TypeName(out.type) + "' smaller than its header";
  if (out.size > room) return "box '" + TypeName(out.type) + "' runs past the end of its space";
  return {};
}

std::uint64_t BoxSize(std::uint64_t bodySize, bool large) {
  return bodySize + (large || bodySize + 8 > 0xFFFFFFFFull ? 16 : 8);
}

void AppendBoxHeader(t_Bytes& out, std::uint32_t type, std::uint64_t size, bool large) {
  if (large || size > 0xFFFFFFFFull) {
    Append32(out, 1);
    Append32(out, type);
    Append64(out, size);
  } else {
    Append32(out, static_cast<std::uint32_t>(size));
    Append32(out, type);
  }
}

t_Bytes FreeHeader(std::uint64_t size) {
  t_Bytes header;
  AppendBoxHeader(header, kFree, size);
  return header;
}

void StoreSizeField(std::uint8_t* header, std::uint32_t size) { Store32(header, size); }

void StoreTypeField(std::uint8_t* header, std::uint32_t type) { Store32(header + 4, type); }

std::size_t MetaPrefixSize(const std::uint8_t* body, std::size_t size) {
  return size >= 8 && Read32(body + 4) == kHdlr ? 0 : 4;
}

t_Box t_Box::Leaf(std::uint32_t type, t_Bytes payload) {
  t_Box box;
  box.type = type;
  box.payload = std::move(payload);
  return box;
}

t_Box t_Box::Container(std::uint32_t type, t_Bytes prefix) {
  t_Box box;
  box.type = type;
  box.container = true;
  box.prefix = std::move(prefix);
  return box;
}

std::uint64_t t_Box::Size() const {
  std::uint64_t body = 0;
  if (container) {
    body = prefix.size() + tail.size();
    for (const t_Box& child : children) body += child.Size();
  } else {
    body = payload.size();
  }
  return BoxSize(body, largeHeader);
}

void t_Box::AppendTo(t_Bytes& out) const {
  AppendBoxHeader(out, type, Size(), largeHeader);
  if (container) {
    out.insert(out.end(), prefix.begin(), prefix.end());
    for (const t_Box& child : children) child.AppendTo(out);
    out.insert(out.end(), tail.begin(), tail.end());
  } else {
    out.insert(out.end(), payload.begin(), payload.end());
  }
}

t_Bytes t_Box::Serialize() const {
  t_Bytes out;
  out.reserve(static_cast<std::size_t>(Size()));
  AppendTo(out);
  return out;
}

t_Box* t_Box::Child(std::uint32_t childType) {
  for (t_Box& child : children) {
    if (child.type == childType) return &child;
  }
  return nullptr;
}

const t_Box* t_Box::Child(std::uint32_t childType) const {
  for (const t_Box& child : children) {
    if (child.type == childType) return &child;
  }
  return nullptr;
}

t_Box ParseBoxTree(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset, t_DescendRule rule) {
  t_BoxHeader h;
  const std::string problem = ParseHeader(data, size, size, h);
  if (!problem.empty()) Damaged(problem, fileOffset);
  if (h.size != size) Damaged("box '" + TypeName(h.type) + "' has an inconsistent size", fileOffset);
  h.offset = fileOffset;
  std::vector<std::uint32_t> parents;
  return ParseOne(data, h, fileOffset, parents, rule);
}

std::vector<t_BoxHeader> ParseSiblings(const std::uint8_t* data, std::size_t size, std::uint64_t fileOffset,
                                       const char* where) {
  std::vector<t_BoxHeader> boxes;
  std::size_t pos = 0;
  while (pos < size) {
    t_BoxHeader h;
    const std::string problem = ParseHeader(data + pos, size - pos, size - pos, h);
    if (!problem.empty()) Damaged(problem + " inside '" + where + "'", fileOffset + pos);
    h.offset = fileOffset + pos;
    boxes.push_back(h);
    pos += static_cast<std::size_t>(h.size);
  }
  return boxes;
}

}  // namespace n_zorbel::n_ntag
