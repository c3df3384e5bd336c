#include "platform/fault_hook.hpp"

#include <algorithm>
#include <atomic>

#include "platform/platform_file.hpp"
#include "platform/platform_handle.hpp"

namespace n_zorbel::n_ntag {
namespace {

std::atomic<std::int64_t> g_writeBudget{-1};
std::atomic<void (*)()> g_writeHold{nullptr};
std::atomic<std::int64_t> g_flushMark{-1};
std::atomic<std::int64_t> g_readBudget{-1};
std::atomic<std::int64_t> g_stuckMark{-1};
std::atomic<std::uint64_t> g_bytesWritten{0};
std::atomic<std::uint64_t> g_bytesRead{0};
std::atomic<t_IoObserver*> g_observer{nullptr};
std::atomic<long> g_systemError{0};

// A fault fails as the system error the test chose, classified as the system's own are.
[[noreturn]] void Fault(t_IoFailure kind, const char* what) {
  if (const long error = g_systemError.load()) throw SystemError(error);
  throw t_IoError(kind, what);
}

// The write budget's mark is reached: the write fails as on a full disk, or waits for the test.
void AtWriteMark() {
  g_writeBudget = -1;
  if (void (*hold)() = g_writeHold.load()) return hold();
  Fault(t_IoFailure::DiskFull, "no space left on the device (test hook)");
}

}  // namespace

void SetWriteFaultBudget(std::int64_t bytes) { g_writeBudget = bytes; }
void SetWriteFaultHold(void (*hold)()) { g_writeHold = hold; }
void SetFlushFaultMark(std::int64_t bytes) { g_flushMark = bytes; }
void SetStuckFaultMark(std::int64_t bytes) { g_stuckMark = bytes; }
void SetReadFaultBudget(std::int64_t bytes) { g_readBudget = bytes; }
void SetFaultSystemError(long code) { g_systemError = code; }
std::uint64_t BytesWritten() { return g_bytesWritten; }
std::uint64_t BytesRead() { return g_bytesRead; }
void SetIoObserver(t_IoObserver* observer) { g_observer = observer; }

namespace n_hook {

void BeforeRead(std::size_t size) {
  const std::int64_t budget = g_readBudget.load();
  if (budget >= 0 && static_cast<std::uint64_t>(budget) < size) {
    g_readBudget = -1;
    Fault(t_IoFailure::DeviceError, "input/output error while reading (test hook)");
  }
  if (budget >= 0) g_readBudget = budget - static_cast<std::int64_t>(size);
  g_bytesRead += size;
}

void BeforeWrite(std::size_t size) {
  const std::int64_t mark = g_stuckMark.load();
  if (mark >= 0 && BytesWritten() + size > static_cast<std::uint64_t>(mark)) {
    Fault(t_IoFailure::DeviceError, "input/output error while writing (test hook)");
  }
}

std::size_t WriteAllowance(std::size_t want) {
  const std::int64_t budget = g_writeBudget.load();
  if (budget < 0) return want;
  if (budget == 0) {
    AtWriteMark();
    return want;
  }
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(want, static_cast<std::uint64_t>(budget)));
  g_writeBudget = budget - static_cast<std::int64_t>(n);
  return n;
}

void WholeWriteAllowance(std::size_t want) {
  if (WriteAllowance(want) < want) AtWriteMark();
}

void AfterWrite(std::size_t allowed, std::size_t written) {
  const std::int64_t budget = g_writeBudget.load();
  if (budget >= 0) g_writeBudget = budget + static_cast<std::int64_t>(allowed - written);
  g_bytesWritten += written;
}

void BeforeFlush() {
  for (const std::int64_t mark : {g_flushMark.load(), g_stuckMark.load()}) {
    if (mark >= 0 && BytesWritten() >= static_cast<std::uint64_t>(mark)) {
      Fault(t_IoFailure::DeviceError, "input/output error while flushing (test hook)");
    }
  }
}

t_IoObserver* Observer() { return g_observer; }

t_Quiet::t_Quiet() : m_observer(g_observer.exchange(nullptr)) {}
t_Quiet::~t_Quiet() { g_observer = m_observer; }

}  // namespace n_hook
}  // namespace n_zorbel::n_ntag
