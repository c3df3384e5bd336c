#pragma once
// One positioned write of an edit (or of the bytes that take it back), and writes applied to
// the moov bytes in memory, where an edit is proved before it touches the file.
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/byte_order.hpp"

namespace n_zorbel::n_ntag {

struct t_Write {
  std::uint64_t offset;
  t_Bytes bytes;
};

// Applies `writes`, all inside moov, to the moov bytes read from `moovOffset`.
inline void Apply(t_Bytes& moov, std::uint64_t moovOffset, const std::vector<t_Write>& writes) {
  for (const t_Write& w : writes) {
    std::memcpy(moov.data() + (w.offset - moovOffset), w.bytes.data(), w.bytes.size());
  }
}

}  // namespace n_zorbel::n_ntag
