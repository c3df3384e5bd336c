#include "model/relocation.hpp"

#include <algorithm>
#include <cstring>

namespace n_zorbel::n_ntag {

std::optional<std::int64_t> t_Relocation::ShiftOf(std::uint64_t at, std::uint64_t bytes) const {
  if (bytes > UINT64_MAX - at) return std::nullopt;
  const std::uint64_t end = at + bytes;
  if (bytes == 0 ? at < m_keptEnd : end <= m_keptEnd) return 0;
  if (at >= m_tailFrom && end <= m_tailEnd) return m_shift;
  return std::nullopt;
}

void t_Relocation::MarkRewritten(std::vector<t_DataRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const t_DataRange& a, const t_DataRange& b) { return a.at < b.at; });
  m_rewritten = std::move(ranges);
}

std::uint64_t t_Relocation::SameBytesFrom(std::uint64_t at) const {
  std::uint64_t end = 0;
  if (at < m_keptEnd) {
    end = m_keptEnd;
  } else if (at >= m_tailFrom && at < m_tailEnd) {
    end = m_tailEnd;
  } else {
    return 0;
  }
  // The first rewritten range that ends after `at`: it holds `at`, or bounds what follows.
  const auto next =
      std::upper_bound(m_rewritten.begin(), m_rewritten.end(), at,
                       [](std::uint64_t p, const t_DataRange& r) { return p < r.at + r.bytes; });
  if (next != m_rewritten.end()) end = std::min(end, std::max(next->at, at));
  return end - at;
}

bool SameStart(const t_Source& oldFile, std::uint64_t oldAt, const t_Source& newFile, std::uint64_t newAt,
               std::uint64_t length) {
  std::uint8_t a[16], b[16];
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof a, length));
  if (n == 0) return true;
  oldFile.ReadAt(oldAt, a, n);
  newFile.ReadAt(newAt, b, n);
  return std::memcmp(a, b, n) == 0;
}

}  // namespace n_zorbel::n_ntag
