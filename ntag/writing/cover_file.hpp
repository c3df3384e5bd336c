#pragma once
// A cover as it goes into a video: read whole from its file, known as JPEG or PNG by its
// bytes, and refused (5) when its structure does not hold together.
#include <cstdint>

#include "model/byte_order.hpp"
#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {

struct t_Cover {
  std::uint32_t dataType;  // kCoverJpeg or kCoverPng
  t_Bytes bytes;
};

// Reads and checks the cover at `path`, at most 64 MiB. Throws t_NtagError (CoverProblem).
t_Cover LoadCover(const t_NativePath& path);

}  // namespace n_zorbel::n_ntag
