#pragma once
// Edits a file through a mapping: replace any byte range by one of another
// length (the rest of the file moves in 4 MiB chunks), then write the new
// range through the mapped view.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system {

class t_MemoryMappedFile {
 public:
  class t_ErrorException : public n_system::t_ErrorException {
   public:
    using n_system::t_ErrorException::t_ErrorException;
    const char* what() const noexcept override;
  };

  t_MemoryMappedFile();
  ~t_MemoryMappedFile();
  t_MemoryMappedFile(const t_MemoryMappedFile&) = delete;
  t_MemoryMappedFile& operator=(const t_MemoryMappedFile&) = delete;

  void Open(const t_String& path);
  std::uint64_t Size() const noexcept { return m_size; }
  // Replaces [offset, offset + oldLength) by newLength bytes and returns that
  // region, mapped writable; its first min(new, old) bytes keep their content.
  std::byte* ReplaceRegion(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset);
  std::byte* RegionBegin() const noexcept { return m_begin; }
  std::byte* RegionEnd() const noexcept { return m_end; }
  void Close();

 private:
  struct t_Handles;  // the platform's file (and mapping) handles
  void Unmap();
  void MapRegion(std::uint64_t offset, std::uint64_t length);
  void ApplySize();
  void Grow(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset);
  void Shrink(std::uint32_t newLength, std::uint64_t oldLength, std::uint64_t offset);
  void CheckRange(std::uint64_t offset, std::uint64_t length) const;

  std::unique_ptr<t_Handles> m_handles;
  std::uint64_t m_size = 0;
  void* m_view = nullptr;
  std::size_t m_viewLength = 0;
  std::byte* m_begin = nullptr;
  std::byte* m_end = nullptr;
  bool m_writable = false;
};

[[noreturn]] void RaiseMappedFileError(std::uint32_t error);

}  // namespace n_zorbel::n_system
