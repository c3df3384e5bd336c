#pragma once
// Builds a tool package at build time (and in tests): the payload is a table
// of 32-bit file sizes followed by the files; the package is a 16-byte header
// and the payload as a raw LZMA stream without an end marker. The shipped
// settings are lc 8, lp 0, pb 0, so the reader's lc-8 path is the one used.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace n_zorbel::n_tools::n_packer {

struct t_PackOptions {
  int lc = 8;
  int lp = 0;
  int pb = 0;
  // The encoder shrinks this to the payload's size; the stream's properties
  // record the size it used.
  std::uint32_t dictionarySize = 1u << 24;
  int level = 9;
};

class t_PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The size table and the files, one after the other.
std::vector<std::byte> BuildPayload(std::span<const std::span<const std::byte>> files);

// Header and raw stream for `payload`. Raises t_PackError when the encoder fails.
std::vector<std::byte> PackPayload(std::span<const std::byte> payload, const t_PackOptions& options = {});

// BuildPayload then PackPayload.
std::vector<std::byte> PackTools(std::span<const std::span<const std::byte>> files,
                                 const t_PackOptions& options = {});

}  // namespace n_zorbel::n_tools::n_packer
