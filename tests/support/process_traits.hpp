#pragma once
// What child_tool reports about how it was started, one platform each.
#include <string>

namespace n_zorbel::n_testing {

// POSIX: "policy=idle nice=19 ioclass=idle stdin=/dev/null" for a tool
// started as the runner should; Windows: "priority=idle show=hide", with
// " host=wine" appended under Wine.
std::string DescribeProcess();

unsigned long CurrentProcessId();

// Waits up to timeoutMs until process `pid` (a child of this process on
// POSIX) has ended, without collecting it, so a test can then check that one
// zero time-out poll collects it however slowly an idle-priority child ran.
bool WaitUntilEnded(unsigned long pid, unsigned timeoutMs);

}  // namespace n_zorbel::n_testing
