#include "media.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

#include "file_bytes.hpp"
#include "run_program.hpp"

namespace n_zorbel::n_testing {
namespace {

namespace fs = std::filesystem;

// Clips and images are made once per build tree; bump the version when their recipe changes.
std::string CacheFolder() {
  const std::string folder = std::string(MIVORA_MEDIA_CACHE) + "/v2";
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
        // ffprobe writes text as UTF-8 and escapes only control characters this way.
        const unsigned long c = std::stoul(s.substr(i, 4), nullptr, 16);
        if (c > 0x7F) throw std::runtime_error("ffprobe escaped a character beyond ASCII: " + s.substr(i, 4));
        out += static_cast<char>(c);
        i += 4;
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
    case t_Clip::ThreeGpAssets:
      return "3gpAssets";
    case t_Clip::PhoneKeys:
      return "PhoneKeys";
    case t_Clip::UserDataKeys:
      return "UserDataKeys";
    case t_Clip::Short:
      return "Short";
    case t_Clip::ShortFaststart:
      return "ShortFaststart";
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
    const std::string video = "-f lavfi -i testsrc=size=64x48:rate=10 ";
    const std::string audio = "-f lavfi -i sine=frequency=440:sample_rate=8000 ";
    std::vector<std::string> a{"ffmpeg", "-v", "error", "-y"};
    // The words of `line` split at blanks, then `more` as they are: paths and values with blanks.
    auto add = [&](const std::string& line, std::initializer_list<std::string> more = {}) {
      std::istringstream words(line);
      for (std::string word; words >> word;) a.push_back(word);
      a.insert(a.end(), more);
    };
    const std::string folder = CacheFolder();
    std::string format = "mp4";
    switch (clip) {
      case t_Clip::MoovAtEnd:
      case t_Clip::Faststart:
      case t_Clip::NoTags:
        add(video + audio + "-t 1 -c:v libx264 -c:a aac");
        if (clip == t_Clip::Faststart) add("-movflags +faststart");
        if (clip == t_Clip::NoTags) add("-fflags +bitexact -map_metadata -1");
        break;
      case t_Clip::TaggedCover: {
        const std::string cover = folder + "/cover-for-clip.jpg";
        MakeImage("jpg", cover, 48);
        add(video + audio + "-i", {cover});
        add("-map 0 -map 1 -map 2 -t 1 -c:v:0 libx264 -c:v:1 copy -c:a aac -disposition:v:1 attached_pic",
            {"-metadata", "title=Old title", "-metadata", "artist=Old artist", "-metadata",
             "genre=Old genre"});
        add("-movflags +faststart");
        break;
      }
      case t_Clip::AudioOnly:
        add(audio + "-t 1 -c:a aac");
        break;
      case t_Clip::ManyTracks:
        WriteFile(folder + "/subs.srt", "1\n00:00:00,000 --> 00:00:00,500\nhello\n");
        WriteFile(folder + "/chapters.txt",
                  ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n"
                  "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n");
        add(video + audio + "-f lavfi -i sine=frequency=660:sample_rate=8000 -i",
            {folder + "/subs.srt", "-i", folder + "/chapters.txt"});
        add("-map 0 -map 1 -map 2 -map 3 -map_chapters 4 -t 1 -c:v libx264 -c:a aac -c:s mov_text");
        break;
      case t_Clip::Fragmented:
        add(video + audio + "-t 2 -g 5 -c:v libx264 -c:a aac -movflags frag_keyframe+empty_moov");
        break;
      case t_Clip::MovUserData:
      case t_Clip::ThreeGpAssets:
        add(video + "-t 1 -c:v mpeg4", {"-metadata", "title=Old title", "-metadata", "comment=Old comment",
                                        "-metadata", "album=Kept album"});
        format = clip == t_Clip::MovUserData ? "mov" : "3gp";
        break;
      case t_Clip::PhoneKeys:
        add(video + "-t 1 -c:v mpeg4");
        break;
      case t_Clip::UserDataKeys:
        add(video + "-t 1 -c:v mpeg4 -movflags use_metadata_tags",
            {"-metadata", "title=Old title", "-metadata", "comment=Old comment", "-metadata", "date=1871",
             "-metadata", "foo=Kept foo"});
        break;
      case t_Clip::Short:
      case t_Clip::ShortFaststart:
        add("-f lavfi -i testsrc=size=64x64:rate=10 -t 0.3 -c:v mpeg4");
        if (clip == t_Clip::ShortFaststart) add("-movflags +faststart");
        break;
    }
    add("-f " + format, {temp});
    Must(RunProgram(a), "ffmpeg " + ClipName(clip));
    if (clip == t_Clip::PhoneKeys) {
      Must(RunProgram({"exiftool", "-q", "-overwrite_original", "-Keys:Title=Old title",
                       "-Keys:Comment=Old comment", "-Keys:Year=1871", "-Keys:Make=Kept make",
                       "-Keys:CreationDate=2019:05:04 10:11:12+02:00", temp}),
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

std::vector<t_Stream> ProbeStreams(const std::string& path) {
  const t_RunResult r =
      RunProgram({"ffprobe", "-v", "error", "-show_entries",
                  "stream=index,codec_name:stream_disposition=attached_pic", "-of", "csv=p=0", path});
  Must(r, "ffprobe streams");
  std::vector<t_Stream> streams;
  std::istringstream lines(r.out);
  // "index,codec,attached_pic"; a stream of no known codec may come without its name.
  for (std::string line; std::getline(lines, line);) {
    const auto first = line.find(','), last = line.rfind(',');
    if (first == std::string::npos) continue;
    streams.push_back({std::stoi(line.substr(0, first)),
                       first < last ? line.substr(first + 1, last - first - 1) : "",
                       line.substr(last + 1) == "1"});
  }
  return streams;
}

std::vector<std::string> ProbeAttachedPictures(const std::string& path) {
  std::vector<std::string> pictures;
  for (const t_Stream& stream : ProbeStreams(path))
    if (stream.attachedPicture) pictures.push_back(stream.codec);
  return pictures;
}

std::vector<std::string> ProbePacketHashes(const std::string& path) {
  const t_RunResult r = RunProgram({"ffprobe", "-v", "error", "-show_data_hash", "SHA256", "-show_entries",
                                    "packet=stream_index,size,data_hash", "-of", "csv=p=0", path});
  Must(r, "ffprobe packets");
  // A cover shows up as one more stream with one packet; it is not media.
  std::vector<std::string> covers;
  for (const t_Stream& stream : ProbeStreams(path))
    if (stream.attachedPicture) covers.push_back(std::to_string(stream.index) + ",");
  std::vector<std::string> hashes;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (std::none_of(covers.begin(), covers.end(), [&](const std::string& c) { return line.starts_with(c); }))
      hashes.push_back(line);
  }
  return hashes;
}

std::string DecodeErrors(const std::string& path) {
  const t_RunResult r = RunProgram({"ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"});
  return r.exitCode == 0 ? r.err : "exit " + std::to_string(r.exitCode) + ": " + r.err;
}

}  // namespace n_zorbel::n_testing
