#pragma once
// Programs of the build machine (ffmpeg, ffprobe, the tagger, ...) run as
// child processes, no shell involved. POSIX only.
#include <string>
#include <vector>

namespace n_zorbel::n_testing {

struct t_RunResult {
  int exitCode = -1;  // negative: killed by that signal
  std::string out, err;
};

// Runs a program found on PATH (or by path) with these arguments, its input /dev/null.
t_RunResult RunProgram(const std::vector<std::string>& argv);
// Waits for a child process; its exit code, negative: killed by that signal.
int WaitFor(int pid);

}  // namespace n_zorbel::n_testing
