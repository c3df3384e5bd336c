#pragma once
// What the preview agrees to decode, judged from the file's bytes before any
// decoder sees them. A hostile picture costs a decoder time and memory out
// of all proportion to its size (a progressive JPEG of thousands of scans
// runs for minutes; a PNG of 8000 x 8000 takes most of a 32-bit process), so
// only JPEG and PNG pictures inside these bounds are decoded. They are the
// formats the tagger accepts, and its size limit is the same.
#include <cstdint>
#include <span>

namespace n_zorbel::n_preview {

// The tagger's limit for a cover.
inline constexpr std::uint64_t kLargestCoverFile = 64ull << 20;
// 4096 x 4096: room for any cover a store asks for (3000 x 3000 is the
// largest common request), 64 MiB once decoded to 32-bit pixels, which the
// 32-bit Windows program holds twice beside the file while a new one arrives.
inline constexpr std::uint64_t kLargestCoverPixels = 4096ull * 4096ull;
// Encoders' progressive scripts use about ten scans; each scan is another
// pass over the whole picture, so more than this is not a picture but a
// way of making the decoder work.
inline constexpr std::uint32_t kMostCoverScans = 32;
// A decode still running after this long is abandoned (a last bound for
// what the others miss, such as a slow disk or a decoder's slow path).
inline constexpr std::uint32_t kLongestCoverDecodeMs = 10000;

// True for a JPEG (a frame header before its first scan, at most
// kMostCoverScans scans) or a PNG (its IHDR first) whose width and height are
// not zero and hold at most kLargestCoverPixels; the file holds at most
// kLargestCoverFile bytes. False for anything else.
bool CoverFitsBounds(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace n_zorbel::n_preview
