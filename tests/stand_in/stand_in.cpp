// A stand-in for the tagger, for tests that need a tool they can steer: it
// takes any command line and ends with 0, unless told otherwise through the
// environment (inherited from the program that starts it):
//   MIVORA_STAND_IN_LOG         append a record of this run to that file:
//                               "== run", then each argument on its own line
//   MIVORA_STAND_IN_EXIT        exit with this code instead of 0 ...
//   MIVORA_STAND_IN_FAIL_MATCH  ... but only if an argument contains this text
//   MIVORA_STAND_IN_SLEEP_MS    run this long first, appending "beat" to the
//                               log every 20 ms (so a test sees it is alive)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "system/text.hpp"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

void Append(const std::string& logPath, const std::string& text) {
  if (logPath.empty()) return;
  // C stdio rather than iostreams keeps the static Windows build small.
  std::FILE* log = std::fopen(logPath.c_str(), "ab");
  if (log == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), log);
  std::fclose(log);
}

int Run(const std::vector<std::string>& arguments) {
  const std::string logPath = Environment("MIVORA_STAND_IN_LOG");
  std::string record = "== run\n";
  for (const std::string& argument : arguments) record += argument + "\n";
  Append(logPath, record);

  const std::string sleep = Environment("MIVORA_STAND_IN_SLEEP_MS");
  if (!sleep.empty()) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(std::strtoul(sleep.c_str(), nullptr, 10));
    while (std::chrono::steady_clock::now() < end) {
      Append(logPath, "beat\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  const std::string exitCode = Environment("MIVORA_STAND_IN_EXIT");
  if (exitCode.empty()) return 0;
  const std::string match = Environment("MIVORA_STAND_IN_FAIL_MATCH");
  bool matched = match.empty();
  for (const std::string& argument : arguments)
    matched = matched || argument.find(match) != std::string::npos;
  return matched ? static_cast<int>(std::strtoul(exitCode.c_str(), nullptr, 0)) : 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(n_zorbel::ToUtf8(argv[i]));
  return Run(arguments);
}
#else
int main(int argc, char** argv) {
  // The runner hands the command line over as it is, so the first argument
  // is already the first option, as on Windows.
  return Run(std::vector<std::string>(argv, argv + argc));
}
#endif
