#include "tool_package.hpp"

#include <new>

#include "system/error.hpp"
#include "tools/lzma/lzma_one_shot.h"

namespace n_zorbel::n_tools {

namespace {

std::uint32_t ReadLittleEndian32(const std::byte* bytes) noexcept {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

[[noreturn]] void RaiseInvalidData() { n_system::RaiseCode(kCodeInvalidData); }

}  // namespace

t_StringView ToolFileName(std::size_t index) noexcept {
  (void)index;  // one file for now: the tagger
#ifdef _WIN32
  return ZTEXT("ntag.exe");
#else
  return ZTEXT("ntag");
#endif
}

t_ToolPackageHeader ReadToolPackageHeader(std::span<const std::byte> package) {
  if (package.size() < kToolPackageHeaderSize) RaiseInvalidData();
  t_ToolPackageHeader header;
  header.unpackedSize = ReadLittleEndian32(package.data());
  if (header.unpackedSize < kMinUnpackedSize || header.unpackedSize > kMaxUnpackedSize) RaiseInvalidData();
  if (ReadLittleEndian32(package.data() + 4) != kLzmaPropertiesSize) RaiseInvalidData();
  for (std::size_t i = 0; i < kLzmaPropertiesSize; ++i) {
    header.properties[i] = package[kLzmaPropertiesOffset + i];
  }
  return header;
}

t_ToolPayload::t_ToolPayload(std::span<const std::byte> package) {
  const t_ToolPackageHeader header = ReadToolPackageHeader(package);

  m_bytes.reset(new (std::nothrow) std::byte[header.unpackedSize]);
  if (!m_bytes) n_system::RaiseSystemError(n_system::kErrorNotEnoughMemory);
  m_size = header.unpackedSize;

  const std::span<const std::byte> stream = package.subspan(kToolPackageHeaderSize);
  std::size_t produced = 0;
  std::size_t consumed = 0;
  const int result = MivoraLzmaDecode(reinterpret_cast<unsigned char*>(m_bytes.get()), m_size,
                                      reinterpret_cast<const unsigned char*>(stream.data()), stream.size(),
                                      reinterpret_cast<const unsigned char*>(header.properties.data()),
                                      &produced, &consumed);
  // The whole stream, and nothing but it, makes exactly U bytes.
  if (result != kMivoraLzmaOk || produced != m_size || consumed != stream.size()) RaiseInvalidData();

  // Each size must move the running total up: a zero size or a wrap-around
  // fails; at the end table and files must fill the payload exactly.
  std::uint32_t total = static_cast<std::uint32_t>(4 * kToolFileCount);
  for (std::size_t i = 0; i < kToolFileCount; ++i) {
    const std::uint32_t size = ReadLittleEndian32(m_bytes.get() + 4 * i);
    const std::uint32_t next = total + size;
    if (next <= total) RaiseInvalidData();
    m_offsets[i] = total;
    m_sizes[i] = size;
    total = next;
  }
  if (total != m_size) RaiseInvalidData();
}

std::span<const std::byte> t_ToolPayload::File(std::size_t index) const noexcept {
  return {m_bytes.get() + m_offsets[index], m_sizes[index]};
}

}  // namespace n_zorbel::n_tools
