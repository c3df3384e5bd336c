#pragma once
// Test hooks beside the write fault of platform_file.hpp (SetWriteFaultBudget): flushes that
// keep failing, and a read that fails, at a mark. Off unless a test program turns them on.
#include <cstddef>
#include <cstdint>

namespace n_zorbel::n_ntag {

// Once `bytes` bytes have been written through t_File, every flush fails with an I/O error,
// as on a disk that keeps failing to write back; writes still succeed. Negative turns it off.
void SetFlushFaultMark(std::int64_t bytes);
// The read that would pass `bytes` more bytes fails with an I/O error (once). Negative: off.
void SetReadFaultBudget(std::int64_t bytes);
// Bytes read through t_File so far in this process.
std::uint64_t BytesRead();

// Called by t_File before each flush and each read; throw t_IoError when a hook says so.
void FaultBeforeFlush();
void FaultBeforeRead(std::size_t size);

}  // namespace n_zorbel::n_ntag
