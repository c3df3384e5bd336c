#pragma once
// Shared pieces of the tool package tests: packages made on the fly, and a
// count of open descriptors to see that nothing was left open.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <span>
#include <vector>

#include "support/file_bytes.hpp"
#include "tool_packer.hpp"

namespace n_zorbel::n_testing {

using t_Bytes = std::vector<std::byte>;

// Bytes that look like a program: runs of repeated words and noise, so that
// the encoder's matches and literals are both exercised.
inline t_Bytes ToolLikeBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  t_Bytes bytes;
  bytes.reserve(size);
  while (bytes.size() < size) {
    const auto kind = static_cast<unsigned>(random() % 3);
    const std::size_t run = 1 + random() % 64;
    for (std::size_t i = 0; i < run && bytes.size() < size; ++i) {
      const unsigned value = kind == 0   ? 0u
                             : kind == 1 ? static_cast<unsigned>(i % 7) * 17u
                                         : static_cast<unsigned>(random());
      bytes.push_back(static_cast<std::byte>(value & 0xFF));
    }
  }
  return bytes;
}

inline t_Bytes PackOne(std::span<const std::byte> tool,
                       const n_tools::n_packer::t_PackOptions& options = {}) {
  const std::span<const std::byte> files[] = {tool};
  return n_tools::n_packer::PackTools(files, options);
}

inline void PutLittleEndian32(t_Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

inline t_Bytes ReadAll(const std::filesystem::path& path) {
  const std::string chars = ReadFile(path);
  const auto bytes = std::as_bytes(std::span(chars));
  return t_Bytes(bytes.begin(), bytes.end());
}

// Open descriptors of this process (Linux); -1 where that cannot be seen.
inline int OpenDescriptorCount() {
#ifdef __linux__
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
#else
  return -1;
#endif
}

}  // namespace n_zorbel::n_testing
