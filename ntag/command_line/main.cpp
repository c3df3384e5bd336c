// Entry point: the arguments after the program name, as the platform delivers them.
// On Windows the first element may be empty (the caller's command line starts with a
// blank); it is the program's name slot all the same and is skipped.
#include <vector>

#include "command_line/command_line.hpp"
#include "platform/process.hpp"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  n_zorbel::n_ntag::PrepareProcess();
  std::vector<n_zorbel::n_ntag::t_NativePath> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return n_zorbel::n_ntag::Run(args);
}
