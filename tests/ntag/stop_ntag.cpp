// Starts ntag as Mivora does and stops it as Mivora's Stop does (the child process's
// destruction), DELAY_MS after its start; prints how it ended.
// usage: stop_ntag APP COMMAND-LINE-FILE DELAY_MS   (the file holds the line as UTF-8)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "system/child_process.hpp"
#include "system/text.hpp"

namespace {

int Run(const n_zorbel::t_String& app, const n_zorbel::t_String& lineFile, const n_zorbel::t_String& delay) {
  std::ifstream in(std::filesystem::path(lineFile), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  auto child = std::make_unique<n_zorbel::n_system::t_ChildProcess>(app, n_zorbel::FromUtf8(bytes.str()));
  std::this_thread::sleep_for(std::chrono::milliseconds(std::stoul(delay)));
  child->Finish(0, false);
  if (child->Finished()) {
    std::printf("finished %lu\n", static_cast<unsigned long>(child->ExitCode()));
    return 0;
  }
  child.reset();
  std::printf("stopped\n");
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  return argc == 4 ? Run(argv[1], argv[2], argv[3]) : 100;
}
