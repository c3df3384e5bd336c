#pragma once
// Splits one command line into arguments by the Windows rules (those of the
// C runtime and CommandLineToArgvW), so a tool started on POSIX receives the
// same arguments it would receive on Windows from the same line.
#include <vector>

#include "system/text.hpp"

namespace n_zorbel::n_system {

// The first element is the program-name slot: it ends at the first blank or
// tab outside quotes, quotes toggle and backslashes are plain characters; a
// line that starts with a blank gives an empty first element. Every later
// argument follows the backslash rule: 2n backslashes before a double quote
// give n backslashes and the quote toggles quoting; 2n+1 give n backslashes
// and a literal quote; backslashes elsewhere are literal; "" inside quotes is
// one literal quote. Only blank and tab separate arguments.
std::vector<t_String> SplitCommandLine(t_StringView line);

}  // namespace n_zorbel::n_system
