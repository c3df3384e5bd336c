#include "model/file_layout.hpp"

#include "model/box_types.hpp"
#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

constexpr std::uint64_t kMaxMoovSize = 256ull << 20;

}  // namespace

bool t_FileLayout::MoovIsLast() const {
  for (std::size_t i = moovIndex + 1; i < boxes.size(); ++i) {
    // Type 0 is zero padding to the end of the file, the one place Scan admits it.
    if (!IsFreeType(boxes[i].type) && boxes[i].type != 0) return false;
  }
  return true;
}

t_FileLayout t_FileLayout::Scan(const t_Source& file) {
  t_FileLayout layout;
  layout.fileSize = file.Size();
  std::uint64_t pos = 0;
  bool haveMoov = false;
  while (pos < layout.fileSize) {
    std::uint8_t raw[32];
    const std::uint64_t left = layout.fileSize - pos;
    const std::size_t n = left < sizeof raw ? static_cast<std::size_t>(left) : sizeof raw;
    file.ReadAt(pos, raw, n);
    t_BoxHeader h;
    std::string problem = ParseHeader(raw, n, left, h);
    h.offset = pos;
    if (!problem.empty() && h.type == kMdat && h.size > left && left >= h.headerSize) {
      problem.clear();
      h.size = left;
      layout.mdatClaimsMore = true;
    }
    if (problem.empty() && !IsPlausibleType(h.type) && !(h.type == 0 && h.toEnd)) {
      problem = "invalid box type";
    }
    if (!problem.empty()) {
      if (layout.boxes.empty()) throw t_NtagError(t_ExitCode::NotMp4, "not an MP4 file");
      Damaged(problem, pos);
    }
    if (h.type == kMoov) {
      if (haveMoov) Damaged("a second movie box (moov)", pos);
      haveMoov = true;
      layout.moovIndex = layout.boxes.size();
    }
    if (h.type == kMoof || h.type == kMfra) layout.fragmented = true;
    layout.boxes.push_back(h);
    pos += h.size;
  }
  if (!haveMoov) throw t_NtagError(t_ExitCode::NotMp4, "not an MP4 file (no movie box)");
  return layout;
}

t_Bytes ReadMoov(const t_Source& file, const t_FileLayout& layout) {
  const t_BoxHeader& moov = layout.Moov();
  if (moov.size > kMaxMoovSize) {
    throw t_NtagError(t_ExitCode::LayoutRefused, "the movie box is larger than 256 MiB");
  }
  t_Bytes bytes(static_cast<std::size_t>(moov.size));
  file.ReadAt(moov.offset, bytes.data(), bytes.size());
  if (moov.toEnd) {
    // A moov that runs to the end of the file says so with size 0; give it its real size.
    if (moov.size > 0xFFFFFFFFull) {
      throw t_NtagError(t_ExitCode::LayoutRefused, "the movie box is larger than 4 GiB");
    }
    StoreSizeField(bytes.data(), static_cast<std::uint32_t>(moov.size));
  }
  return bytes;
}

t_Bytes ReadBox(const t_Source& file, const t_BoxHeader& box) {
  t_Bytes bytes(static_cast<std::size_t>(box.size));
  file.ReadAt(box.offset, bytes.data(), bytes.size());
  return bytes;
}

}  // namespace n_zorbel::n_ntag
