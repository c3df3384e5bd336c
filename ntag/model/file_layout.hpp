#pragma once
// The top-level boxes of a file, read from their headers alone, and the checks
// that make a file safe to edit: one moov, no box past the end, nothing overlapping.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/box.hpp"
#include "model/source.hpp"

namespace n_zorbel::n_ntag {

struct t_FileLayout {
  std::vector<t_BoxHeader> boxes;
  std::uint64_t fileSize = 0;
  std::size_t moovIndex = 0;
  bool fragmented = false;  // has moof or mfra boxes, whose offsets point into the file
  // The last box is an mdat whose header claims more bytes than the file holds (players
  // play it, and so may a cut-off download): it counts as running to the end of the file,
  // and a copy of it gets its true size.
  bool mdatClaimsMore = false;

  const t_BoxHeader& Moov() const { return boxes[moovIndex]; }
  // True when only free space (free/skip boxes or zero padding) follows moov.
  bool MoovIsLast() const;

  // Reads every top-level header of `file`; throws t_NtagError (NotMp4) for a file
  // that is not MP4 or whose boxes are damaged.
  static t_FileLayout Scan(const t_Source& file);
};

// Reads the moov box into memory; refuses absurd sizes.
t_Bytes ReadMoov(const t_Source& file, const t_FileLayout& layout);

// The largest moof or mfra box read into memory.
inline constexpr std::uint64_t kMaxFragmentBox = 64ull << 20;
// Reads a top-level box whole, header included.
t_Bytes ReadBox(const t_Source& file, const t_BoxHeader& box);

}  // namespace n_zorbel::n_ntag
