// The command line as Mivora and people use it: exit codes, messages, and the file
// left byte for byte as it was whenever ntag says no.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <utility>

#include "ntag_harness.hpp"
#include "system/command_line_splitter.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

// A failure ends in one line on stderr, starting with the program's name.
void ExpectOneLineError(const t_RunResult& r) {
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err.rfind("ntag: ", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

struct t_RefusalCase {
  const char* name;
  // "@V" is the video, "@C" a JPEG cover, "@T" a text file, "@F" a FIFO, "@J" and "@P" a JPEG
  // and a PNG with valid signatures but damaged bodies
  std::vector<std::string> args;
  int exitCode;
};

class RefusalTest : public ::testing::TestWithParam<t_RefusalCase> {};

TEST_P(RefusalTest, ExitsWithItsCodeAndLeavesTheVideoAlone) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(t_Clip::Faststart, video);
  MakeImage("jpg", scratch / "cover.jpg");
  WriteFile(scratch / "text.txt", "just some words, not an image\n");
  ASSERT_EQ(::mkfifo((scratch / "fifo.mp4").c_str(), 0600), 0);
  std::string jpeg = ReadFile(scratch / "cover.jpg");
  std::fill(jpeg.begin() + 4, jpeg.end(), '\x5A');
  WriteFile(scratch / "bad.jpg", jpeg);
  MakeImage("png", scratch / "bad.png");
  WriteFile(scratch / "bad.png", ReadFile(scratch / "bad.png").substr(0, 100));
  const std::string before = ReadFile(video);
  // Bounded, so a refusal that waits forever fails instead of hanging the suite.
  std::vector<std::string> args{"timeout", "10", NtagPath()};
  for (std::string a : GetParam().args) {
    for (const auto& [mark, path] :
         std::vector<std::pair<std::string, std::string>>{{"@V", video},
                                                          {"@C", scratch / "cover.jpg"},
                                                          {"@T", scratch / "text.txt"},
                                                          {"@J", scratch / "bad.jpg"},
                                                          {"@P", scratch / "bad.png"},
                                                          {"@D", scratch.Fs()},
                                                          {"@F", scratch / "fifo.mp4"},
                                                          {"@M", scratch / "missing.mp4"},
                                                          {"@O", scratch / "out"}}) {
      if (const auto at = a.find(mark); at != std::string::npos) a.replace(at, 2, path);
    }
    args.push_back(a);
  }
  const t_RunResult r = RunProgram(args);
  EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
  ExpectOneLineError(r);
  EXPECT_TRUE(ReadFile(video) == before);
  EXPECT_EQ(scratch.Names().size(), 6u) << "no file left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    ::testing::Values(t_RefusalCase{"NoArguments", {}, 1}, t_RefusalCase{"OnlyOptions", {"-meta:title=x"}, 1},
                      t_RefusalCase{"UnknownKey", {"-meta:rating=5", "@V"}, 1},
                      t_RefusalCase{"KeyWithoutEquals", {"-meta:title", "@V"}, 1},
                      t_RefusalCase{"UnknownOption", {"-frobnicate", "@V"}, 1},
                      t_RefusalCase{"TwoVideos", {"@V", "@V"}, 1},
                      t_RefusalCase{"BackCoverRemoval", {"-remove-cover:back", "@V"}, 1},
                      t_RefusalCase{"BackCoverAdded", {"-add-cover:back:@C", "@V"}, 1},
                      t_RefusalCase{"CoverWithoutPath", {"-add-cover:front:", "@V"}, 1},
                      t_RefusalCase{"TrackNotNumber", {"-meta:track=two", "@V"}, 1},
                      t_RefusalCase{"TrackTooLarge", {"-meta:track=70000", "@V"}, 1},
                      t_RefusalCase{"InvalidUtf8Value", {"-meta:title=\xC3\x28", "@V"}, 1},
                      t_RefusalCase{"VideoMissing", {"-meta:title=x", "@M"}, 2},
                      t_RefusalCase{"VideoIsFolder", {"-meta:title=x", "@D"}, 2},
                      t_RefusalCase{"VideoIsFifo", {"-meta:title=x", "@F"}, 2},
                      t_RefusalCase{"ListFifo", {"-list-meta", "@F"}, 2},
                      t_RefusalCase{"VideoIsText", {"-meta:title=x", "@T"}, 3},
                      t_RefusalCase{"ListTextFile", {"-list-meta", "@T"}, 3},
                      t_RefusalCase{"CoverMissing", {"-add-cover:front:@M", "@V"}, 5},
                      t_RefusalCase{"CoverNotImage", {"-add-cover:front:@T", "@V"}, 5},
                      t_RefusalCase{"CoverIsFolder", {"-add-cover:front:@D", "@V"}, 5},
                      t_RefusalCase{"CoverIsFifo", {"-add-cover:front:@F", "@V"}, 5},
                      t_RefusalCase{"CoverJpegBodyDamaged", {"-add-cover:front:@J", "@V"}, 5},
                      t_RefusalCase{"CoverPngCutShort", {"-add-cover:front:@P", "@V"}, 5},
                      t_RefusalCase{"ExtractWithoutNumber", {"-extract-cover:x:@O", "@V"}, 1},
                      t_RefusalCase{"ExtractWithoutPath", {"-extract-cover:1:", "@V"}, 1},
                      t_RefusalCase{"ExtractWithAnEdit", {"-extract-cover:1:@O", "-meta:title=x", "@V"}, 1},
                      t_RefusalCase{"ExtractAbsentCover", {"-extract-cover:1:@O", "@V"}, 5},
                      t_RefusalCase{"ExtractFromText", {"-extract-cover:1:@O", "@T"}, 3},
                      t_RefusalCase{"OutputOverAFile", {"-list-meta:machine", "-output:@T", "@V"}, 6},
                      t_RefusalCase{"OutputOfAFailedList", {"-list-meta:machine", "-output:@O", "@M"}, 2}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CliTest, HelpAndVersionPrintAndSucceed) {
  const t_RunResult help = RunNtag({"-help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* word :
       {"-meta:KEY=VALUE", "-remove-cover:all", "-add-cover:front:PATH", "-list-meta", "-list-meta:machine",
        "-extract-cover:N:PATH", "-output:PATH", "album_artist", "exit codes"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  const t_RunResult version = RunNtag({"-version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("ntag ", 0), 0u);
}

// Whichever way another program locks the video, flock or fcntl record locks.
TEST(CliTest, FileHeldByAnotherWriterIsRefusedUntouched) {
  const auto fcntlLock = [](int fd, short type) {
    struct flock whole {};
    whole.l_type = type;
    whole.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &whole);
  };
  const std::vector<std::pair<const char*, std::function<int(int)>>> locks{
      {"flock", [](int fd) { return ::flock(fd, LOCK_EX); }},
      {"fcntl write lock", [&](int fd) { return fcntlLock(fd, F_WRLCK); }},
      {"fcntl read lock", [&](int fd) { return fcntlLock(fd, F_RDLCK); }},
  };
  for (const auto& [name, lock] : locks) {
    SCOPED_TRACE(name);
    t_ScratchFolder scratch;
    const std::string video = scratch / "clip.mp4";
    MakeClip(t_Clip::Faststart, video);
    const std::string before = ReadFile(video);
    const int fd = ::open(video.c_str(), O_RDWR);
    ASSERT_EQ(lock(fd), 0);
    const t_RunResult r = RunNtag({"-meta:title=Busy", video});
    ::close(fd);  // before reading the file again, which would drop an fcntl lock anyway
    EXPECT_EQ(r.exitCode, 10);
    ExpectOneLineError(r);
    EXPECT_NE(r.err.find("in use"), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(video) == before);
  }
}

// The command lines Mivora builds, split by the Windows rules the tool sees them through.
TEST(CliTest, MivoraCommandLinesGiveTheirTags) {
  t_ScratchFolder scratch;
  const std::string one = scratch / "one.mp4", two = scratch / "two.mp4", cover = scratch / "front.jpg";
  MakeClip(t_Clip::TaggedCover, one);
  MakeClip(t_Clip::TaggedCover, two);
  MakeImage("jpg", cover);
  auto run = [](const std::string& line) {
    std::vector<std::string> args = n_system::SplitCommandLine(line);
    EXPECT_EQ(args.front(), "") << "the line starts with a blank, so the name slot is empty";
    args.erase(args.begin());
    return RunNtag(args);
  };
  t_RunResult r =
      run(" -meta:title=\"Blue Sky\" -meta:artist=\"Duv Ize\" -meta:year=\"2016\" -meta:genre=\"MMV\" "
          "-meta:comment=\"Fan edit\" -remove-cover:all -add-cover:front:\"" +
          cover + "\" \"" + one + "\"");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto tags = ProbeTags(one);
  EXPECT_EQ(tags["title"], "Blue Sky");
  EXPECT_EQ(tags["artist"], "Duv Ize");
  EXPECT_EQ(tags["date"], "2016");
  EXPECT_EQ(tags["genre"], "MMV");
  EXPECT_EQ(tags["comment"], "Fan edit");
  EXPECT_EQ(ProbeAttachedPictures(one), std::vector<std::string>{"mjpeg"});

  r = run(
      " -meta:title=\"He said 'hi'\" -meta:artist=\"\" -meta:year=\"\" -meta:genre=\"\" -meta:comment=\"\" "
      "-remove-cover:all \"" +
      two + "\"");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  tags = ProbeTags(two);
  EXPECT_EQ(tags["title"], "He said 'hi'");
  EXPECT_EQ(tags.count("artist") + tags.count("genre") + tags.count("date") + tags.count("comment"), 0u);
  EXPECT_TRUE(ProbeAttachedPictures(two).empty());

  r = run(" -meta:artist=\"Duv Ize\" \"" + one + "\"");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  tags = ProbeTags(one);
  EXPECT_EQ(tags["title"], "Blue Sky") << "untouched keys stay";
  EXPECT_EQ(tags["artist"], "Duv Ize");
  EXPECT_EQ(ProbeAttachedPictures(one).size(), 1u);
}

TEST(CliTest, ListsTagsAndCoversAfterAnEditInOneRun) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(t_Clip::Faststart, video);
  MakeImage("png", scratch / "c.png");
  const t_RunResult r =
      RunNtag({video, "-meta:track=3/12", "-list-meta", "-meta:disc=1", "-meta:comment=a\\b\nc",
               "-add-cover:front:" + scratch / "c.png", "-meta:album_artist=Various"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("track = 3/12\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("disc = 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("comment = a\\\\b\\nc\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("album_artist = Various\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("cover = front, png, "), std::string::npos) << r.out;
  const auto tags = ProbeTags(video);
  EXPECT_EQ(tags.at("track"), "3/12");
  EXPECT_EQ(tags.at("comment"), "a\\b\nc");
}

TEST(CliTest, LastValueOfAKeyWinsAndEmptyRemoves) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(t_Clip::TaggedCover, video);
  ASSERT_EQ(RunNtag({"-meta:title=First", "-meta:TITLE=Second", "-meta:artist=", video}).exitCode, 0);
  const auto tags = ProbeTags(video);
  EXPECT_EQ(tags.at("title"), "Second");
  EXPECT_EQ(tags.count("artist"), 0u);
  EXPECT_EQ(tags.at("genre"), "Old genre");
}

TEST(CliTest, NothingToChangeLeavesTheFileAsItWas) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(t_Clip::TaggedCover, video);
  const std::string before = ReadFile(video);
  const t_RunResult r = RunNtag({"-meta:title=Old title", "-meta:album=", video});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(ReadFile(video) == before);
}

// The machine listing's fields, unescaped: what a program reading it gets.
std::vector<std::vector<std::string>> MachineLines(const std::string& listing) {
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> fields{""};
  for (std::size_t i = 0; i < listing.size(); ++i) {
    const char c = listing[i];
    if (c == '\n') {
      lines.push_back(std::exchange(fields, {""}));
    } else if (c == '\t') {
      fields.emplace_back();
    } else if (c != '\\') {
      fields.back() += c;
    } else if (const char e = listing[++i]; e == 'x') {
      fields.back() += static_cast<char>(std::stoi(listing.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      fields.back() += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
    }
  }
  return lines;
}

TEST(CliTest, MachineListingGivesEveryValueWhole) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  // ffmpeg writes bytes that are no UTF-8 as they come; ntag itself takes only UTF-8.
  ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=5", "-t", "1",
                        "-c:v", "mpeg4", "-metadata", "album=no\xFF\xC3utf-8", video})
                .exitCode,
            0);
  MakeImage("png", scratch / "c.png");
  const std::string values[] = {"Audio: a\rVideo: v\rComment: one\r\ntwo", "tab\tback\\slash\\",
                                std::string(32767, 'x') + "\x01\x7F", "Жж 🎬 = \\x41"};
  const char* keys[] = {"comment", "title", "artist", "genre"};
  std::vector<std::string> args{"-add-cover:front:" + scratch / "c.png", video};
  for (std::size_t i = 0; i < std::size(values); ++i)
    args.push_back(std::string("-meta:") + keys[i] + "=" + values[i]);
  ASSERT_EQ(RunNtag(args).exitCode, 0);
  const t_RunResult r = RunNtag({"-list-meta:machine", video, "-output:" + scratch / "list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const auto lines = MachineLines(ReadFile(scratch / "list"));
  std::map<std::string, std::string> texts;
  for (const auto& fields : lines)
    if (fields[0] == "text" && fields.size() == 3) texts[fields[1]] = fields[2];
  for (std::size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(texts[keys[i]], values[i]) << keys[i];
  EXPECT_EQ(texts["album"], "no\xFF\xC3utf-8");
  const std::vector<std::string> cover{"cover", "1", "png",
                                       std::to_string(ReadFile(scratch / "c.png").size())};
  EXPECT_EQ(lines.back(), cover);
}

TEST(CliTest, ExtractsACoverIntoANewFileOnly) {
  t_ScratchFolder scratch;
  const std::string video = scratch / "clip.mp4";
  MakeClip(t_Clip::Faststart, video);
  MakeImage("jpg", scratch / "a.jpg");
  MakeImage("png", scratch / "b.png");
  ASSERT_EQ(RunNtag({video, "-add-cover:front:" + scratch / "a.jpg", "-add-cover:front:" + scratch / "b.png"})
                .exitCode,
            0);
  ASSERT_EQ(RunNtag({"-extract-cover:2:" + scratch / "out.png", video}).exitCode, 0);
  EXPECT_EQ(ReadFile(scratch / "out.png"), ReadFile(scratch / "b.png"));
  // Never over a file, nor through a link, dangling or not.
  WriteFile(scratch / "target", "keep");
  std::filesystem::create_symlink(scratch / "target", scratch / "link");
  std::filesystem::create_symlink(scratch / "nowhere", scratch / "dangling");
  for (const char* name : {"out.png", "link", "dangling", "target"}) {
    const t_RunResult r = RunNtag({"-extract-cover:1:" + scratch / name, video});
    EXPECT_EQ(r.exitCode, 6) << name;
    ExpectOneLineError(r);
  }
  EXPECT_EQ(ReadFile(scratch / "target"), "keep");
  EXPECT_EQ(ReadFile(scratch / "out.png"), ReadFile(scratch / "b.png"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "nowhere"));
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
