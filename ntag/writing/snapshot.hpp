#pragma once
// What a video holds that matters for tagging, read from its headers and its moov alone, and
// the check that a file still holds (or now holds) a given moov.
#include <cstdint>

#include "model/file_layout.hpp"
#include "model/movie.hpp"
#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {

struct t_Snapshot {
  t_FileLayout layout;
  t_Bytes moovBytes;
  t_Movie movie;
};

// Reads the snapshot of `file`; a read error is reported as such (2).
t_Snapshot TakeSnapshot(const t_File& file);

// Whether `file` holds exactly `expected` at `offset`; read piece by piece, never whole.
bool SameBytes(const t_File& file, std::uint64_t offset, const t_Bytes& expected);

// Scans the file's top-level boxes again and tells whether its moov sits at `offset` and
// holds exactly `expected`, bytes whose parse has been checked already.
// Read errors pass as t_IoError: after a write they call for the undo like a write error.
bool HoldsMoov(const t_File& file, std::uint64_t offset, const t_Bytes& expected,
               t_FileLayout* layoutOut = nullptr);

}  // namespace n_zorbel::n_ntag
