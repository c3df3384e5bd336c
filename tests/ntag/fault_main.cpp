// ntag with a fault hook for tests: NTAG_FAULT_AFTER=N makes the write that passes the
// first N bytes fail as a full disk would; without it, the bytes written are reported
// on stderr as "written N". Never shipped.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "command_line.hpp"
#include "platform_file.hpp"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  if (const char* after = std::getenv("NTAG_FAULT_AFTER")) {
    n_zorbel::n_ntag::SetWriteFaultBudget(std::atoll(after));
  }
  std::vector<n_zorbel::n_ntag::t_NativePath> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const int code = n_zorbel::n_ntag::Run(args);
  if (!std::getenv("NTAG_FAULT_AFTER")) {
    std::fprintf(stderr, "written %llu\n", static_cast<unsigned long long>(n_zorbel::n_ntag::BytesWritten()));
  }
  return code;
}
