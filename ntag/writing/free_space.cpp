#include "writing/free_space.hpp"

#include <cstdint>
#include <string>

#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

// Room kept free on the disk beyond what a write needs, for the file system itself.
constexpr std::uint64_t kSpaceMargin = 16ull << 20;

}  // namespace

void CheckFreeSpace(const t_File& video, std::uint64_t need) {
  const std::uint64_t available = FreeSpaceBeside(video);
  if (available != UINT64_MAX && available < need + kSpaceMargin) {
    throw t_NtagError(t_ExitCode::DiskFull,
                      "not enough free disk space: " + std::to_string((need + kSpaceMargin) >> 20) +
                          " MiB needed, " + std::to_string(available >> 20) + " MiB free");
  }
}

}  // namespace n_zorbel::n_ntag
