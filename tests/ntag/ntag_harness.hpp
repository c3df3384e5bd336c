#pragma once
// Shared helpers of the ntag tests: child processes (ntag, ffmpeg,
// ffprobe, AtomicParsley) and the checks made with tools we did not write.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/file_bytes.hpp"
#include "support/media.hpp"
#include "support/run_program.hpp"
#include "support/scratch_folder.hpp"

namespace n_zorbel::n_ntag::n_test {

// Clips, probes, files and child processes as all the suites share them.
using namespace n_testing;

// Runs the ntag under test.
t_RunResult RunNtag(const std::vector<std::string>& args);
std::string NtagPath();
// Starts a program in the background, its stderr discarded; its process id.
int Spawn(const std::vector<std::string>& argv);
// Bytes that a complete run of the fault build writes for `args` ("written N" on its stderr).
std::uint64_t BytesWritten(const t_RunResult& faultRun);

// The fault build of ntag started on `args` and held at the write that passes `after` bytes,
// in the middle of its work, until it is released or killed.
class t_HeldRun {
 public:
  t_HeldRun(const std::vector<std::string>& args, std::uint64_t after);
  ~t_HeldRun();
  t_HeldRun(const t_HeldRun&) = delete;
  t_HeldRun& operator=(const t_HeldRun&) = delete;
  // Whether it reached the mark and waits there.
  bool Holding() const { return m_holding; }
  int Pid() const { return m_pid; }
  // Lets it go on; its exit code.
  int Release();
  // Ends it by SIGKILL.
  void Kill();

 private:
  t_ScratchFolder m_control;
  int m_pid = -1;
  bool m_holding = false;
};

std::uint64_t InodeOf(const std::string& path);

// AtomicParsley -t output ("Atom "(c)nam" contains: ..." lines).
t_RunResult AtomicParsleyList(const std::string& path);

// Independent readers of tags, and everything each shows about a file (empty when it fails).
enum class t_Reader { Ffprobe, AtomicParsley, Exiftool, Mediainfo, Mutagen };
const char* ReaderName(t_Reader reader);
std::string ReaderView(t_Reader reader, const std::string& path);

// ntag -list-meta as a map from name to value (covers under "cover", joined by "|").
std::map<std::string, std::string> NtagTags(const std::string& path);

}  // namespace n_zorbel::n_ntag::n_test
