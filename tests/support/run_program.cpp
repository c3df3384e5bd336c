#include "run_program.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "file_bytes.hpp"

extern char** environ;

namespace n_zorbel::n_testing {

t_RunResult RunProgram(const std::vector<std::string>& argv) {
  char outName[] = "/tmp/mivora-test-out-XXXXXX";
  char errName[] = "/tmp/mivora-test-err-XXXXXX";
  const int outFd = ::mkstemp(outName);
  const int errFd = ::mkstemp(errName);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  t_RunResult result;
  if (rc == 0) {
    result.exitCode = WaitFor(pid);
  } else {
    result.err = "cannot start " + argv[0];
  }
  ::close(outFd);
  ::close(errFd);
  result.out += ReadFile(outName);
  result.err += ReadFile(errName);
  ::unlink(outName);
  ::unlink(errName);
  return result;
}

int WaitFor(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

}  // namespace n_zorbel::n_testing
