#include "system/command_line_splitter.hpp"

namespace n_zorbel::n_system {

namespace {

constexpr t_Char kQuote = ZTEXT('"');
constexpr t_Char kBackslash = ZTEXT('\\');

bool IsBlank(t_Char c) { return c == ZTEXT(' ') || c == ZTEXT('\t'); }

}  // namespace

std::vector<t_String> SplitCommandLine(t_StringView line) {
  std::vector<t_String> arguments;
  std::size_t i = 0;
  const std::size_t end = line.size();

  // The program name: no backslash processing, quotes only toggle.
  t_String program;
  bool quoted = false;
  for (; i < end; ++i) {
    const t_Char c = line[i];
    if (c == kQuote) {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      break;
    } else {
      program.push_back(c);
    }
  }
  arguments.push_back(std::move(program));

  for (;;) {
    while (i < end && IsBlank(line[i])) ++i;
    if (i == end) break;

    t_String argument;
    quoted = false;
    while (i < end) {
      std::size_t backslashes = 0;
      while (i < end && line[i] == kBackslash) {
        ++backslashes;
        ++i;
      }
      if (i < end && line[i] == kQuote) {
        argument.append(backslashes / 2, kBackslash);
        if (backslashes % 2 == 1) {
          argument.push_back(kQuote);
        } else if (quoted && i + 1 < end && line[i + 1] == kQuote) {
          // "" inside quotes: one literal quote, quoting goes on.
          argument.push_back(kQuote);
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
        continue;
      }
      argument.append(backslashes, kBackslash);
      if (i == end || (!quoted && IsBlank(line[i]))) break;
      argument.push_back(line[i]);
      ++i;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace n_zorbel::n_system
