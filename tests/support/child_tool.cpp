// child_tool COMMAND...: runs its commands in order, then exits with 0.
//   exit N           exits at once with N (decimal, or hexadecimal after 0x)
//   sleep MS         waits MS milliseconds
//   print TEXT       writes TEXT and a line end to stdout
//   write PATH TEXT  creates PATH holding TEXT (a marker the tests look for)
//   args PATH ...    writes every argument, argv[0] first, each as UTF-8
//                    followed by a NUL, to PATH, and ends with 0: what
//                    follows PATH is data, not commands
//   traits PATH      writes how the process was started (process_traits.hpp)
//   pid PATH         writes the process id in decimal
//   signal N         raises signal N
//   deaf N           ignores signal N from now on (a tool that does not stop when asked)
// A malformed command ends the tool with 64.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/process_traits.hpp"
#include "system/text.hpp"

namespace {

using n_zorbel::t_Char;
using n_zorbel::t_String;
using n_zorbel::ToUtf8;

constexpr int kUsageError = 64;

std::optional<std::uint32_t> ParseNumber(const t_String& text) {
  std::uint64_t value = 0;
  std::size_t i = 0;
  unsigned base = 10;
  if (text.size() > 2 && text[0] == ZTEXT('0') && (text[1] == ZTEXT('x') || text[1] == ZTEXT('X'))) {
    base = 16;
    i = 2;
  }
  if (i == text.size()) return std::nullopt;
  for (; i < text.size(); ++i) {
    const t_Char c = text[i];
    unsigned digit;
    if (c >= ZTEXT('0') && c <= ZTEXT('9'))
      digit = static_cast<unsigned>(c - ZTEXT('0'));
    else if (base == 16 && c >= ZTEXT('a') && c <= ZTEXT('f'))
      digit = static_cast<unsigned>(c - ZTEXT('a') + 10);
    else if (base == 16 && c >= ZTEXT('A') && c <= ZTEXT('F'))
      digit = static_cast<unsigned>(c - ZTEXT('A') + 10);
    else
      return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

bool WriteFile(const t_String& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << bytes;
  return static_cast<bool>(out.flush());
}

int Run(const std::vector<t_String>& argv) {
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const t_String& command = argv[i];
    const bool hasOperand = i + 1 < argv.size();
    if (command == ZTEXT("exit") && hasOperand) {
      const auto code = ParseNumber(argv[++i]);
      if (!code) return kUsageError;
      std::cout.flush();
      std::exit(static_cast<int>(*code));
    } else if (command == ZTEXT("sleep") && hasOperand) {
      const auto ms = ParseNumber(argv[++i]);
      if (!ms) return kUsageError;
      std::this_thread::sleep_for(std::chrono::milliseconds(*ms));
    } else if (command == ZTEXT("print") && hasOperand) {
      std::cout << ToUtf8(argv[++i]) << '\n';
    } else if (command == ZTEXT("write") && i + 2 < argv.size()) {
      const t_String& path = argv[++i];
      if (!WriteFile(path, ToUtf8(argv[++i]))) return kUsageError;
    } else if (command == ZTEXT("args") && hasOperand) {
      std::string all;
      for (const t_String& argument : argv) {
        all += ToUtf8(argument);
        all += '\0';
      }
      return WriteFile(argv[i + 1], all) ? 0 : kUsageError;
    } else if (command == ZTEXT("traits") && hasOperand) {
      if (!WriteFile(argv[++i], n_zorbel::n_testing::DescribeProcess())) return kUsageError;
    } else if (command == ZTEXT("pid") && hasOperand) {
      if (!WriteFile(argv[++i], std::to_string(n_zorbel::n_testing::CurrentProcessId()))) return kUsageError;
    } else if (command == ZTEXT("signal") && hasOperand) {
      const auto number = ParseNumber(argv[++i]);
      if (!number) return kUsageError;
      std::cout.flush();
      std::raise(static_cast<int>(*number));
    } else if (command == ZTEXT("deaf") && hasOperand) {
      const auto number = ParseNumber(argv[++i]);
      if (!number) return kUsageError;
      std::signal(static_cast<int>(*number), SIG_IGN);
    } else {
      std::cerr << "child_tool: unknown command " << ToUtf8(command) << '\n';
      return kUsageError;
    }
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  return Run(std::vector<t_String>(argv, argv + argc));
}
