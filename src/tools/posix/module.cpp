// Linux: the package is a read-only data section of the executable, placed
// there by the tool package object (an .incbin between two symbols). The
// symbols are weak so that a program built without the package links and
// reports it missing, like a missing resource on Windows.
#include "tools/module.hpp"

#include "system/error.hpp"

extern "C" {
extern const unsigned char mivora_tool_package_begin[] __attribute__((weak));
extern const unsigned char mivora_tool_package_end[] __attribute__((weak));
}

namespace n_zorbel::n_tools {

namespace {
// The Windows numbers for a missing resource type and an empty resource.
constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;
constexpr std::uint32_t kErrorResourceDataNotFound = 1812;
}  // namespace

std::span<const std::byte> t_ProgramModule::ToolPackage() const {
  const unsigned char* begin = mivora_tool_package_begin;
  const unsigned char* end = mivora_tool_package_end;
  if (begin == nullptr || end == nullptr) n_system::RaiseSystemError(kErrorResourceTypeNotFound);
  if (end <= begin) n_system::RaiseSystemError(kErrorResourceDataNotFound);
  return {reinterpret_cast<const std::byte*>(begin), static_cast<std::size_t>(end - begin)};
}

}  // namespace n_zorbel::n_tools
