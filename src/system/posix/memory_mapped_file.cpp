// POSIX: open + an exclusive non-blocking flock stand for Windows' unshared
// CreateFileW, ftruncate and posix_fallocate for SetEndOfFile, and mmap at page granularity for
// the views. There is no mapping object; `mapped` records whether Windows
// would hold one (the file is not empty), so both platforms answer alike.
#include "system/memory_mapped_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "system/posix/descriptor.hpp"

namespace n_zorbel::n_system {

using n_detail::t_Descriptor;

struct t_MemoryMappedFile::t_Handles {
  t_Descriptor file;
  bool mapped = false;
};

t_MemoryMappedFile::t_MemoryMappedFile() : m_handles(std::make_unique<t_Handles>()) {}

t_MemoryMappedFile::~t_MemoryMappedFile() { Close(); }

std::uint64_t t_MemoryMappedFile::Granularity() {
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0) RaiseLastError();
  return static_cast<std::uint64_t>(page);
}

void t_MemoryMappedFile::Open(const t_String& path) {
  Close();
  t_Descriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (file.Get() == -1) RaiseLastError();
  // Exclusive for as long as we hold it; a holder elsewhere makes this fail
  // at once with EWOULDBLOCK, that is a sharing violation.
  if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) RaiseLastError();
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) RaiseLastError();
  m_handles->file = std::move(file);
  m_handles->mapped = info.st_size > 0;
  m_size = static_cast<std::uint64_t>(info.st_size);
  m_writable = true;
}

void t_MemoryMappedFile::Unmap() {
  if (m_view == nullptr) return;
  const int result = ::munmap(m_view, m_viewLength);
  const int error = errno;
  m_view = nullptr;
  m_viewLength = 0;
  m_begin = nullptr;
  m_end = nullptr;
  if (result != 0) RaiseMappedFileError(WindowsErrorFromErrno(error));
}

void* t_MemoryMappedFile::MapView(std::uint64_t alignedOffset, std::size_t length) {
  if (!m_handles->mapped) RaiseMappedFileError(kErrorInvalidHandle);
  // As on Windows, a length of 0 maps from the offset to the end of the file.
  if (length == 0) length = static_cast<std::size_t>(m_size - alignedOffset);
  const int protection = m_writable ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = ::mmap(nullptr, length, protection, MAP_SHARED, m_handles->file.Get(),
                      static_cast<off_t>(alignedOffset));
  if (view == MAP_FAILED) RaiseMappedFileError(LastSystemError());
  return view;
}

void t_MemoryMappedFile::ApplySize(std::uint64_t oldSize) {
  m_handles->mapped = false;
  if (m_size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    RaiseSystemError(kErrorInvalidParameter);
  }
  if (::ftruncate(m_handles->file.Get(), static_cast<off_t>(m_size)) != 0) RaiseLastError();
  // ftruncate only names the new bytes; a write through the view into a
  // page the file system cannot supply kills the process with SIGBUS.
  // posix_fallocate answers its error instead of setting errno.
  if (m_size > oldSize) {
    int error = 0;
    do {
      error = ::posix_fallocate(m_handles->file.Get(), static_cast<off_t>(oldSize),
                                static_cast<off_t>(m_size - oldSize));
    } while (error == EINTR);
    if (error != 0) {
      // Back to the length it had, so that Size() and the file agree.
      (void)::ftruncate(m_handles->file.Get(), static_cast<off_t>(oldSize));
      m_size = oldSize;
      RaiseSystemError(WindowsErrorFromErrno(error));
    }
  }
  // Windows refuses to map an empty file; answer the same here so callers
  // see one behaviour.
  if (m_size == 0) RaiseSystemError(kErrorFileInvalid);
  m_handles->mapped = true;
}

void t_MemoryMappedFile::Close() {
  Unmap();
  m_handles->mapped = false;
  m_handles->file.Close();
  m_size = 0;
  m_writable = false;
}

std::byte* t_MemoryMappedFile::AllocateBlock(std::size_t bytes) {
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) RaiseLastError();
  return static_cast<std::byte*>(block);
}

void t_MemoryMappedFile::ReleaseBlock(std::byte* block, std::size_t bytes) {
  if (::munmap(block, bytes) != 0) RaiseLastError();
}

}  // namespace n_zorbel::n_system
