// t_File's ownership and its reads, writes, cuts and flushes, once for both systems, on the
// system calls of platform_handle.hpp. The test layer's hook points sit here, around them.
#include "platform/platform_file.hpp"

#include <utility>

#include "platform/fault_hook.hpp"
#include "platform/platform_handle.hpp"

namespace n_zorbel::n_ntag {

t_File::~t_File() { Close(); }

t_File::t_File(t_File&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)),
      m_folder(std::exchange(other.m_folder, -1)),
      m_name(std::move(other.m_name)) {}

t_File& t_File::operator=(t_File&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = std::exchange(other.m_handle, -1);
    m_folder = std::exchange(other.m_folder, -1);
    m_name = std::move(other.m_name);
  }
  return *this;
}

bool t_File::IsOpen() const { return m_handle != -1; }

void t_File::Close() {
  if (m_handle != -1) CloseHandleOf(std::exchange(m_handle, -1));
  if (m_folder != -1) CloseHandleOf(std::exchange(m_folder, -1));
  m_name.clear();
}

void t_File::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  n_hook::BeforeRead(size);
  auto* p = static_cast<char*>(buffer);
  while (size > 0) {
    const std::size_t n = ReadSomeAt(m_handle, offset, p, size);
    if (n == 0) throw t_IoError(t_IoFailure::Other, "unexpected end of file");
    p += n;
    offset += n;
    size -= n;
  }
}

void t_File::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  n_hook::BeforeWrite(size);
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const std::size_t allowed = n_hook::WriteAllowance(size);
    std::size_t n;
    try {
      n = WriteSomeAt(m_handle, offset, p, allowed);
    } catch (const t_IoError&) {
      n_hook::AfterWrite(allowed, 0);
      throw;
    }
    n_hook::AfterWrite(allowed, n);
    if (t_IoObserver* o = n_hook::Observer()) o->Wrote(m_handle, offset, p, n);
    p += n;
    offset += n;
    size -= n;
  }
}

void t_File::Truncate(std::uint64_t size) {
  TruncateHandle(m_handle, size);
  if (t_IoObserver* o = n_hook::Observer()) o->Truncated(m_handle, size);
}

void t_File::Flush() {
  n_hook::BeforeFlush();
  FlushHandle(m_handle, false);
  if (t_IoObserver* o = n_hook::Observer()) o->Flushed(m_handle);
}

void t_File::FlushData() {
  n_hook::BeforeFlush();
  FlushHandle(m_handle, true);
  if (t_IoObserver* o = n_hook::Observer()) o->Flushed(m_handle);
}

std::uint64_t t_File::CopyFrom(const t_File& from, std::uint64_t at, std::uint64_t size, std::uint64_t toAt) {
  if (t_IoObserver* o = n_hook::Observer()) o->Copied(m_handle, toAt, from.m_handle, at, size);
  const n_hook::t_Quiet quiet;
  return CopyRange(from, at, size, *this, toAt);
}

t_ExitCode WriteFailureCode(t_IoFailure kind) {
  switch (kind) {
    case t_IoFailure::AccessDenied:
      return t_ExitCode::AccessDenied;
    case t_IoFailure::DiskFull:
      return t_ExitCode::DiskFull;
    case t_IoFailure::InUse:
      return t_ExitCode::InUse;
    case t_IoFailure::DeviceError:
      return t_ExitCode::DeviceFailed;
    case t_IoFailure::NotFound:
    case t_IoFailure::NotAFile:
    case t_IoFailure::Other:
      break;
  }
  return t_ExitCode::WriteFailed;
}

}  // namespace n_zorbel::n_ntag
