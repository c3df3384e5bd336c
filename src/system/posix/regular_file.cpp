#include "system/regular_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "system/posix/descriptor.hpp"

namespace n_zorbel::n_system {

std::optional<std::vector<std::uint8_t>> ReadRegularFile(const t_String& path, std::uint64_t largest) noexcept {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const n_detail::t_Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat status{};
  if (file.IsEmpty() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
      static_cast<std::uint64_t>(status.st_size) > largest)
    return std::nullopt;
  try {
    // One byte more than the size tells a file that grew while it was read.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
      const ssize_t count = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) return std::nullopt;
      if (count == 0) break;
      filled += static_cast<std::size_t>(count);
    }
    if (filled == bytes.size()) return std::nullopt;
    bytes.resize(filled);
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace n_zorbel::n_system
