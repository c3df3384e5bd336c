#pragma once
// Edits a file through a mapping: replace any byte range by one of another
// length (the rest of the file moves in 4 MiB chunks), then write the new
// range through the mapped view.
//
// While open, the file is held exclusively: Windows opens it without sharing;
// POSIX takes an exclusive flock, so a second Open of the same path (from this
// or another process that locks) fails with a sharing violation (code 0x80070020).
// Arithmetic that would overflow raises std::overflow_error, which is outside
// the t_ErrorException family on purpose: it is a fault, not a system answer.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system {

class t_MemoryMappedFile {
 public:
  // Failures of the view itself and regions outside the file.
  class t_ErrorException : public n_system::t_ErrorException {
   public:
    using n_system::t_ErrorException::t_ErrorException;
    const char* what() const noexcept override;
  };

  // Tail moves go through one buffer of at most this many bytes.
  static constexpr std::uint32_t kChunkSize = 0x400000;

  t_MemoryMappedFile();
  ~t_MemoryMappedFile();
  t_MemoryMappedFile(const t_MemoryMappedFile&) = delete;
  t_MemoryMappedFile& operator=(const t_MemoryMappedFile&) = delete;

  // Opens `path` for reading and writing, creating it empty when missing
  // (POSIX: mode 0600 before the umask). Closes whatever was open first.
  void Open(const t_String& path);
  std::uint64_t Size() const noexcept { return m_size; }
  // Replaces [offset, offset + oldLength) by newLength bytes and returns that
  // region, mapped writable; its first min(new, old) bytes keep their content,
  // and the bytes that followed the old range now follow the new one. The
  // region stays valid until the next ReplaceRegion or Close.
  std::byte* ReplaceRegion(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset);
  std::byte* RegionBegin() const noexcept { return m_begin; }
  std::byte* RegionEnd() const noexcept { return m_end; }
  // Unmaps, closes the mapping and the file; raises when a release fails.
  void Close();

  // The alignment of view offsets: the allocation granularity on Windows,
  // the page size on POSIX. Read from the system at every mapping.
  static std::uint64_t Granularity();

 private:
  struct t_Handles;  // the platform's file (and mapping) handles
  class t_WorkBuffer;

  void Unmap();
  void MapRegion(std::uint64_t offset, std::uint64_t length);
  // Makes the file m_size bytes long; space that grows from `oldSize` is
  // really reserved first, so a full disk raises here instead of faulting
  // when the view is written.
  void ApplySize(std::uint64_t oldSize);
  void Grow(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset);
  void Shrink(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset);
  void CheckRange(std::uint64_t offset, std::uint64_t length) const;

  // Platform parts: map `length` bytes at an aligned offset (raises the
  // mapped-file error), and reserve/release the tail moves' work buffer
  // (raise system error).
  void* MapView(std::uint64_t alignedOffset, std::size_t length);
  static std::byte* AllocateBlock(std::size_t bytes);
  static void ReleaseBlock(std::byte* block, std::size_t bytes);

  std::unique_ptr<t_Handles> m_handles;
  std::uint64_t m_size = 0;
  void* m_view = nullptr;
  std::size_t m_viewLength = 0;
  std::byte* m_begin = nullptr;
  std::byte* m_end = nullptr;
  bool m_writable = false;
};

[[noreturn]] void RaiseMappedFileError(std::uint32_t error);

// Windows error numbers the mapped file answers with on both platforms.
inline constexpr std::uint32_t kErrorInvalidHandle = 6;   // a view of a file that has no mapping
inline constexpr std::uint32_t kErrorFileInvalid = 1006;  // mapping an empty file

}  // namespace n_zorbel::n_system
