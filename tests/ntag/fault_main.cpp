// ntag with a fault hook for tests: NTAG_FAULT_AFTER=N makes the write that passes the
// first N bytes fail as a full disk would; without it, the bytes written are reported
// on stderr as "written N". With NTAG_FAULT_HOLD=PATH that write does not fail: the
// program creates PATH and waits until the test removes it, then goes on. Never shipped.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "command_line.hpp"
#include "platform_file.hpp"

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
  if (const char* after = std::getenv("NTAG_FAULT_AFTER")) {
    n_zorbel::n_ntag::SetWriteFaultBudget(std::atoll(after));
    if (std::getenv("NTAG_FAULT_HOLD")) n_zorbel::n_ntag::SetWriteFaultHold(HoldUntilReleased);
  }
  std::vector<n_zorbel::n_ntag::t_NativePath> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const int code = n_zorbel::n_ntag::Run(args);
  if (!std::getenv("NTAG_FAULT_AFTER")) {
    std::fprintf(stderr, "written %llu\n", static_cast<unsigned long long>(n_zorbel::n_ntag::BytesWritten()));
  }
  return code;
}
