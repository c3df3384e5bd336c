#include "fault_hook.hpp"

#include <atomic>

#include "platform_file.hpp"

namespace n_zorbel::n_ntag {
namespace {

std::atomic<std::int64_t> g_flushMark{-1};
std::atomic<std::int64_t> g_readBudget{-1};
std::atomic<std::int64_t> g_stuckMark{-1};
std::atomic<std::uint64_t> g_bytesRead{0};
std::atomic<t_IoObserver*> g_observer{nullptr};

}  // namespace

void SetFlushFaultMark(std::int64_t bytes) { g_flushMark = bytes; }
void SetReadFaultBudget(std::int64_t bytes) { g_readBudget = bytes; }
void SetStuckFaultMark(std::int64_t bytes) { g_stuckMark = bytes; }
std::uint64_t BytesRead() { return g_bytesRead; }
void SetIoObserver(t_IoObserver* observer) { g_observer = observer; }
t_IoObserver* IoObserver() { return g_observer; }

void FaultBeforeFlush() {
  for (const std::int64_t mark : {g_flushMark.load(), g_stuckMark.load()}) {
    if (mark >= 0 && BytesWritten() >= static_cast<std::uint64_t>(mark)) {
      throw t_IoError(t_IoFailure::Other, "input/output error while flushing (test hook)");
    }
  }
}

void FaultBeforeWrite(std::size_t size) {
  const std::int64_t mark = g_stuckMark.load();
  if (mark >= 0 && BytesWritten() + size > static_cast<std::uint64_t>(mark)) {
    throw t_IoError(t_IoFailure::Other, "input/output error while writing (test hook)");
  }
}

void FaultBeforeRead(std::size_t size) {
  const std::int64_t budget = g_readBudget.load();
  if (budget >= 0 && static_cast<std::uint64_t>(budget) < size) {
    g_readBudget = -1;
    throw t_IoError(t_IoFailure::Other, "input/output error while reading (test hook)");
  }
  if (budget >= 0) g_readBudget = budget - static_cast<std::int64_t>(size);
  g_bytesRead += size;
}

}  // namespace n_zorbel::n_ntag
