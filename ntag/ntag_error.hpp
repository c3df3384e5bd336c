#pragma once
// Every way ntag can end, and the exception that carries a failure to main.
// The numbers are part of the tool's documented interface: never renumber.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace n_zorbel::n_ntag {

enum class t_ExitCode : int {
  Ok = 0,
  Usage = 1,            // bad option, unknown key, missing or extra video path
  VideoUnreadable = 2,  // video missing, not a file, or not readable
  NotMp4 = 3,           // not an MP4 file, or its boxes are damaged
  LayoutRefused = 4,    // a valid MP4 whose layout we will not write
  CoverProblem = 5,     // cover missing, unreadable, or not JPEG/PNG
  WriteFailed = 6,      // a write failed for a cause none of 8 to 11 names
  VerifyFailed = 7,     // the written result did not read back right; it is taken back
  AccessDenied = 8,     // the video or its folder may not be written (permissions, read-only)
  DiskFull = 9,         // no room on the disk (or in the user's quota) for what is written
  InUse = 10,           // another program holds the video (a lock, a sharing mode)
  DeviceFailed = 11,    // the device failed to read or write (I/O error)
};

// A failure with the exit code it maps to and a one-line message for the user.
class t_NtagError : public std::runtime_error {
 public:
  t_NtagError(t_ExitCode code, const std::string& message) : std::runtime_error(message), m_code(code) {}
  t_ExitCode Code() const { return m_code; }

 private:
  t_ExitCode m_code;
};

// Boxes that do not hold together, found at byte `offset` of the file when known.
[[noreturn]] inline void Damaged(const std::string& what,
                                 std::optional<std::uint64_t> offset = std::nullopt) {
  throw t_NtagError(t_ExitCode::NotMp4, "damaged MP4: " + what +
                                            (offset ? " at byte " + std::to_string(*offset) : std::string()));
}

}  // namespace n_zorbel::n_ntag
