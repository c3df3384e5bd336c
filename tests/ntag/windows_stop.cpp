// Starts ntag.exe as Mivora does and stops it as Mivora's Stop does (the child process's
// destruction), DELAY_MS after its start; prints the exit code ntag ended with.
// usage: ntag_stop APP COMMAND-LINE-FILE DELAY_MS   (the file holds the line as UTF-8)
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "system/child_process.hpp"
#include "system/utf8.hpp"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 100;
  std::ifstream in(argv[2], std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::u16string line = n_zorbel::Utf8ToUtf16(bytes.str());
  auto child =
      std::make_unique<n_zorbel::n_system::t_ChildProcess>(argv[1], std::wstring(line.begin(), line.end()));
  Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  child->Finish(0, false);
  if (child->Finished()) {
    std::printf("finished %lu\n", static_cast<unsigned long>(child->ExitCode()));
    return 0;
  }
  child.reset();
  std::printf("stopped\n");
  return 0;
}
