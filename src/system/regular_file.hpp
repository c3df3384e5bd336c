#pragma once
// Reads a small file whole, for pictures the dialog only looks at. Only a
// regular file is read: a FIFO, a device or a folder named like a picture
// could block the reader for ever or hand it endless bytes.
#include <cstdint>
#include <optional>
#include <vector>

#include "system/text.hpp"

namespace n_zorbel::n_system {

// The bytes of the regular file at `path` when it holds at most `largest`
// bytes; nothing when it cannot be opened or read, is not a regular file, is
// larger, or grows while it is read. The file is opened
// without blocking and without keeping others from reading, writing,
// renaming or deleting it, and is closed before this returns.
std::optional<std::vector<std::uint8_t>> ReadRegularFile(const t_String& path, std::uint64_t largest) noexcept;

}  // namespace n_zorbel::n_system
