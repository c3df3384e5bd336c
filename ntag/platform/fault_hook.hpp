#pragma once
// Fault injection and the I/O observer: a layer over the file layer that only the test build of
// ntag has (ntag_core_testable, compiled with NTAG_TEST_HOOKS). The file layer calls the hook
// points of n_hook around its system calls; in the shipped build they are empty inline
// functions, so `ntag` carries none of this. Faults come once (a write at a mark, a read) or
// persist from a mark on (flushes, every write and flush), as on disks that fail either way.
#include <cstddef>
#include <cstdint>

namespace n_zorbel::n_ntag {

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

#ifdef NTAG_TEST_HOOKS
// After `bytes` more bytes have been written through t_File, the write that would pass that
// mark fails as if the disk were full (once; later writes succeed, as the undo of an
// interrupted in-place edit needs them). Negative turns it off.
void SetWriteFaultBudget(std::int64_t bytes);
// With `hold` set, the write that reaches that mark calls it and then goes on instead of
// failing, so a test can act while a run is in the middle of its work.
void SetWriteFaultHold(void (*hold)());
// Once `bytes` bytes have been written through t_File, every flush fails with an I/O error,
// as on a disk that keeps failing to write back; writes still succeed. Negative turns it off.
void SetFlushFaultMark(std::int64_t bytes);
// Once `bytes` bytes have been written through t_File, every later write and flush fails
// with an I/O error, as on a disk that stopped taking data; reads and cuts still work.
// A write that would pass the mark fails whole. Negative turns it off.
void SetStuckFaultMark(std::int64_t bytes);
// The read that would pass `bytes` more bytes fails with an I/O error (once). Negative: off.
void SetReadFaultBudget(std::int64_t bytes);
// Faults fail with this system error (errno, or a Windows error code) instead of their own,
// to see how each is reported. 0: their own.
void SetFaultSystemError(long code);
// Bytes written and read through t_File so far in this process.
std::uint64_t BytesWritten();
std::uint64_t BytesRead();
void SetIoObserver(t_IoObserver* observer);
#endif

// The hook points, called by the file layer only. Each throws t_IoError where a fault is set.
namespace n_hook {
#ifdef NTAG_TEST_HOOKS
void BeforeRead(std::size_t size);
// Before a write of `size` bytes, whole.
void BeforeWrite(std::size_t size);
// How many of `want` (> 0) bytes the next system write may take under the write budget.
std::size_t WriteAllowance(std::size_t want);
// The same for a write that can only be done whole: it reaches the mark unless all fit.
void WholeWriteAllowance(std::size_t want);
// After a system write that was allowed `allowed` bytes and wrote `written` (0 on failure).
void AfterWrite(std::size_t allowed, std::size_t written);
void BeforeFlush();
t_IoObserver* Observer();
// While it lives, the observer is not told: a copy is told as one, not as its pieces.
class t_Quiet {
 public:
  t_Quiet();
  ~t_Quiet();
  t_Quiet(const t_Quiet&) = delete;
  t_Quiet& operator=(const t_Quiet&) = delete;

 private:
  t_IoObserver* m_observer;
};
#else
inline void BeforeRead(std::size_t) {}
inline void BeforeWrite(std::size_t) {}
inline std::size_t WriteAllowance(std::size_t want) { return want; }
inline void WholeWriteAllowance(std::size_t) {}
inline void AfterWrite(std::size_t, std::size_t) {}
inline void BeforeFlush() {}
inline t_IoObserver* Observer() { return nullptr; }
class t_Quiet {
 public:
  t_Quiet() {}
};
#endif
}  // namespace n_hook

}  // namespace n_zorbel::n_ntag
