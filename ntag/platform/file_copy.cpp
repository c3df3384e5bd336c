#include <cstring>
#include <memory>
#include <new>

#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Small enough to stay in the processor's cache between the read that fills it and the write
// that empties it: with buffers of a few MiB each write reads it back from memory, and copying
// through one took several times as long.
constexpr std::size_t kCopyBuffer = 256u << 10;
constexpr std::size_t kPage = 4096;

struct t_AlignedFree {
  void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
};

}  // namespace

void CopyThroughBuffer(const t_File& from, std::uint64_t at, std::uint64_t size, t_File& to,
                       std::uint64_t toAt) {
  // Page-aligned, so the system can move whole pages.
  const std::unique_ptr<std::uint8_t[], t_AlignedFree> buffer(
      static_cast<std::uint8_t*>(::operator new[](kCopyBuffer, std::align_val_t{kPage})));
  while (size > 0) {
    const std::size_t n = size < kCopyBuffer ? static_cast<std::size_t>(size) : kCopyBuffer;
    from.ReadAt(at, buffer.get(), n);
    const bool zeros = buffer[0] == 0 && std::memcmp(buffer.get(), buffer.get() + 1, n - 1) == 0;
    if (!zeros) to.WriteAt(toAt, buffer.get(), n);
    at += n;
    toAt += n;
    size -= n;
  }
}

}  // namespace n_zorbel::n_ntag
