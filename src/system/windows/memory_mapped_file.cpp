#include "system/memory_mapped_file.hpp"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "system/windows/handle.hpp"

namespace n_zorbel::n_system {

namespace {

using n_detail::t_FileHandle;
using n_detail::t_Handle;
using n_detail::t_MappedView;

// A read/write mapping of the whole file; Windows refuses an empty file.
HANDLE CreateWholeFileMapping(HANDLE file) {
  HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  if (mapping == nullptr) RaiseLastError();
  return mapping;
}

// Writes zeros over [from, to): only written bytes are sure to have room;
// answers the error, 0 when all were written.
// NTFS allocates at SetEndOfFile, but other file systems (Wine's host among
// them) may leave a hole, and a view written into a hole on a full disk
// ends the process with an in-page error instead of failing a call.
DWORD ReserveTail(HANDLE file, std::uint64_t from, std::uint64_t to) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(from);
  if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return ::GetLastError();
  static constexpr DWORD kZerosSize = 0x10000;
  static constexpr char kZeros[kZerosSize] = {};
  while (from < to) {
    const auto chunk = static_cast<DWORD>(std::min<std::uint64_t>(to - from, kZerosSize));
    DWORD written = 0;
    if (!::WriteFile(file, kZeros, chunk, &written, nullptr)) return ::GetLastError();
    if (written != chunk) return ERROR_DISK_FULL;
    from += chunk;
  }
  return 0;
}

// Sets the end of `file` at `size`.
bool SetEnd(HANDLE file, std::uint64_t size) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

}  // namespace

// In the order they are made; the view goes first.
struct t_MemoryMappedFile::t_Handles {
  t_FileHandle file;
  t_Handle mapping;
  t_MappedView view;
};

t_MemoryMappedFile::t_MemoryMappedFile() : m_handles(std::make_unique<t_Handles>()) {}

t_MemoryMappedFile::~t_MemoryMappedFile() { Close(); }

std::uint64_t t_MemoryMappedFile::Granularity() {
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

void t_MemoryMappedFile::Open(const t_String& path) {
  Close();
  // No sharing: while we hold the file nobody else can open it at all.
  t_FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (file.IsEmpty()) RaiseLastError();
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(file.Get(), &length)) RaiseLastError();
  t_Handle mapping;
  if (length.QuadPart > 0) mapping = t_Handle(CreateWholeFileMapping(file.Get()));
  m_handles->file = std::move(file);
  m_handles->mapping = std::move(mapping);
  m_size = static_cast<std::uint64_t>(length.QuadPart);
  m_writable = true;
}

void t_MemoryMappedFile::Unmap() {
  if (m_view == nullptr) return;
  m_view = nullptr;
  m_viewLength = 0;
  m_begin = nullptr;
  m_end = nullptr;
  try {
    m_handles->view.Close();
  } catch (const n_system::t_ErrorException& e) {
    throw t_ErrorException(e.Code());  // the mapped file's own kind of failure
  }
}

void* t_MemoryMappedFile::MapView(std::uint64_t alignedOffset, std::size_t length) {
  const DWORD access = m_writable ? FILE_MAP_READ | FILE_MAP_WRITE : FILE_MAP_READ;
  void* view = ::MapViewOfFile(m_handles->mapping.Get(), access, static_cast<DWORD>(alignedOffset >> 32),
                               static_cast<DWORD>(alignedOffset), length);
  if (view == nullptr) RaiseMappedFileError(::GetLastError());
  m_handles->view = t_MappedView(view);
  return view;
}

void t_MemoryMappedFile::ApplySize(std::uint64_t oldSize) {
  m_handles->mapping.Close();
  if (!SetEnd(m_handles->file.Get(), m_size)) RaiseLastError();
  if (m_size > oldSize) {
    if (const DWORD error = ReserveTail(m_handles->file.Get(), oldSize, m_size); error != 0) {
      // Back to the length it had, so that Size() and the file agree.
      SetEnd(m_handles->file.Get(), oldSize);
      m_size = oldSize;
      RaiseSystemError(error);
    }
  }
  m_handles->mapping = t_Handle(CreateWholeFileMapping(m_handles->file.Get()));
}

void t_MemoryMappedFile::Close() {
  Unmap();
  m_handles->mapping.Close();
  m_handles->file.Close();
  m_size = 0;
  m_writable = false;
}

std::byte* t_MemoryMappedFile::AllocateBlock(std::size_t bytes) {
  void* block = ::VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) RaiseLastError();
  return static_cast<std::byte*>(block);
}

void t_MemoryMappedFile::ReleaseBlock(std::byte* block, std::size_t) {
  if (!::VirtualFree(block, 0, MEM_RELEASE)) RaiseLastError();
}

}  // namespace n_zorbel::n_system
