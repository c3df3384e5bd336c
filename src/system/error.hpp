#pragma once
// Every failing system call becomes an exception carrying one 32-bit code.
// The code is what the user sees (as a signed decimal), so its form is fixed:
// a positive system error e becomes 0x80070000 | (e & 0xFFFF); zero and
// negative values (already status codes) pass unchanged.
#include <cstdint>
#include <exception>

namespace n_zorbel::n_system {

class t_ErrorException : public std::exception {
 public:
  explicit t_ErrorException(std::int32_t code) noexcept : m_code(code) {}
  const char* what() const noexcept override;
  std::int32_t Code() const noexcept { return m_code; }

 private:
  std::int32_t m_code;
};

// The converted form of a system error code (see above).
std::int32_t ConvertSystemError(std::uint32_t error) noexcept;

// Raises t_ErrorException with the error converted.
[[noreturn]] void RaiseSystemError(std::uint32_t error);
// Raises t_ErrorException with the code unchanged (status codes, code 13).
[[noreturn]] void RaiseCode(std::int32_t code);

// The calling thread's last system error in Windows numbering: GetLastError
// on Windows; on POSIX errno mapped by WindowsErrorFromErrno.
std::uint32_t LastSystemError() noexcept;
// Shorthand used right after a failing call.
[[noreturn]] void RaiseLastError();

// POSIX errno values that have a Windows counterpart are given that number
// (ENAMETOOLONG among them: ERROR_FILENAME_EXCED_RANGE),
// so a user sees the same code on both platforms; others pass unchanged.
std::uint32_t WindowsErrorFromErrno(int error) noexcept;

// Windows error numbers the portable code tests for.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorInvalidData = 13;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorDirNotEmpty = 145;
inline constexpr std::uint32_t kErrorFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorStoppedOnSymlink = 681;
inline constexpr std::int32_t kCodeUnexpected = static_cast<std::int32_t>(0x80004005u);  // E_FAIL

}  // namespace n_zorbel::n_system
