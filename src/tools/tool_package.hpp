#pragma once
// The tool package: a 16-byte header (unpacked size U, LZMA properties size,
// the 5 property bytes, 3 unused bytes) followed by a raw LZMA stream that
// decodes to exactly U bytes: a table of N 32-bit file sizes, then the files.
// All integers little-endian. Every damage is reported with code 13
// (invalid data), unconverted.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "system/text.hpp"

namespace n_zorbel::n_tools {

inline constexpr std::size_t kToolPackageHeaderSize = 16;
inline constexpr std::uint32_t kLzmaPropertiesSize = 5;
inline constexpr std::size_t kLzmaPropertiesOffset = 8;
// Sizes up to 4 bytes cannot hold a size table and a file; 64 MiB is far
// beyond any tool and keeps a damaged header from asking for gigabytes.
inline constexpr std::uint32_t kMinUnpackedSize = 5;
inline constexpr std::uint32_t kMaxUnpackedSize = 0x4000000;
// The files in the package, in table order: only the tagger.
inline constexpr std::size_t kToolFileCount = 1;
inline constexpr std::int32_t kCodeInvalidData = 13;

// The name the packaged file `index` is written under.
t_StringView ToolFileName(std::size_t index) noexcept;

struct t_ToolPackageHeader {
  std::uint32_t unpackedSize = 0;
  std::array<std::byte, kLzmaPropertiesSize> properties{};
};

// Reads and checks the header: at least 16 bytes, U in [5, 64 MiB], a
// properties size of 5. Raises code 13 otherwise.
t_ToolPackageHeader ReadToolPackageHeader(std::span<const std::byte> package);

// The decoded and checked payload of a package.
class t_ToolPayload {
 public:
  // Decodes the whole stream in one call into one buffer of U bytes and
  // checks the size table. Raises code 13 for a damaged package and the
  // converted "not enough memory" when the buffer cannot be had.
  explicit t_ToolPayload(std::span<const std::byte> package);
  t_ToolPayload(const t_ToolPayload&) = delete;
  t_ToolPayload& operator=(const t_ToolPayload&) = delete;

  std::uint32_t Size() const noexcept { return m_size; }
  // The bytes of packaged file `index`.
  std::span<const std::byte> File(std::size_t index) const noexcept;

 private:
  std::unique_ptr<std::byte[]> m_bytes;
  std::uint32_t m_size = 0;
  std::array<std::uint32_t, kToolFileCount> m_offsets{};
  std::array<std::uint32_t, kToolFileCount> m_sizes{};
};

}  // namespace n_zorbel::n_tools
