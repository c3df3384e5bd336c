#include "writing/sample_data.hpp"

#include <algorithm>
#include <string>

#include "model/box_types.hpp"
#include "model/sample_tables.hpp"
#include "ntag_error.hpp"
#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {

namespace {

t_SampleExtent SampleExtent(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov) {
  const std::uint64_t size = layout.fileSize;
  const std::uint64_t moovAt = layout.Moov().offset, moovEnd = moovAt + layout.Moov().size;
  t_SampleExtent extent;
  // Whether the range lies past the end of the file; notes where it ends and what it touches.
  const auto pastEnd = [&](const t_DataRange& r) {
    if (r.bytes == 0) return false;
    if (r.bytes > size || r.at > size - r.bytes) return true;
    extent.end = std::max(extent.end, r.at + r.bytes);
    extent.reachesIntoMoov = extent.reachesIntoMoov || (r.at < moovEnd && r.at + r.bytes > moovAt);
    return false;
  };
  const auto damaged = [](const std::string& what) {
    return t_NtagError(t_ExitCode::NotMp4, "damaged: sample data of " + what +
                                               " lies past the end of the file (a cut-off download?)");
  };
  ForEachReaderChunk(moov.data(), moov.size(), [&](std::size_t track, const t_DataRange& chunk) {
    if (pastEnd(chunk)) throw damaged("track " + std::to_string(track + 1));
  });
  for (const t_BoxHeader& box : layout.boxes) {
    if (box.type != kMoof || box.size > kMaxFragmentBox) continue;
    const t_Bytes moof = ReadBox(file, box);
    for (const t_TrackFragment& fragment :
         ReaderTrackFragments(moov.data(), moov.size(), moof.data(), moof.size(), box.offset)) {
      for (const t_DataRange& run : fragment.runs) {
        if (pastEnd(run)) throw damaged("the movie fragment at byte " + std::to_string(box.offset));
      }
    }
  }
  return extent;
}

}  // namespace

t_SampleExtent CheckSampleData(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov) {
  try {
    return SampleExtent(file, layout, moov);
  } catch (const t_IoError& e) {
    ReadFailed(e);
  }
}

std::uint64_t CheckSampleDataForWrite(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov) {
  const t_SampleExtent extent = CheckSampleData(file, layout, moov);
  if (extent.reachesIntoMoov)
    throw t_NtagError(t_ExitCode::LayoutRefused, "sample data lies inside the movie box");
  return extent.end;
}

}  // namespace n_zorbel::n_ntag
