// libFuzzer target: the box parser, the movie model, the tag list and the other tag stores
// on arbitrary bytes.
// Only t_NtagError may come out; crashes and sanitizer reports are faults.
#include <cstddef>
#include <cstdint>

#include "model/box.hpp"
#include "model/movie.hpp"
#include "model/other_stores.hpp"
#include "model/tag_list.hpp"
#include "ntag_error.hpp"

using namespace n_zorbel::n_ntag;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  t_Bytes moov(data, data + size);
  try {
    t_Movie movie = t_Movie::Parse(moov, 1000);
    (void)movie.ChunkOffsets();
    const t_TagList tags = t_TagList::Parse(movie.IlstPayload());
    (void)tags.Listing();
    const t_Bytes ilst = tags.Serialize();
    // Parsing must be lossless, but that a size of 0 is written back as the real size.
    t_Bytes expected = moov;
    const auto realSizes = [&](const auto& self, const t_Box& box) -> void {
      if (box.sizeToEnd)
        StoreSizeField(expected.data() + (box.fileOffset - 1000),
                       static_cast<std::uint32_t>(box.originalSize));
      for (const t_Box& child : box.children) self(self, child);
    };
    realSizes(realSizes, movie.Root());
    if (movie.Root().Serialize() != expected) __builtin_trap();
    (void)OtherStoresListing(movie);
    if (RemoveFromOtherStores(movie, {"title", "comment", "year"})) (void)OtherStoresListing(movie);
    movie.SetIlst(ilst, 4096);
    movie.ShiftOffsets(1000, 1000 + size, 1 << 20);
    (void)t_Movie::Parse(movie.Root().Serialize(), 1000).ChunkOffsets();
  } catch (const t_NtagError&) {
  }
  try {
    (void)t_TagList::Parse(moov).Listing();
  } catch (const t_NtagError&) {
  }
  return 0;
}
