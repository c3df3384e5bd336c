#pragma once
// Where a file's sample data lies, from its tables alone (moov, and the moof boxes of
// fragmented files), never from the media: data past the end marks a cut-off download, and
// data inside the movie box would change with every edit of the tags.
#include <cstdint>

#include "model/file_layout.hpp"
#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {

struct t_SampleExtent {
  std::uint64_t end = 0;         // where the furthest chunk or run of samples ends
  bool reachesIntoMoov = false;  // some samples lie inside the moov box
};

// Refuses (3) a file whose tables put sample data past its end: a new movie box written
// there would be played as media. A read error is reported as such (2).
t_SampleExtent CheckSampleData(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov);

// The same before a write, which also refuses (4) sample data inside the movie box: every
// write path would change bytes a track reads. Where the furthest sample data ends.
std::uint64_t CheckSampleDataForWrite(const t_File& file, const t_FileLayout& layout, const t_Bytes& moov);

}  // namespace n_zorbel::n_ntag
