// Runs a command and writes "SECONDS BYTES_WRITTEN PEAK_KIB" to OUT: the wall time from its
// start to its exit (to the microsecond), the bytes it sent to storage (the kernel's count of
// 512-byte blocks) and its peak resident memory. Exits with the command's exit code.
//   usage: ntag_bench_measure OUT COMMAND [ARGS...]
// A timer around GNU time counts time's own start and has hundredths of a second: most of
// the run of a tool that takes a few milliseconds.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ntag_bench_measure OUT COMMAND [ARGS...]\n");
    return 2;
  }
  const double start = Now();
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[2], nullptr, nullptr, argv + 2, environ);
  if (error != 0) {
    std::fprintf(stderr, "ntag_bench_measure: cannot start %s: %s\n", argv[2], std::strerror(error));
    return 127;
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("ntag_bench_measure: wait4");
      return 2;
    }
  }
  const double seconds = Now() - start;
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 2;
  }
  std::fprintf(out, "%.6f %lld %ld\n", seconds, static_cast<long long>(usage.ru_oublock) * 512,
               usage.ru_maxrss);
  std::fclose(out);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
