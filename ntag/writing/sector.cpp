#include "writing/sector.hpp"

#include <algorithm>

#include "model/box_types.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Where `child` starts when `parent` is written at `at`.
std::uint64_t ChildAt(const t_Box& parent, std::uint64_t at, const t_Box& child) {
  const std::uint64_t size = parent.Size();
  std::uint64_t pos = at + (parent.largeHeader || size > 0xFFFFFFFFull ? 16 : 8) + parent.prefix.size();
  for (const t_Box& c : parent.children) {
    if (&c == &child) break;
    pos += c.Size();
  }
  return pos;
}

}  // namespace

void AlignTagRegion(t_Movie& movie, std::uint64_t moovAt) {
  t_Box& root = movie.Root();
  t_Box* udta = root.Child(kUdta);
  t_Box* meta = udta ? udta->Child(kMeta) : nullptr;
  const int ilst = movie.IlstIndex();
  if (!meta || ilst < 0 || meta != movie.Meta()) return;
  const std::uint64_t metaAt = ChildAt(*udta, ChildAt(root, moovAt, *udta), *meta);
  if (WithinSector(ChildAt(*meta, metaAt, meta->children[static_cast<std::size_t>(ilst)]), 8)) return;
  // An 8-byte header starting in the last 7 bytes of a sector starts 8 bytes on or back
  // within one: 1 to 7 bytes into the next sector, or 497 to 503 into its own.
  const auto at = std::find_if(udta->children.begin(), udta->children.end(),
                               [meta](const t_Box& b) { return &b == meta; });
  if (at != udta->children.begin()) {
    t_Box& before = *(at - 1);
    if (IsFreeType(before.type) && !before.container && !before.largeHeader) {
      if (before.payload.size() >= 8) {
        before.payload.resize(before.payload.size() - 8);
      } else {
        before.payload.resize(before.payload.size() + 8);
      }
      return;
    }
  }
  udta->children.insert(at, t_Box::Leaf(kFree, {}));
}

}  // namespace n_zorbel::n_ntag
