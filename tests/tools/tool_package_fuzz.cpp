// Feeds arbitrary bytes to the package reader: it must refuse them with a
// t_ErrorException or decode them, and never read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "system/error.hpp"
#include "tools/tool_package.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::byte> package(reinterpret_cast<const std::byte*>(data), size);
  try {
    const n_zorbel::n_tools::t_ToolPayload payload(package);
    const auto file = payload.File(0);
    // Touch both ends of what the reader says is the file.
    volatile std::byte first = file.front();
    volatile std::byte last = file.back();
    (void)first;
    (void)last;
  } catch (const n_zorbel::n_system::t_ErrorException&) {
  }
  return 0;
}
