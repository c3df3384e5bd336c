#include "ntag_harness.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "system/utf8.hpp"

extern char** environ;

namespace n_zorbel::n_ntag::n_test {
namespace {

namespace fs = std::filesystem;

// Clips and images (noisy, so they do not compress to nothing) are made once per build tree; bump the version
// when their recipe changes.
std::string CacheFolder() {
  const std::string folder = std::string(NTAG_TEST_CACHE) + "/v2";
  fs::create_directories(folder);
  return folder;
}

void Must(const t_RunResult& r, const std::string& what) {
  if (r.exitCode != 0) throw std::runtime_error(what + " failed: " + r.err);
}

// Makes `name` in the cache with `make(tempPath)` unless it is there; safe when two
// test processes race, because the result appears by rename.
std::string Cached(const std::string& name, const std::function<void(const std::string&)>& make) {
  const std::string path = CacheFolder() + "/" + name;
  if (fs::exists(path)) return path;
  const auto dot = name.find_last_of('.');
  const std::string temp =
      CacheFolder() + "/tmp" + std::to_string(::getpid()) + "-" + name.substr(0, dot) + name.substr(dot);
  make(temp);
  fs::rename(temp, path);
  return path;
}

std::string JsonUnescape(const std::string& s, std::size_t& i) {
  std::string out;
  ++i;  // opening quote
  while (i < s.size() && s[i] != '"') {
    if (s[i] != '\\') {
      out += s[i++];
      continue;
    }
    const char e = s[i + 1];
    i += 2;
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        // A character beyond U+FFFF comes as two escapes, a surrogate pair.
        std::u16string units(1, static_cast<char16_t>(std::stoul(s.substr(i, 4), nullptr, 16)));
        i += 4;
        if (units[0] >= 0xD800 && units[0] <= 0xDBFF && s.compare(i, 2, "\\u") == 0) {
          units += static_cast<char16_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16));
          i += 6;
        }
        out += Utf16ToUtf8(units);
        break;
      }
      default:
        out += e;
    }
  }
  ++i;
  return out;
}

}  // namespace

t_RunResult RunProgram(const std::vector<std::string>& argv) {
  char outName[] = "/tmp/ntag-test-out-XXXXXX";
  char errName[] = "/tmp/ntag-test-err-XXXXXX";
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

int WaitFor(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::uint64_t BytesWritten(const t_RunResult& faultRun) {
  const auto at = faultRun.err.find("written ");
  if (faultRun.exitCode != 0 || at == std::string::npos)
    throw std::runtime_error("fault build: " + faultRun.err);
  return std::stoull(faultRun.err.substr(at + 8));
}

t_HeldRun::t_HeldRun(const std::vector<std::string>& args, std::uint64_t after) {
  const std::string mark = m_control.Path("held");
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
  fs::remove(m_control.Path("held"));
  const int code = WaitFor(m_pid);
  m_pid = -1;
  return code;
}

void t_HeldRun::Kill() {
  ::kill(m_pid, SIGKILL);
  WaitFor(m_pid);
  m_pid = -1;
}

t_Scratch::t_Scratch() {
  std::string pattern = (fs::temp_directory_path() / "ntag-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  m_folder = pattern;
}

t_Scratch::~t_Scratch() {
  std::error_code ignored;
  fs::permissions(m_folder, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(m_folder, ignored);
}

std::vector<std::string> t_Scratch::Names() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(m_folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void CopyFile(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

std::uint64_t InodeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string ClipName(t_Clip clip) {
  switch (clip) {
    case t_Clip::MoovAtEnd:
      return "MoovAtEnd";
    case t_Clip::Faststart:
      return "Faststart";
    case t_Clip::TaggedCover:
      return "TaggedCover";
    case t_Clip::AudioOnly:
      return "AudioOnly";
    case t_Clip::ManyTracks:
      return "ManyTracks";
    case t_Clip::Fragmented:
      return "Fragmented";
    case t_Clip::NoTags:
      return "NoTags";
    case t_Clip::MovUserData:
      return "MovUserData";
    case t_Clip::k3gpAssets:
      return "3gpAssets";
    case t_Clip::Keys:
      return "Keys";
  }
  return "?";
}

void MakeImage(const std::string& format, const std::string& path, int size) {
  const std::string name = "image" + std::to_string(size) + "." + format;
  const std::string cached = Cached(name, [&](const std::string& temp) {
    const std::string s = std::to_string(size);
    Must(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                     "testsrc=size=" + s + "x" + s + ",noise=alls=80:allf=u", "-frames:v", "1", temp}),
         "ffmpeg image");
  });
  CopyFile(cached, path);
}

void MakeClip(t_Clip clip, const std::string& path) {
  const std::string cached = Cached(ClipName(clip) + ".mp4", [&](const std::string& temp) {
    const std::vector<std::string> video{"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10"};
    const std::vector<std::string> audio{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000"};
    std::vector<std::string> a{"ffmpeg", "-v", "error", "-y"};
    auto add = [&](const std::vector<std::string>& more) { a.insert(a.end(), more.begin(), more.end()); };
    const std::string folder = CacheFolder();
    std::string format = "mp4";
    switch (clip) {
      case t_Clip::MoovAtEnd:
      case t_Clip::Faststart:
      case t_Clip::NoTags:
        add(video), add(audio), add({"-t", "1", "-c:v", "libx264", "-c:a", "aac"});
        if (clip == t_Clip::Faststart) add({"-movflags", "+faststart"});
        if (clip == t_Clip::NoTags) add({"-fflags", "+bitexact", "-map_metadata", "-1"});
        break;
      case t_Clip::TaggedCover: {
        const std::string cover = folder + "/cover-for-clip.jpg";
        MakeImage("jpg", cover, 48);
        add(video), add(audio),
            add({"-i",
                 cover,
                 "-map",
                 "0",
                 "-map",
                 "1",
                 "-map",
                 "2",
                 "-t",
                 "1",
                 "-c:v:0",
                 "libx264",
                 "-c:v:1",
                 "copy",
                 "-c:a",
                 "aac",
                 "-disposition:v:1",
                 "attached_pic",
                 "-metadata",
                 "title=Old title",
                 "-metadata",
                 "artist=Old artist",
                 "-metadata",
                 "genre=Old genre",
                 "-movflags",
                 "+faststart"});
        break;
      }
      case t_Clip::AudioOnly:
        add(audio), add({"-t", "1", "-c:a", "aac"});
        break;
      case t_Clip::ManyTracks: {
        WriteFile(folder + "/subs.srt", "1\n00:00:00,000 --> 00:00:00,500\nhello\n");
        WriteFile(folder + "/chapters.txt",
                  ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n"
                  "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n");
        add(video), add(audio), add({"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=8000"});
        add({"-i",
             folder + "/subs.srt",
             "-i",
             folder + "/chapters.txt",
             "-map",
             "0",
             "-map",
             "1",
             "-map",
             "2",
             "-map",
             "3",
             "-map_chapters",
             "4",
             "-t",
             "1",
             "-c:v",
             "libx264",
             "-c:a",
             "aac",
             "-c:s",
             "mov_text"});
        break;
      }
      case t_Clip::Fragmented:
        add(video), add(audio),
            add({"-t", "2", "-g", "5", "-c:v", "libx264", "-c:a", "aac", "-movflags",
                 "frag_keyframe+empty_moov"});
        break;
      case t_Clip::MovUserData:
      case t_Clip::k3gpAssets:
        add(video), add({"-t", "1", "-c:v", "mpeg4", "-metadata", "title=Old title", "-metadata",
                         "comment=Old comment", "-metadata", "album=Kept album"});
        format = clip == t_Clip::MovUserData ? "mov" : "3gp";
        break;
      case t_Clip::Keys:
        add(video), add({"-t", "1", "-c:v", "mpeg4"});
        break;
    }
    add({"-f", format, temp});
    Must(RunProgram(a), "ffmpeg " + ClipName(clip));
    if (clip == t_Clip::Keys) {
      Must(RunProgram({"exiftool", "-q", "-overwrite_original", "-Keys:Title=Old title",
                       "-Keys:Comment=Old comment", "-Keys:Make=Kept make", temp}),
           "exiftool");
    }
  });
  CopyFile(cached, path);
}

std::map<std::string, std::string> ProbeTags(const std::string& path) {
  const t_RunResult r =
      RunProgram({"ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "json", path});
  Must(r, "ffprobe");
  std::map<std::string, std::string> tags;
  const auto start = r.out.find("\"tags\"");
  if (start == std::string::npos) return tags;
  std::size_t i = r.out.find('{', start) + 1;
  while (true) {
    i = r.out.find_first_of("\"}", i);
    if (i == std::string::npos || r.out[i] == '}') break;
    std::string key = JsonUnescape(r.out, i);
    i = r.out.find('"', r.out.find(':', i));
    std::string value = JsonUnescape(r.out, i);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    tags[key] = value;
  }
  return tags;
}

std::vector<std::string> ProbeAttachedPictures(const std::string& path) {
  const t_RunResult r =
      RunProgram({"ffprobe", "-v", "error", "-show_entries",
                  "stream=codec_name:stream_disposition=attached_pic", "-of", "csv=p=0", path});
  Must(r, "ffprobe");
  std::vector<std::string> pictures;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const auto comma = line.find(',');
    if (comma != std::string::npos && line.substr(comma + 1) == "1")
      pictures.push_back(line.substr(0, comma));
  }
  return pictures;
}

std::vector<std::string> ProbePacketHashes(const std::string& path) {
  const t_RunResult r = RunProgram({"ffprobe", "-v", "error", "-show_data_hash", "SHA256", "-show_entries",
                                    "packet=stream_index,size,data_hash", "-of", "csv=p=0", path});
  Must(r, "ffprobe packets");
  // A cover shows up as one more stream with one packet; it is not media.
  const t_RunResult streams =
      RunProgram({"ffprobe", "-v", "error", "-show_entries", "stream=index:stream_disposition=attached_pic",
                  "-of", "csv=p=0", path});
  Must(streams, "ffprobe streams");
  std::vector<std::string> covers;
  std::istringstream streamLines(streams.out);
  for (std::string line; std::getline(streamLines, line);) {
    if (line.size() > 2 && line.substr(line.size() - 2) == ",1")
      covers.push_back(line.substr(0, line.size() - 2) + ",");
  }
  std::vector<std::string> hashes;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    bool cover = false;
    for (const std::string& prefix : covers) cover = cover || line.rfind(prefix, 0) == 0;
    if (!cover) hashes.push_back(line);
  }
  return hashes;
}

std::string DecodeErrors(const std::string& path) {
  const t_RunResult r = RunProgram({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"});
  return r.exitCode == 0 ? r.err : "exit " + std::to_string(r.exitCode) + ": " + r.err;
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

std::vector<std::string> SplitWindowsCommandLine(const std::string& line) {
  // The C runtime's rules: the program name ends at the first blank (quotes only group);
  // then 2n backslashes + quote give n backslashes and toggle quoting, 2n+1 give n and a quote.
  std::vector<std::string> args;
  std::size_t i = 0;
  std::string name;
  bool quoted = false;
  for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else {
      name += line[i];
    }
  }
  args.push_back(name);
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') ++slashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2) {
          arg += '"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, '\\');
        if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace n_zorbel::n_ntag::n_test
