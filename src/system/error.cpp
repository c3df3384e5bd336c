#include "system/error.hpp"

#include <cerrno>

namespace n_zorbel::n_system {

const char* t_ErrorException::what() const noexcept { return "/zorbel/system/windows/error exception"; }

std::int32_t ConvertSystemError(std::uint32_t error) noexcept {
  const auto value = static_cast<std::int32_t>(error);
  if (value <= 0) return value;
  return static_cast<std::int32_t>(0x80070000u | (error & 0xFFFFu));
}

void RaiseSystemError(std::uint32_t error) { throw t_ErrorException(ConvertSystemError(error)); }

void RaiseCode(std::int32_t code) { throw t_ErrorException(code); }

void RaiseLastError() { RaiseSystemError(LastSystemError()); }

std::uint32_t WindowsErrorFromErrno(int error) noexcept {
  switch (error) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EWOULDBLOCK:
      return kErrorSharingViolation;
    case EINVAL:
      return kErrorInvalidParameter;
    case ENOSPC:
      return kErrorDiskFull;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EEXIST:
      return kErrorAlreadyExists;
    default:
      return static_cast<std::uint32_t>(error);
  }
}

}  // namespace n_zorbel::n_system
