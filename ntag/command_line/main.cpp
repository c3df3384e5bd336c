// Entry point: the arguments after the program name, as the platform delivers them.
// On Windows the first element may be empty (the caller's command line starts with a
// blank); it is the program's name slot all the same and is skipped.
#include <vector>

#include "command_line/command_line.hpp"
#include "platform/stop_request.hpp"

#ifdef __linux__
#include <sys/prctl.h>
#endif
#ifndef _WIN32
#include <signal.h>
#endif

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
#ifdef __linux__
  // Started through a held descriptor (/proc/self/fd/N), the process would be
  // named after the descriptor's number in ps and top.
  ::prctl(PR_SET_NAME, "ntag", 0, 0, 0);
#endif
#ifndef _WIN32
  // Past a file-size limit (ulimit -f) a write then fails (EFBIG) and is taken back like any
  // other, where the signal would end the run half way.
  ::signal(SIGXFSZ, SIG_IGN);
#endif
  n_zorbel::n_ntag::ListenForStopRequests();
  std::vector<n_zorbel::n_ntag::t_NativePath> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return n_zorbel::n_ntag::Run(args);
}
