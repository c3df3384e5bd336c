#pragma once
// Test hooks beside the write fault of platform_file.hpp (SetWriteFaultBudget): flushes that
// keep failing, and a read that fails, at a mark. Off unless a test program turns them on.
#include <cstddef>
#include <cstdint>

namespace n_zorbel::n_ntag {

// Once `bytes` bytes have been written through t_File, every flush fails with an I/O error,
// as on a disk that keeps failing to write back; writes still succeed. Negative turns it off.
void SetFlushFaultMark(std::int64_t bytes);
// Once `bytes` bytes have been written through t_File, every later write and flush fails
// with an I/O error, as on a disk that stopped taking data; reads and cuts still work.
// A write that would pass the mark fails whole. Negative turns it off.
void SetStuckFaultMark(std::int64_t bytes);
// The read that would pass `bytes` more bytes fails with an I/O error (once). Negative: off.
void SetReadFaultBudget(std::int64_t bytes);
// Bytes read through t_File so far in this process.
std::uint64_t BytesRead();

// Told of every change made to a file through t_File and t_Replacement, in order, so that a
// test can replay them and build every state a power loss could leave. Files are named by
// their handles. Nobody is told unless a test sets one (SetIoObserver).
class t_IoObserver {
 public:
  virtual ~t_IoObserver() = default;
  virtual void Wrote(std::intptr_t file, std::uint64_t offset, const void* data, std::size_t size) = 0;
  // [at, at + size) of `from`, as it is, to `toAt` of `file`.
  virtual void Copied(std::intptr_t file, std::uint64_t toAt, std::intptr_t from, std::uint64_t at,
                      std::uint64_t size) = 0;
  virtual void Truncated(std::intptr_t file, std::uint64_t size) = 0;
  virtual void Flushed(std::intptr_t file) = 0;
  // The rewrite's copy took the video's name; then the folder was flushed.
  virtual void Renamed(std::intptr_t file) = 0;
  virtual void FolderFlushed() = 0;
};
void SetIoObserver(t_IoObserver* observer);
t_IoObserver* IoObserver();

// Called by t_File before each flush and each read; throw t_IoError when a hook says so.
void FaultBeforeFlush();
void FaultBeforeWrite(std::size_t size);
void FaultBeforeRead(std::size_t size);

}  // namespace n_zorbel::n_ntag
