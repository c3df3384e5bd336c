// ntag with fault hooks for tests, never shipped. NTAG_FAULT_AFTER=N sets the mark;
// NTAG_FAULT_MODE says what fails there:
//   write (default)  the write that passes the first N bytes written fails as a full disk would
//   flush            once N bytes have been written, every flush fails (a disk that keeps failing)
//   read             the read that passes the first N bytes read fails with an I/O error
//   stuck            once N bytes have been written, every write and flush fails (cuts work)
// NTAG_FAULT_ERROR=CODE makes the fault fail with that system error (errno, or a Windows
// error code) instead, as the system would report it.
// With NTAG_FAULT_HOLD=PATH the write at the mark does not fail: the program creates PATH and
// waits until the test removes it, then goes on. Without a mark, the bytes written and read
// are reported on stderr as "written N read M".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "command_line/command_line.hpp"
#include "platform/fault_hook.hpp"
#include "platform/platform_file.hpp"

namespace n_ntag = n_zorbel::n_ntag;

namespace {

void HoldUntilReleased() {
  const std::filesystem::path mark(std::getenv("NTAG_FAULT_HOLD"));
  std::ofstream{mark};
  while (std::filesystem::exists(mark)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  const char* after = std::getenv("NTAG_FAULT_AFTER");
  if (after) {
    const char* mode = std::getenv("NTAG_FAULT_MODE");
    const long long mark = std::atoll(after);
    if (const char* error = std::getenv("NTAG_FAULT_ERROR")) n_ntag::SetFaultSystemError(std::atol(error));
    if (mode && std::strcmp(mode, "flush") == 0) {
      n_ntag::SetFlushFaultMark(mark);
    } else if (mode && std::strcmp(mode, "stuck") == 0) {
      n_ntag::SetStuckFaultMark(mark);
    } else if (mode && std::strcmp(mode, "read") == 0) {
      n_ntag::SetReadFaultBudget(mark);
    } else {
      n_ntag::SetWriteFaultBudget(mark);
      if (std::getenv("NTAG_FAULT_HOLD")) n_ntag::SetWriteFaultHold(HoldUntilReleased);
    }
  }
  std::vector<n_ntag::t_NativePath> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const int code = n_ntag::Run(args);
  if (!after) {
    std::fprintf(stderr, "written %llu read %llu\n", static_cast<unsigned long long>(n_ntag::BytesWritten()),
                 static_cast<unsigned long long>(n_ntag::BytesRead()));
  }
  return code;
}
