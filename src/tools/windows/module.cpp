// Windows: the package is resource 202 of the named type "RT_RCDATA" (the
// nine letters, not the numeric raw-data type) in the program's own module.
#include "tools/module.hpp"

#include <windows.h>

#include "system/error.hpp"

namespace n_zorbel::n_tools {

namespace {
// SizeofResource and LockResource may fail without setting a last error; a
// failure must never be reported as code 0.
[[noreturn]] void RaiseResourceError() {
  const std::uint32_t error = n_system::LastSystemError();
  n_system::RaiseSystemError(error != 0 ? error : ERROR_RESOURCE_DATA_NOT_FOUND);
}
}  // namespace

std::span<const std::byte> t_ProgramModule::ToolPackage() const {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kToolPackageResourceId), L"RT_RCDATA");
  if (resource == nullptr) RaiseResourceError();
  const DWORD size = ::SizeofResource(module, resource);
  if (size == 0) RaiseResourceError();
  const HGLOBAL loaded = ::LoadResource(module, resource);
  if (loaded == nullptr) RaiseResourceError();
  const void* bytes = ::LockResource(loaded);
  if (bytes == nullptr) RaiseResourceError();
  return {static_cast<const std::byte*>(bytes), size};
}

}  // namespace n_zorbel::n_tools
