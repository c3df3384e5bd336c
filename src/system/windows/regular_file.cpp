#include "system/regular_file.hpp"

#include <windows.h>

#include <new>

#include "system/windows/handle.hpp"

namespace n_zorbel::n_system {

std::optional<std::vector<std::uint8_t>> ReadRegularFile(const t_String& path, std::uint64_t largest) noexcept {
  const n_detail::t_FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size{};
  // A pipe, a console or a serial port is no disk file.
  if (file.IsEmpty() || ::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.Get(), &size) ||
      size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > largest)
    return std::nullopt;
  try {
    // One byte more than the size tells a file that grew while it was read.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
      DWORD count = 0;
      if (!::ReadFile(file.Get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &count, nullptr))
        return std::nullopt;
      if (count == 0) break;
      filled += count;
    }
    if (filled == bytes.size()) return std::nullopt;
    bytes.resize(filled);
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace n_zorbel::n_system
