#include "tool_packer.hpp"

#include <algorithm>

#include "../lzma/lzma_one_shot.h"

namespace n_zorbel::n_tools::n_packer {

namespace {

void AppendLittleEndian32(std::vector<std::byte>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::byte>((value >> shift) & 0xFF));
}

}  // namespace

std::vector<std::byte> BuildPayload(std::span<const std::span<const std::byte>> files) {
  std::vector<std::byte> payload;
  std::size_t total = 4 * files.size();
  for (const auto& file : files) total += file.size();
  if (total > 0xFFFFFFFFu) throw t_PackError("the tools do not fit a package");
  payload.reserve(total);
  for (const auto& file : files) AppendLittleEndian32(payload, static_cast<std::uint32_t>(file.size()));
  for (const auto& file : files) payload.insert(payload.end(), file.begin(), file.end());
  return payload;
}

std::vector<std::byte> PackPayload(std::span<const std::byte> payload, const t_PackOptions& options) {
  if (payload.size() > 0xFFFFFFFFu) throw t_PackError("the payload is too large");
  // Incompressible data grows by a little; start with room for that and
  // grow if the encoder still runs out.
  std::size_t capacity = payload.size() + payload.size() / 16 + 1024;
  for (;;) {
    std::vector<std::byte> package(16 + capacity);
    std::size_t streamSize = capacity;
    unsigned char properties[kMivoraLzmaPropertiesSize];
    const int result =
        MivoraLzmaEncode(reinterpret_cast<unsigned char*>(package.data() + 16), &streamSize,
                         reinterpret_cast<const unsigned char*>(payload.data()), payload.size(), options.lc,
                         options.lp, options.pb, options.dictionarySize, options.level, properties);
    if (result == kMivoraLzmaOutputFull) {
      capacity *= 2;
      continue;
    }
    if (result == kMivoraLzmaNoMemory) throw t_PackError("the encoder ran out of memory");
    if (result != kMivoraLzmaOk) throw t_PackError("the encoder refused its settings");
    package.resize(16 + streamSize);
    std::vector<std::byte> header;
    AppendLittleEndian32(header, static_cast<std::uint32_t>(payload.size()));
    AppendLittleEndian32(header, kMivoraLzmaPropertiesSize);
    for (unsigned char property : properties) header.push_back(static_cast<std::byte>(property));
    header.resize(16, std::byte{0});
    std::copy(header.begin(), header.end(), package.begin());
    return package;
  }
}

std::vector<std::byte> PackTools(std::span<const std::span<const std::byte>> files,
                                 const t_PackOptions& options) {
  return PackPayload(BuildPayload(files), options);
}

}  // namespace n_zorbel::n_tools::n_packer
