#pragma once
// The system calls t_File is built on, one set per system (posix/platform_file.cpp,
// windows/platform_file.cpp). platform_file.cpp builds t_File on them, once for both systems,
// with the test layer's hook points (fault_hook.hpp) around them. Each throws t_IoError on failure.
#include <cstddef>
#include <cstdint>

namespace n_zorbel::n_ntag {

class t_File;
class t_IoError;

// The failure that the system's error code (errno on POSIX, GetLastError on Windows) stands
// for, classified by the one table of each system.
t_IoError SystemError(long code);

// Never fails: what must reach the disk was flushed before, and a failed close of a handle is
// of no use to report (nothing is undone by it, and destructors close too).
void CloseHandleOf(std::intptr_t handle);
// Reads up to `size` (> 0) bytes at `offset`; returns how many, 0 at the end of the file.
std::size_t ReadSomeAt(std::intptr_t handle, std::uint64_t offset, void* buffer, std::size_t size);
// Writes up to `size` (> 0) bytes at `offset`; returns how many, never 0.
std::size_t WriteSomeAt(std::intptr_t handle, std::uint64_t offset, const void* data, std::size_t size);
void TruncateHandle(std::intptr_t handle, std::uint64_t size);
// `dataOnly`: the data and the size, not the times, where the system tells them apart.
void FlushHandle(std::intptr_t handle, bool dataOnly);
// t_File::CopyFrom's work, as the system does it best.
std::uint64_t CopyRange(const t_File& from, std::uint64_t at, std::uint64_t size, t_File& to,
                        std::uint64_t toAt);

}  // namespace n_zorbel::n_ntag
