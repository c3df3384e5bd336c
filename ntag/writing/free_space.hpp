#pragma once
// The check before a write that grows the video or copies it: the disk beside it must hold
// the new bytes and leave room for the file system itself.
#include <cstdint>

#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {

// Refuses (6) a write of `need` bytes beside `video` that the disk cannot take with a margin.
void CheckFreeSpace(const t_File& video, std::uint64_t need);

}  // namespace n_zorbel::n_ntag
