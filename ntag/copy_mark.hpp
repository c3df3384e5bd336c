#pragma once
// POSIX: how a rewrite's copy is named and marked, so that one a killed run left under its
// name is told apart from a user's file that only looks like one.
#include <random>
#include <string>

namespace n_zorbel::n_ntag {

// The extended attribute that marks a copy from its creation until it is the video; it is
// never copied from a video. Where the file system keeps no such attributes, a copy cannot be
// told apart, and one a kill left stays.
inline constexpr char kCopyMark[] = "user.ntag.copy";

// A fresh name for a copy: ".ntag-" PID "-" 16 hex digits ".tmp".
std::string NewCopyName(std::random_device& random);
void MarkAsCopy(int fd);
void UnmarkCopy(int fd);
// Removes from `folder` every file that has exactly a copy's name, carries the mark and is
// held by no live run (a run holds its copy with flock while it lives).
void RemoveAbandonedCopies(int folder);

}  // namespace n_zorbel::n_ntag
