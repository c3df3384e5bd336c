#pragma once
// Where the bytes of a video land in its rewritten copy: the part before the movie box stays,
// the part after it moves by the growth of the movie box (or is left out, for a last movie
// box whose free space the copy drops), and a few header and offset fields are written anew.
// The rewrite moves every data reference by this map, and its check compares by it.
#include <cstdint>
#include <optional>
#include <vector>

#include "model/sample_tables.hpp"
#include "model/source.hpp"

namespace n_zorbel::n_ntag {

class t_Relocation {
 public:
  // [0, keptEnd) stays where it is; [tailFrom, tailEnd) moves by `shift`; the rest is not copied.
  t_Relocation(std::uint64_t keptEnd, std::uint64_t tailFrom, std::uint64_t tailEnd, std::int64_t shift)
      : m_keptEnd(keptEnd), m_tailFrom(tailFrom), m_tailEnd(tailEnd), m_shift(shift) {}

  // How far the bytes [at, at + bytes) move, when the copy carries them whole; for 0 bytes,
  // how far the position `at` moves (the end of a copied part counts as in it).
  std::optional<std::int64_t> ShiftOf(std::uint64_t at, std::uint64_t bytes) const;
  // The ranges of the old file the copy holds with other bytes (fields moved, sizes set).
  void MarkRewritten(std::vector<t_DataRange> ranges);
  // How many bytes from `at` on the copy holds exactly as the old file does.
  std::uint64_t SameBytesFrom(std::uint64_t at) const;

 private:
  std::uint64_t m_keptEnd, m_tailFrom, m_tailEnd;
  std::int64_t m_shift;
  std::vector<t_DataRange> m_rewritten;  // sorted, apart
};

// Compares the first bytes (up to 16, at most `length`) at `oldAt` and `newAt`: enough to tell
// a chunk from any other, without reading the media whole.
bool SameStart(const t_Source& oldFile, std::uint64_t oldAt, const t_Source& newFile, std::uint64_t newAt,
               std::uint64_t length);

}  // namespace n_zorbel::n_ntag
