#pragma once
// Shared helpers of the ntag tests: a scratch folder, child processes (ntag, ffmpeg,
// ffprobe, AtomicParsley) and the checks made with tools we did not write.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace n_zorbel::n_ntag::n_test {

struct t_RunResult {
  int exitCode = -1;  // negative: killed by that signal
  std::string out, err;
};

// Runs a program found on PATH (or by path) with these arguments; no shell involved.
t_RunResult RunProgram(const std::vector<std::string>& argv);
// Runs the ntag under test.
t_RunResult RunNtag(const std::vector<std::string>& args);
std::string NtagPath();
// Starts a program in the background, its stderr discarded; its process id.
int Spawn(const std::vector<std::string>& argv);
// Waits for a process started by Spawn; its exit code, negative: killed by that signal.
int WaitFor(int pid);
// Bytes that a complete run of the fault build writes for `args` ("written N" on its stderr).
std::uint64_t BytesWritten(const t_RunResult& faultRun);

// A fresh folder per test, removed with everything in it at the end.
class t_Scratch {
 public:
  t_Scratch();
  ~t_Scratch();
  t_Scratch(const t_Scratch&) = delete;
  t_Scratch& operator=(const t_Scratch&) = delete;
  std::string Path(const std::string& name) const { return m_folder + "/" + name; }
  const std::string& Folder() const { return m_folder; }
  std::vector<std::string> Names() const;

 private:
  std::string m_folder;
};

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
  // Lets it go on; its exit code.
  int Release();
  // Ends it by SIGKILL.
  void Kill();

 private:
  t_Scratch m_control;
  int m_pid = -1;
  bool m_holding = false;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
void CopyFile(const std::string& from, const std::string& to);
std::uint64_t InodeOf(const std::string& path);

// Videos made by ffmpeg once per test run and copied for each test.
enum class t_Clip {
  MoovAtEnd,    // ffmpeg's default: mdat, then moov
  Faststart,    // moov before mdat
  TaggedCover,  // faststart with tags and a cover
  AudioOnly,    // AAC in MP4
  ManyTracks,   // video, two audio tracks and a subtitle track
  Fragmented,   // fragments after an empty moov
  NoTags,       // no udta at all
  // Old title and comment, and an album (a make for Keys), in another store than ilst:
  MovUserData,  // QuickTime text items in udta (ffmpeg's .mov)
  k3gpAssets,   // 3GPP asset boxes in udta (ffmpeg's .3gp)
  Keys,         // QuickTime Keys in moov/meta (written by exiftool)
};
std::string ClipName(t_Clip clip);
// Copies the clip to `path`.
void MakeClip(t_Clip clip, const std::string& path);
// Small images made by ffmpeg, cached like the clips.
void MakeImage(const std::string& format, const std::string& path, int size = 64);

// Tags as ffprobe reads them (format tags, keys in lower case).
std::map<std::string, std::string> ProbeTags(const std::string& path);
// Codec names of the attached pictures ffprobe finds.
std::vector<std::string> ProbeAttachedPictures(const std::string& path);
// One hash per media packet, in order, as ffprobe computes them from the packet bytes.
std::vector<std::string> ProbePacketHashes(const std::string& path);
// Whole decode by ffmpeg: empty when clean, otherwise what ffmpeg said.
std::string DecodeErrors(const std::string& path);
// AtomicParsley -t output ("Atom "(c)nam" contains: ..." lines).
t_RunResult AtomicParsleyList(const std::string& path);

// Independent readers of tags, and everything each shows about a file (empty when it fails).
enum class t_Reader { Ffprobe, AtomicParsley, Exiftool, Mediainfo, Mutagen };
const char* ReaderName(t_Reader reader);
std::string ReaderView(t_Reader reader, const std::string& path);

// ntag -list-meta as a map from name to value (covers under "cover", joined by "|").
std::map<std::string, std::string> NtagTags(const std::string& path);

// Splits a command line by the rules of the Windows C runtime.
std::vector<std::string> SplitWindowsCommandLine(const std::string& line);

}  // namespace n_zorbel::n_ntag::n_test
