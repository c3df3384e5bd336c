#include "ntag_harness.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace n_zorbel::n_ntag::n_test {

namespace fs = std::filesystem;

std::string NtagPath() {
  const char* override = std::getenv("NTAG_UNDER_TEST");
  return override ? override : NTAG_BINARY;
}

t_RunResult RunNtag(const std::vector<std::string>& args) {
  std::vector<std::string> argv{NtagPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

int Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

std::uint64_t BytesWritten(const t_RunResult& faultRun) {
  const auto at = faultRun.err.find("written ");
  if (faultRun.exitCode != 0 || at == std::string::npos)
    throw std::runtime_error("fault build: " + faultRun.err);
  return std::stoull(faultRun.err.substr(at + 8));
}

t_HeldRun::t_HeldRun(const std::vector<std::string>& args, std::uint64_t after) {
  const std::string mark = m_control / "held";
  std::vector<std::string> argv{NTAG_FAULT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  ::setenv("NTAG_FAULT_AFTER", std::to_string(after).c_str(), 1);
  ::setenv("NTAG_FAULT_HOLD", mark.c_str(), 1);
  m_pid = Spawn(argv);
  ::unsetenv("NTAG_FAULT_AFTER");
  ::unsetenv("NTAG_FAULT_HOLD");
  // Until it holds, or ends without reaching the mark.
  for (int i = 0; i < 6000 && !m_holding; ++i) {
    m_holding = fs::exists(mark);
    int status;
    if (!m_holding && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    ::usleep(5000);
  }
}

t_HeldRun::~t_HeldRun() {
  if (m_pid > 0) Kill();
}

int t_HeldRun::Release() {
  fs::remove(m_control / "held");
  const int code = WaitFor(m_pid);
  m_pid = -1;
  return code;
}

void t_HeldRun::Kill() {
  ::kill(m_pid, SIGKILL);
  WaitFor(m_pid);
  m_pid = -1;
}

std::uint64_t InodeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

t_RunResult AtomicParsleyList(const std::string& path) { return RunProgram({"AtomicParsley", path, "-t"}); }

const char* ReaderName(t_Reader reader) {
  switch (reader) {
    case t_Reader::Ffprobe:
      return "ffprobe";
    case t_Reader::AtomicParsley:
      return "AtomicParsley";
    case t_Reader::Exiftool:
      return "exiftool";
    case t_Reader::Mediainfo:
      return "mediainfo";
    case t_Reader::Mutagen:
      return "mutagen";
  }
  return "?";
}

std::string ReaderView(t_Reader reader, const std::string& path) {
  t_RunResult r;
  switch (reader) {
    case t_Reader::Ffprobe:
      r = RunProgram({"ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "default", path});
      break;
    case t_Reader::AtomicParsley:
      r = AtomicParsleyList(path);
      break;
    case t_Reader::Exiftool:
      r = RunProgram({"exiftool", "-a", "-G1", "-S", path});
      break;
    case t_Reader::Mediainfo:
      r = RunProgram({"mediainfo", path});
      break;
    case t_Reader::Mutagen:
      // The system's Python, where Debian installs mutagen; the tags alone, as the box builder's
      // sample descriptions are too short for its stream info.
      r = RunProgram({"/usr/bin/python3", "-c",
                      "import sys\nfrom mutagen.mp4 import Atoms, MP4Tags\n"
                      "with open(sys.argv[1], 'rb') as f: print(MP4Tags(Atoms(f), f).pprint())",
                      path});
      break;
  }
  return r.exitCode == 0 ? r.out : std::string();
}

std::map<std::string, std::string> NtagTags(const std::string& path) {
  const t_RunResult r = RunNtag({"-list-meta", path});
  if (r.exitCode != 0) throw std::runtime_error("ntag -list-meta failed: " + r.err);
  std::map<std::string, std::string> tags;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find(" = ");
    if (eq == std::string::npos) continue;
    std::string& slot = tags[line.substr(0, eq)];
    slot += (slot.empty() ? "" : "|") + line.substr(eq + 3);
  }
  return tags;
}

}  // namespace n_zorbel::n_ntag::n_test
