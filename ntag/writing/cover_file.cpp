#include "writing/cover_file.hpp"

#include <algorithm>
#include <string>

#include "model/box_types.hpp"
#include "model/tag_list.hpp"
#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

constexpr std::uint64_t kMaxCoverSize = 64ull << 20;

// Why a JPEG's marker segments do not hold together, or empty: from SOI every segment's length
// stays inside the file, a frame header comes before the scan, and entropy data after the
// scan header ends in an EOI (trailing bytes after it are tolerated, as viewers do).
std::string JpegProblem(const t_Bytes& b) {
  std::size_t pos = 2;
  bool frame = false;
  while (true) {
    if (pos + 2 > b.size() || b[pos] != 0xFF) return "a marker segment is missing or cut short";
    while (pos + 1 < b.size() && b[pos + 1] == 0xFF) ++pos;  // fill bytes
    if (pos + 2 > b.size()) return "a marker segment is missing or cut short";
    const std::uint8_t marker = b[pos + 1];
    pos += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD8 || marker == 0xD9) return "it ends before its image data";
    if (pos + 2 > b.size()) return "a marker segment is missing or cut short";
    const std::size_t length = Read16(b.data() + pos);
    if (length < 2 || pos + length > b.size()) return "a marker segment runs past the end of the file";
    const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    frame = frame || sof;
    pos += length;
    if (marker == 0xDA) break;
  }
  if (!frame) return "it has no frame header";
  for (std::size_t end = b.size(); end >= pos + 2; --end) {
    if (b[end - 2] == 0xFF && b[end - 1] == 0xD9) return {};
  }
  return "its image data has no end marker";
}

// Why a PNG's chunks do not hold together, or empty: every length inside the file, IHDR
// first, image data, and IEND (checksums are not checked).
std::string PngProblem(const t_Bytes& b) {
  bool data = false;
  for (std::size_t pos = 8, index = 0;; ++index) {
    if (pos + 12 > b.size()) return "it ends without an IEND chunk";
    const std::uint32_t length = Read32(b.data() + pos);
    const std::uint32_t type = Read32(b.data() + pos + 4);
    if (length > b.size() - pos - 12) return "a chunk runs past the end of the file";
    if (index == 0 && (type != kPngIhdr || length != 13)) return "it does not start with an IHDR chunk";
    if (type == kPngIdat) data = true;
    if (type == kPngIend) return data ? std::string() : "it has no image data";
    pos += 12 + length;
  }
}

}  // namespace

t_Cover LoadCover(const t_NativePath& path) {
  const std::string name = "cover '" + PathToUtf8(path) + "'";
  try {
    t_File file = t_File::Open(path, t_OpenMode::Read);
    const std::uint64_t size = file.Size();
    if (size > kMaxCoverSize) throw t_NtagError(t_ExitCode::CoverProblem, name + " is larger than 64 MiB");
    t_Cover cover{0, t_Bytes(static_cast<std::size_t>(size))};
    file.ReadAt(0, cover.bytes.data(), cover.bytes.size());
    static const std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const t_Bytes& b = cover.bytes;
    std::string problem;
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
      cover.dataType = kCoverJpeg;
      problem = JpegProblem(b);
    } else if (b.size() >= 8 && std::equal(kPng, kPng + 8, b.begin())) {
      cover.dataType = kCoverPng;
      problem = PngProblem(b);
    } else {
      throw t_NtagError(t_ExitCode::CoverProblem, name + " is not a JPEG or PNG image");
    }
    if (!problem.empty()) {
      throw t_NtagError(
          t_ExitCode::CoverProblem,
          name + " is a damaged " + (cover.dataType == kCoverJpeg ? "JPEG" : "PNG") + " image: " + problem);
    }
    return cover;
  } catch (const t_IoError& e) {
    const std::string why = e.Kind() == t_IoFailure::NotFound       ? "not found"
                            : e.Kind() == t_IoFailure::AccessDenied ? "access denied"
                            : e.Kind() == t_IoFailure::NotAFile     ? "not a file"
                                                                    : e.what();
    throw t_NtagError(t_ExitCode::CoverProblem, "cannot read " + name + ": " + why);
  }
}

}  // namespace n_zorbel::n_ntag
