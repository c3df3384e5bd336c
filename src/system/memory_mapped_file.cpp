#include "system/memory_mapped_file.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace n_zorbel::n_system {

namespace {

std::uint64_t CheckedAdd(std::uint64_t a, std::uint64_t b) {
  if (b > std::numeric_limits<std::uint64_t>::max() - a) {
    throw std::overflow_error("mapped file: 64-bit overflow in range arithmetic");
  }
  return a + b;
}

}  // namespace

const char* t_MemoryMappedFile::t_ErrorException::what() const noexcept {
  return "/zorbel/system/windows/memory_mapped_file/error exception";
}

void RaiseMappedFileError(std::uint32_t error) {
  throw t_MemoryMappedFile::t_ErrorException(ConvertSystemError(error));
}

// The tail moves' one work buffer. Release is explicit so its failure is
// raised; if the move itself fails, the destructor releases it and a failure
// there ends the process (destructors never throw).
class t_MemoryMappedFile::t_WorkBuffer {
 public:
  explicit t_WorkBuffer(std::size_t bytes) : m_block(AllocateBlock(bytes)), m_bytes(bytes) {}
  ~t_WorkBuffer() {
    if (m_block != nullptr) ReleaseBlock(std::exchange(m_block, nullptr), m_bytes);
  }
  t_WorkBuffer(const t_WorkBuffer&) = delete;
  t_WorkBuffer& operator=(const t_WorkBuffer&) = delete;

  std::byte* Data() const noexcept { return m_block; }
  void Release() { ReleaseBlock(std::exchange(m_block, nullptr), m_bytes); }

 private:
  std::byte* m_block;
  std::size_t m_bytes;
};

void t_MemoryMappedFile::CheckRange(std::uint64_t offset, std::uint64_t length) const {
  if (offset > m_size) RaiseMappedFileError(kErrorAccessDenied);
  if (CheckedAdd(offset, length) > m_size) RaiseMappedFileError(kErrorAccessDenied);
}

void t_MemoryMappedFile::MapRegion(std::uint64_t offset, std::uint64_t length) {
  CheckRange(offset, length);
  const std::uint64_t delta = offset % Granularity();
  const std::uint64_t viewLength = CheckedAdd(length, delta);
  // A 32-bit build cannot map more than its address width.
  if (viewLength > std::numeric_limits<std::size_t>::max()) {
    throw std::overflow_error("mapped file: view length exceeds the address width");
  }
  m_view = MapView(offset - delta, static_cast<std::size_t>(viewLength));
  m_viewLength = static_cast<std::size_t>(viewLength);
  m_begin = static_cast<std::byte*>(m_view) + delta;
  m_end = m_begin + length;
}

std::byte* t_MemoryMappedFile::ReplaceRegion(std::uint32_t newLength, std::uint64_t oldLength,
                                             std::uint64_t offset) {
  CheckRange(offset, oldLength);
  if (newLength > oldLength) {
    Grow(newLength, oldLength, offset);
  } else if (newLength < oldLength) {
    Shrink(newLength, oldLength, offset);
  }
  Unmap();
  MapRegion(offset, newLength);
  return m_begin;
}

// The tail moves towards the end, last chunk first, so no byte is
// overwritten before it has been read.
void t_MemoryMappedFile::Grow(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset) {
  const std::uint64_t d = newLength - oldLength;
  const std::uint64_t oldSize = m_size;
  m_size = CheckedAdd(m_size, d);
  // No view may stay mapped: a growth that fails shrinks the file back,
  // which Windows refuses while a view is mapped.
  Unmap();
  ApplySize(oldSize);
  std::uint64_t tail = m_size - newLength - offset;
  if (tail == 0) return;
  t_WorkBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(tail, kChunkSize)));
  std::uint64_t cursor = m_size;
  while (tail != 0) {
    const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(tail, kChunkSize));
    cursor -= chunk;
    Unmap();
    MapRegion(cursor - d, chunk);
    std::memcpy(buffer.Data(), m_begin, chunk);
    std::memcpy(ReplaceRegion(chunk, chunk, cursor), buffer.Data(), chunk);
    tail -= chunk;
  }
  Unmap();
  buffer.Release();
}

// The tail moves towards the start, first chunk first.
void t_MemoryMappedFile::Shrink(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset) {
  const std::uint64_t d = oldLength - newLength;
  std::uint64_t tail = m_size - oldLength - offset;
  if (tail != 0) {
    std::uint64_t dst = offset + newLength;
    t_WorkBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(tail, kChunkSize)));
    for (;;) {
      const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(tail, kChunkSize));
      Unmap();
      MapRegion(dst + d, chunk);
      std::memcpy(buffer.Data(), m_begin, chunk);
      std::memcpy(ReplaceRegion(chunk, chunk, dst), buffer.Data(), chunk);
      tail -= chunk;
      if (tail == 0) break;
      dst += chunk;
    }
    Unmap();
    buffer.Release();
  }
  const std::uint64_t oldSize = m_size;
  m_size -= d;
  ApplySize(oldSize);
}

}  // namespace n_zorbel::n_system
