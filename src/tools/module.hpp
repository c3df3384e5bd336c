#pragma once
// Where the tool package comes from. The reader needs it as one contiguous
// read-only byte range; on Windows that is resource 202 of the named type
// "RT_RCDATA", on Linux a read-only data section linked into the executable.
#include <cstddef>
#include <span>

namespace n_zorbel::n_tools {

inline constexpr int kToolPackageResourceId = 202;

class t_Module {
 public:
  virtual ~t_Module() = default;
  // The package bytes. Raises t_ErrorException with the system error when the
  // package is missing, empty or cannot be loaded.
  virtual std::span<const std::byte> ToolPackage() const = 0;
};

// The running program itself: the package it carries.
class t_ProgramModule final : public t_Module {
 public:
  std::span<const std::byte> ToolPackage() const override;
};

// A package held in memory by the caller (made on the fly, read from a file).
class t_MemoryModule final : public t_Module {
 public:
  explicit t_MemoryModule(std::span<const std::byte> package) noexcept : m_package(package) {}
  std::span<const std::byte> ToolPackage() const override { return m_package; }

 private:
  std::span<const std::byte> m_package;
};

}  // namespace n_zorbel::n_tools
