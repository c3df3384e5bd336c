#pragma once
// Bounded polling: what the program does on a timer, or waiting for a child's
// traces, done by a test without hanging the suite when it never comes.
#include <chrono>
#include <thread>

namespace n_zorbel::n_testing {

// Until `done` holds: `step`, then a `pause`; false when `limit` passed first.
template <typename t_Done, typename t_Step>
bool PollUntil(t_Done done, t_Step step, std::chrono::milliseconds pause, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    step();
    std::this_thread::sleep_for(pause);
  }
  return true;
}

}  // namespace n_zorbel::n_testing
