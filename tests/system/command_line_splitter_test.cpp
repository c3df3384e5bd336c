#include "system/command_line_splitter.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace n_zorbel::n_system {
namespace {

struct t_SplitCase {
  const t_Char* line;
  std::vector<t_String> arguments;  // the program-name slot first
};

// The classic cases of the Windows argument rules (C runtime since 2008).
TEST(SplitCommandLine, FollowsTheWindowsArgumentRules) {
  const t_SplitCase cases[] = {
      {ZTEXT(""), {ZTEXT("")}},
      {ZTEXT(" a b"), {ZTEXT(""), ZTEXT("a"), ZTEXT("b")}},
      {ZTEXT("p \"abc\" d e"), {ZTEXT("p"), ZTEXT("abc"), ZTEXT("d"), ZTEXT("e")}},
      {ZTEXT("p a\\\\\\b d\"e f\"g h"), {ZTEXT("p"), ZTEXT("a\\\\\\b"), ZTEXT("de fg"), ZTEXT("h")}},
      {ZTEXT("p a\\\\\\\"b c d"), {ZTEXT("p"), ZTEXT("a\\\"b"), ZTEXT("c"), ZTEXT("d")}},
      {ZTEXT("p a\\\\\\\\\"b c\" d e"), {ZTEXT("p"), ZTEXT("a\\\\b c"), ZTEXT("d"), ZTEXT("e")}},
      {ZTEXT("p a\"b\"\" c d"), {ZTEXT("p"), ZTEXT("ab\" c d")}},
      {ZTEXT("p \"\" \"a\"\"\""), {ZTEXT("p"), ZTEXT(""), ZTEXT("a\"")}},
      {ZTEXT("p a\\\\ \"b\\\\\""), {ZTEXT("p"), ZTEXT("a\\\\"), ZTEXT("b\\")}},
      {ZTEXT("p \"open ended"), {ZTEXT("p"), ZTEXT("open ended")}},
      {ZTEXT("p\ta\t\t b  "), {ZTEXT("p"), ZTEXT("a"), ZTEXT("b")}},
      {ZTEXT("p a\rb\nc"), {ZTEXT("p"), ZTEXT("a\rb\nc")}},
      // The program name: quotes toggle, backslashes are plain characters.
      {ZTEXT("\"C:\\my dir\\p.exe\" x"), {ZTEXT("C:\\my dir\\p.exe"), ZTEXT("x")}},
      {ZTEXT("C:\\dir\\\"p q\" x"), {ZTEXT("C:\\dir\\p q"), ZTEXT("x")}},
      {ZTEXT("p\\\\ x"), {ZTEXT("p\\\\"), ZTEXT("x")}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << testing::PrintToString(t_String(c.line));
  }
}

}  // namespace
}  // namespace n_zorbel::n_system
