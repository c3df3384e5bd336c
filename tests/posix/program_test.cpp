// The Linux program end to end under Xvfb: started with real videos, a folder
// and a cover, driven with the keyboard through the window, closed through
// the window manager's close message or ended by SIGTERM. ffmpeg makes the
// videos; ffprobe judges the tags that the packed tagger wrote.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hostile_covers.hpp"
#include "support/file_bytes.hpp"
#include "support/media.hpp"
#include "support/scratch_folder.hpp"
#include "support/small_disk.hpp"
#include "x_close.hpp"

extern char** environ;

namespace n_zorbel::n_testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command; its standard output, or nothing when it failed.
std::optional<std::string> Shell(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  if (::pclose(pipe) != 0) return std::nullopt;
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

// The program under test: the build's own, or the one MIVORA_PROGRAM names
// (the installed package's, for its check).
std::string Program() {
  const char* chosen = std::getenv("MIVORA_PROGRAM");
  return chosen != nullptr && *chosen != '\0' ? chosen : MIVORA_PROGRAM;
}

// A child process with its own environment.
class t_Child {
 public:
  t_Child(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
          const posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> argv, envp;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    if (::posix_spawnp(&m_pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
  }
  ~t_Child() {
    if (m_pid > 0 && !m_status) {
      ::kill(m_pid, SIGKILL);
      Wait(5s);
    }
  }
  t_Child(const t_Child&) = delete;
  t_Child& operator=(const t_Child&) = delete;

  pid_t Pid() const noexcept { return m_pid; }
  // The exit code, or nothing if it is still running after `limit`; -1 for a signal.
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!m_status) {
      int status = 0;
      const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
      if (done == m_pid)
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      else if (std::chrono::steady_clock::now() > deadline)
        break;
      else
        std::this_thread::sleep_for(20ms);
    }
    return m_status;
  }

 private:
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

// The names that ps shows for the children of `parent`.
std::vector<std::string> ChildNames(pid_t parent) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold blanks and parentheses.
    const std::size_t open = line.find('('), close = line.rfind(')');
    char state = 0;
    int ppid = 0;
    if (open != std::string::npos && close != std::string::npos &&
        std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
      names.push_back(line.substr(open + 1, close - open - 1));
  }
  return names;
}

// A server of the test's own that says where it listens in one line through a
// pipe, whose descriptor replaces "{fd}" in its arguments.
class t_Server {
 public:
  explicit t_Server(std::vector<std::string> arguments) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    for (std::string& argument : arguments)
      if (const auto at = argument.find("{fd}"); at != std::string::npos) argument.replace(at, 4, std::to_string(fds[1]));
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addclose(&actions, fds[0]);
    m_server = std::make_unique<t_Child>(arguments, std::vector<std::string>{"PATH=" + std::string(std::getenv("PATH"))},
                                         &actions);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') m_line += c;
    ::close(fds[0]);
  }
  // Asked to end, the server removes its lock and socket; a killed one leaves them, and the
  // next test's server may then take a display that another still answers on.
  ~t_Server() {
    if (m_server && m_server->Pid() > 0) {
      ::kill(m_server->Pid(), SIGTERM);
      m_server->Wait(5s);
    }
  }
  t_Server(const t_Server&) = delete;
  t_Server& operator=(const t_Server&) = delete;
  const std::string& Line() const noexcept { return m_line; }

 private:
  std::unique_ptr<t_Child> m_server;
  std::string m_line;
};

// An X server on the first free display. Without -noreset it starts over each time its
// last client leaves, and a program started at that moment cannot connect.
struct t_Xvfb {
  t_Server server{{"Xvfb", "-displayfd", "{fd}", "-screen", "0", "1280x900x24", "-nolisten", "tcp", "-noreset"}};
  std::string Display() const { return server.Line().empty() ? "" : ":" + server.Line(); }
};

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(xvfb.Display().empty()) << "Xvfb did not start";
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
  }

  std::vector<std::string> Environment() const {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string variable = *entry;
      for (const char* dropped :
           {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=", "QT_QPA_PLATFORM=", "LANG=", "LANGUAGE=",
            "LC_ALL=", "LC_MESSAGES=", "DBUS_SESSION_BUS_ADDRESS=", "AT_SPI_BUS_ADDRESS="})
        if (variable.starts_with(dropped)) goto skip;
      environment.push_back(variable);
    skip:;
    }
    environment.push_back("DISPLAY=" + xvfb.Display());
    // Without a runtime folder the lock and the workspace go to the shared one.
    environment.push_back(sharedTemp.empty() ? "XDG_RUNTIME_DIR=" + runtime : "TMPDIR=" + sharedTemp);
    environment.push_back("LANG=C.UTF-8");
    environment.push_back("ASAN_OPTIONS=detect_leaks=0");
    // Without a bus of the test's own, none: the launcher's progress goes
    // nowhere, and no bus is started on the test's display.
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" +
                          (busAddress.empty() ? "unix:path=" + ToUtf8(scratch / "no-bus") : busAddress));
    return environment;
  }

  std::unique_ptr<t_Child> Start(std::vector<std::string> paths) {
    paths.insert(paths.begin(), Program());
    return std::make_unique<t_Child>(paths, Environment());
  }

  std::string X(const std::string& command) const {
    return Shell("DISPLAY=" + xvfb.Display() + " " + command + " 2>/dev/null").value_or("");
  }

  // The program's window, once it is mapped.
  std::string FindWindow(const t_Child& program) {
    for (int attempt = 0; attempt < 300; ++attempt) {
      const std::string found = X("xdotool search --onlyvisible --pid " + std::to_string(program.Pid()));
      if (!found.empty()) return found.substr(0, found.find('\n'));
      std::this_thread::sleep_for(50ms);
    }
    return {};
  }
  std::string Title(const std::string& window) const { return X("xdotool getwindowname " + window); }
  void Keys(const std::string& window, const std::string& keys) const {
    X("xdotool windowfocus --sync " + window);
    X("xdotool key --delay 40 " + keys);
  }
  void Type(const std::string& text) const { X("xdotool type --delay 30 " + Quote(text)); }

  // What the close box sends: WM_DELETE_WINDOW.
  void Close(const std::string& window) const {
    ASSERT_TRUE(SendCloseMessage(xvfb.Display(), std::stoul(window)));
  }

  // Presses Tab from the first tab stop (Browse...) `tabs` times, then Space.
  void PressAfterTabs(const std::string& window, int tabs) const {
    std::string keys;
    for (int i = 0; i < tabs; ++i) keys += "Tab ";
    Keys(window, keys + "space");
  }

  // Loads the first video's tags from the preview menu, which the keyboard opens at the
  // preview (Up wraps to its last item, the load); true once `cover` is in the workspace.
  bool LoadTags(const std::string& window, const char* cover) const {
    Keys(window, "shift+F10");
    std::this_thread::sleep_for(500ms);
    X("xdotool key --delay 40 Up Return");
    for (int attempt = 0; attempt < 200 && !fs::exists(workspace / cover); ++attempt)
      std::this_thread::sleep_for(50ms);
    return fs::exists(workspace / cover);
  }

  // Polls the title until it reads "Mivora" again after a progress title.
  std::vector<std::string> TitlesOfARun(const std::string& window) const {
    std::vector<std::string> titles;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string title = Title(window);
      if (titles.empty() || titles.back() != title) titles.push_back(title);
      if (title == "Mivora" && titles.size() > 1) break;
      std::this_thread::sleep_for(20ms);
    }
    return titles;
  }

  t_ScratchFolder scratch;
  std::string sharedTemp;  // set: no XDG_RUNTIME_DIR, this TMPDIR
  const std::string runtime = ToUtf8(scratch / "run");
  const fs::path workspace = fs::path(scratch / "run/Mivora");
  std::string busAddress;  // a session bus of the test's own, when one runs
  t_Xvfb xvfb;
};

TEST_F(ProgramTest, TheWholeFrameStaysOnTheScreenWhereverThePointerIs) {
  // A window manager, so that the window has a frame and a title bar.
  t_Child manager({"openbox"}, {"DISPLAY=" + xvfb.Display(), "PATH=" + std::string(std::getenv("PATH"))});
  for (int attempt = 0; attempt < 100 && X("xprop -root _NET_SUPPORTING_WM_CHECK").find('#') == std::string::npos;
       ++attempt)
    std::this_thread::sleep_for(50ms);
  const char* pointers[] = {"0 0", "1279 0", "0 899", "1279 899", "640 899"};
  for (const char* pointer : pointers) {
    SCOPED_TRACE(pointer);
    X(std::string("xdotool mousemove ") + pointer);
    auto program = Start({});
    const std::string window = FindWindow(*program);
    ASSERT_FALSE(window.empty());
    // The frame as the manager drew it, once it stops moving: left, right,
    // top and bottom edges, from the client's place and the frame's extents.
    std::string frame, last;
    for (int attempt = 0; attempt < 100 && (frame.empty() || frame != last); ++attempt) {
      std::this_thread::sleep_for(100ms);
      last = frame;
      const std::string extents = X("xprop -id " + window + " _NET_FRAME_EXTENTS");
      if (extents.find('=') == std::string::npos) continue;
      frame = extents.substr(extents.find('=') + 1) + X("xwininfo -id " + window + " | grep -E 'Absolute|Width|Height'");
    }
    int l = 0, r = 0, t = 0, b = 0, x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(std::sscanf(frame.c_str(),
                          " %d, %d, %d, %d Absolute upper-left X: %d Absolute upper-left Y: %d Width: %d Height: %d", &l,
                          &r, &t, &b, &x, &y, &width, &height),
              8)
        << frame;
    EXPECT_GT(t, 0) << "a title bar was drawn";
    EXPECT_GE(x - l, 0);
    EXPECT_GE(y - t, 0);
    EXPECT_LE(x + width + r, 1280);
    EXPECT_LE(y + height + b, 900);
    Close(window);
    EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
  }
}

TEST_F(ProgramTest, ApplyThroughTheWindowTagsEveryVideoAndClosingRemovesTheWorkspace) {
  const fs::path folder(scratch / "videos");
  fs::create_directories(folder);
  const std::vector<fs::path> videos = {folder / "a.mp4", folder / "b.mp4", fs::path(scratch / "c.mp4")};
  for (const auto& video : videos) MakeClip(t_Clip::Short, video);
  const fs::path cover(scratch / "cover.jpg");
  MakeImage("jpg", cover, 640);

  auto program = Start({folder.string(), videos[2].string(), cover.string()});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty()) << "no window";
  EXPECT_EQ(Title(window), "Mivora");
  std::this_thread::sleep_for(300ms);  // the first paint
  const std::string screenshot = MIVORA_SCREENSHOT;
  X("import -window " + window + " " + Quote(screenshot));
  EXPECT_GT(fs::exists(screenshot) ? fs::file_size(screenshot) : 0, 10000u) << screenshot;

  // Title, then Apply, through the keyboard in the window's tab order.
  Keys(window, "Tab Tab");
  Type("Blue Sky");
  PressAfterTabs(window, 9);
  const std::vector<std::string> titles = TitlesOfARun(window);
  ASSERT_GE(titles.size(), 2u);
  EXPECT_EQ(titles.back(), "Mivora");
  for (std::size_t i = 1; i + 1 < titles.size(); ++i)
    EXPECT_TRUE(titles[i] == "33% [1/3] Mivora" || titles[i] == "66% [2/3] Mivora" ||
                titles[i] == "100% [3/3] Mivora")
        << titles[i];
  EXPECT_TRUE(fs::exists(workspace / "ntag")) << "the tool stays unpacked until the end";

  for (const auto& video : videos) {
    auto tags = ProbeTags(video);
    EXPECT_EQ(tags["title"], "Blue Sky") << video;
    EXPECT_EQ(tags["date"], "2016") << video;
    EXPECT_TRUE(
        std::ranges::any_of(ProbeStreams(video), [](const t_Stream& s) { return s.codec == "mjpeg"; }))
        << "the cover is attached to " << video;
  }

  Close(window);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
  EXPECT_FALSE(fs::exists(workspace)) << "the workspace is removed at the end";
}

// Tags another tool wrote (AtomicParsley, with a date and a folded comment)
// load through the preview menu, from the keyboard, and Apply gives them to
// a second video: what every reader shows then is the same in both.
TEST_F(ProgramTest, TagsLoadedThroughThePreviewMenuGoToTheNextVideoWithApply) {
  const fs::path first(scratch / "first.mp4"), second(scratch / "second.mp4"), cover(scratch / "cover.png");
  MakeClip(t_Clip::Short, first);
  MakeClip(t_Clip::Short, second);
  MakeImage("png", cover);
  ASSERT_TRUE(Shell("AtomicParsley " + Quote(first.string()) +
                    " --overWrite --title 'Blue Sky' --artist 'Duv Ize' --genre 'AMV, MMV' "
                    "--year 2016-05-03T10:00:00Z --comment \"$(printf 'Audio: A\\rVideo: V\\rComment: T')\" "
                    "--artwork " +
                    Quote(cover.string()) + " >/dev/null"));
  auto program = Start({first.string(), second.string()});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty()) << "no window";
  ASSERT_TRUE(LoadTags(window, "cover-1.png")) << "the cover is extracted into the workspace";
  std::this_thread::sleep_for(500ms);
  PressAfterTabs(window, 11);
  const std::vector<std::string> titles = TitlesOfARun(window);
  ASSERT_GE(titles.size(), 2u);
  auto tags = ProbeTags(second);
  EXPECT_EQ(tags["title"], "Blue Sky");
  EXPECT_EQ(tags["artist"], "Duv Ize");
  EXPECT_EQ(tags["genre"], "AMV, MMV");
  EXPECT_EQ(tags["date"], "2016");
  EXPECT_EQ(tags["comment"], "Audio: A\rVideo: V\rComment: T");
  EXPECT_EQ(tags, ProbeTags(first));
  EXPECT_EQ(ProbeAttachedPictures(second), std::vector<std::string>{"png"});
  Close(window);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
}

// A video whose cover costs a decoder dearly, is cut short, or is as large as
// a cover may be, loads and the window still closes at once.
TEST_F(ProgramTest, AHostileCoverInAVideoNeverKeepsTheWindowFromEnding) {
  const QByteArray bomb = ScanBomb(4000, 3000), large = NoisePng(3900);
  ASSERT_FALSE(bomb.isEmpty());
  ASSERT_GT(large.size(), 60'000'000);
  const struct {
    QByteArray bytes;
    const char* name;
  } covers[] = {{bomb, "cover.jpg"}, {bomb.left(bomb.size() / 2), "cover.jpg"}, {large, "cover.png"}};
  for (const auto& c : covers) {
    const fs::path video(scratch / "video.mp4"), cover(scratch / c.name);
    MakeClip(t_Clip::Short, video);
    std::ofstream(cover, std::ios::binary).write(c.bytes.constData(), c.bytes.size());
    ASSERT_TRUE(Shell("AtomicParsley " + Quote(video.string()) + " --overWrite --artwork " +
                      Quote(cover.string()) + " >/dev/null"));
    auto program = Start({video.string()});
    const std::string window = FindWindow(*program);
    ASSERT_FALSE(window.empty()) << "no window";
    const std::string extracted = "cover-1" + cover.extension().string();
    EXPECT_TRUE(LoadTags(window, extracted.c_str())) << "the cover is extracted";
    Close(window);
    EXPECT_EQ(program->Wait(20s), std::optional<int>(0)) << c.bytes.size();
  }
}

// The preview's menu from the keyboard, as the X server delivers the keys:
// Shift+F10 and the menu key each map a popup beside the window, Escape
// closes it.
TEST_F(ProgramTest, ShiftF10AndTheMenuKeyOpenAPopupMenuThroughTheWindow) {
  auto program = Start({});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty()) << "no window";
  const auto visibleWindows = [&] {
    const std::string found = X("xdotool search --onlyvisible --pid " + std::to_string(program->Pid()));
    return found.empty() ? 0 : std::count(found.begin(), found.end(), '\n') + 1;
  };
  const auto shown = visibleWindows();
  for (const char* keys : {"shift+F10", "Menu"}) {
    SCOPED_TRACE(keys);
    Keys(window, keys);
    auto opened = shown;
    for (int attempt = 0; attempt < 100 && opened == shown; ++attempt) {
      std::this_thread::sleep_for(50ms);
      opened = visibleWindows();
    }
    EXPECT_EQ(opened, shown + 1);
    X("xdotool key Escape");
    for (int attempt = 0; attempt < 100 && visibleWindows() != shown; ++attempt)
      std::this_thread::sleep_for(50ms);
  }
  Close(window);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
}

// Closing without Apply removes nothing: a link planted at the workspace
// path (a stale one, or another user's in a shared temporary folder) and the
// user's folder it names stay as they were.
TEST_F(ProgramTest, ClosingWithoutApplyLeavesALinkAtTheWorkspacePathAndItsTarget) {
  const fs::path videos(scratch / "Videos");
  fs::create_directories(videos);
  std::ofstream(videos / "keep.mp4") << "precious";
  fs::create_directory_symlink(videos, workspace);

  auto program = Start({});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty()) << "no window";
  Close(window);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
  EXPECT_TRUE(fs::is_symlink(workspace));
  EXPECT_EQ(ReadFile(videos / "keep.mp4"), "precious");
}

// In a shared temporary folder another user can take the lock's and the
// workspace's names first, and hold the lock for ever: Mivora still opens,
// Apply still tags, and what was planted stays as it was.
TEST_F(ProgramTest, NamesTakenInASharedTemporaryFolderBlockNeitherTheProgramNorApply) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting as another user needs root";
  sharedTemp = ToUtf8(scratch / "shared");
  fs::create_directories(sharedTemp);
  fs::permissions(sharedTemp, fs::perms::all | fs::perms::sticky_bit);
  const std::string uid = std::to_string(::geteuid());
  const fs::path lock = fs::path(sharedTemp) / ("mivora-" + uid + ".lock");
  const fs::path planted = fs::path(sharedTemp) / ("Mivora-" + uid);
  std::ofstream(lock) << "";
  fs::create_directory(planted);
  std::ofstream(planted / "ntag") << "planted";
  for (const fs::path& path : {lock, planted, planted / "ntag"}) ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  const int held = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

  const fs::path video(scratch / "a.mp4");
  MakeClip(t_Clip::Short, video);
  auto program = Start({video.string()});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty()) << "a planted lock stopped the program";
  PressAfterTabs(window, 11);  // Apply, with the year 2016 to write
  EXPECT_EQ(TitlesOfARun(window).back(), "Mivora");
  EXPECT_EQ(ProbeTags(video)["date"], "2016");
  Close(window);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
  ::close(held);

  EXPECT_EQ(ReadFile(planted / "ntag"), "planted");
  for (const auto& entry : fs::directory_iterator(sharedTemp))
    EXPECT_FALSE(entry.path().filename().string().starts_with("Mivora-" + uid + "-"))
        << "the fresh workspace goes at the end: " << entry.path();
}

TEST_F(ProgramTest, ASecondStartHandsItsPathsToTheRunningWindowOverTheSessionBus) {
  const t_Server bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"});
  ASSERT_FALSE(bus.Line().empty()) << "no session bus";
  busAddress = bus.Line();
  // Faststart, so each is rewritten through a copy: the run lasts a while.
  const fs::path folder(scratch / "videos");
  fs::create_directories(folder);
  MakeClip(t_Clip::ShortFaststart, folder / "00.mp4");
  for (int i = 1; i < 30; ++i) fs::copy_file(folder / "00.mp4", folder / (std::to_string(10 + i) + ".mp4"));
  auto first = Start({folder.string()});
  const std::string window = FindWindow(*first);
  ASSERT_FALSE(window.empty());
  PressAfterTabs(window, 11);  // Apply
  std::string title;
  for (int attempt = 0; attempt < 250 && title.find('%') == std::string::npos; ++attempt) {
    title = Title(window);
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_NE(title.find('%'), std::string::npos) << "no run started: " << title;
  // As a file manager's "Open with" would, during the run: a path relative to its own folder.
  fs::create_directories(scratch / "elsewhere");
  MakeClip(t_Clip::Short, scratch / "elsewhere/v.mp4");
  t_Child second(
      {"/bin/sh", "-c", "cd " + Quote(ToUtf8(scratch / "elsewhere")) + " && exec " + Program() + " v.mp4"},
      Environment());
  EXPECT_EQ(second.Wait(20s), std::optional<int>(0));
  EXPECT_EQ(TitlesOfARun(window).back(), "Mivora");
  EXPECT_EQ(ProbeTags(scratch / "elsewhere/v.mp4")["date"], "") << "not part of the run under way";
  // It joined the list when the run ended: Apply (still focused) tags it.
  Keys(window, "space");
  EXPECT_EQ(TitlesOfARun(window).back(), "Mivora");
  EXPECT_EQ(ProbeTags(scratch / "elsewhere/v.mp4")["date"], "2016");
  Close(window);
  EXPECT_EQ(first->Wait(20s), std::optional<int>(0));
}

// Covers that once kept the window from showing for minutes, or for ever:
// whatever is named as the cover, the window shows and its close box or
// SIGTERM ends the program.
TEST_F(ProgramTest, AHostileCoverNeverKeepsTheWindowFromShowingOrEnding) {
  const fs::path bomb(scratch / "bomb.jpg"), huge(scratch / "3 GB.jpg"), fifo(scratch / "fifo.jpg");
  const QByteArray bombBytes = ScanBomb(4000, 3000);
  ASSERT_FALSE(bombBytes.isEmpty());
  std::ofstream(bomb, std::ios::binary).write(bombBytes.constData(), bombBytes.size());
  std::ofstream(huge, std::ios::binary).close();
  fs::resize_file(huge, 3ull << 30);  // sparse: no disk taken
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    fs::path cover;
    bool sigterm;
  } cases[] = {{bomb, false}, {huge, false}, {fifo, true}};
  for (const auto& c : cases) {
    auto program = Start({c.cover.string()});
    const std::string window = FindWindow(*program);
    ASSERT_FALSE(window.empty()) << "no window with " << c.cover;
    if (c.sigterm)
      ASSERT_EQ(::kill(program->Pid(), SIGTERM), 0);
    else
      Close(window);
    EXPECT_EQ(program->Wait(20s), std::optional<int>(0)) << c.cover;
  }
}

TEST_F(ProgramTest, ASecondStartThatCannotHandOverSaysSoInTheUsersLanguage) {
  struct t_Case {
    const char* name;
    bool display;
    const char* language;
    const char* words;
  };
  const t_Case cases[] = {
      {"a box on the display", true, "C.UTF-8",
       "mivora: Mivora is already running.\nThe files given to this start were not added; drop them onto its "
       "window.\n"},
      {"no display: stderr only", false, "nl_NL.UTF-8",
       "mivora: Mivora draait al.\nDe bestanden die deze start kreeg, zijn niet toegevoegd; sleep ze naar het "
       "venster.\n"},
  };
  // No session bus: the running window cannot be reached.
  auto first = Start({});
  ASSERT_FALSE(FindWindow(*first).empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> environment;
    for (const std::string& variable : Environment())
      if (!(variable.starts_with("DISPLAY=") && !c.display) && !variable.starts_with("LANG="))
        environment.push_back(variable);
    environment.push_back(std::string("LANG=") + c.language);
    const fs::path errors(scratch / "stderr.txt");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    t_Child second({MIVORA_PROGRAM, ToUtf8(scratch / "v.mp4")}, environment, &actions);
    ::posix_spawn_file_actions_destroy(&actions);
    if (c.display) {
      const std::string box = FindWindow(second);
      ASSERT_FALSE(box.empty()) << "no message box";
      EXPECT_EQ(Title(box), "Mivora");
      Keys(box, "Return");
    }
    EXPECT_EQ(second.Wait(20s), std::optional<int>(1)) << "the paths were not handed over";
    EXPECT_EQ(ReadFile(errors), c.words);
  }
  Close(FindWindow(*first));
  EXPECT_EQ(first->Wait(20s), std::optional<int>(0));
}

// A write-protected video (on a read-only disk: root writes past mode bits) fails with its one
// cause, in the message box as a screen reader reads it off the accessibility bus, and keeps
// its bytes.
TEST_F(ProgramTest, AWriteProtectedVideoFailsSayingAccessWasDeniedToAScreenReader) {
  const fs::path disk(scratch / "disk");
  const t_SmallDisk small(disk, "8m");
  if (!small.Ready()) GTEST_SKIP() << "cannot mount a disk here";
  const fs::path video = disk / "v.mp4";
  MakeClip(t_Clip::Short, video);
  const std::string before = ReadFile(video);
  ASSERT_EQ(::mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
  // A desktop's accessibility bus, switched on as a screen reader does.
  const t_Server bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"});
  ASSERT_FALSE(bus.Line().empty()) << "no session bus";
  busAddress = bus.Line();
  const std::string session = "DBUS_SESSION_BUS_ADDRESS=" + busAddress;
  t_Child launcher({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"},
                   {session, "DISPLAY=" + xvfb.Display(), "XDG_RUNTIME_DIR=" + runtime});
  const std::string ask = "busctl --address=" + Quote(busAddress) + " ";
  std::optional<std::string> address;
  for (int attempt = 0; attempt < 100 && !address; ++attempt) {
    std::this_thread::sleep_for(50ms);
    address = Shell(ask + "call org.a11y.Bus /org/a11y/bus org.a11y.Bus GetAddress 2>/dev/null");
  }
  ASSERT_TRUE(address) << "no accessibility bus";
  ASSERT_TRUE(Shell(ask + "set-property org.a11y.Bus /org/a11y/bus org.a11y.Status IsEnabled b true"));
  const std::string accessibilityBus = address->substr(3, address->size() - 4);  // s "..."

  auto program = Start({video.string()});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty()) << "no window";
  PressAfterTabs(window, 11);  // Apply, with the year 2016 to write
  const std::string expected = video.string() + "\\nWriting failed: access to the video was denied";
  std::string names;
  for (int attempt = 0; attempt < 60 && names.find(expected) == std::string::npos; ++attempt) {
    std::this_thread::sleep_for(500ms);
    names = Shell("bash " MIVORA_A11Y_NAMES " " + Quote(accessibilityBus)).value_or("");
  }
  EXPECT_NE(names.find(expected), std::string::npos) << names;
  X("xdotool key Return");  // the message box has the focus
  std::this_thread::sleep_for(500ms);
  Close(window);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
  EXPECT_TRUE(ReadFile(video) == before);
  ::kill(launcher.Pid(), SIGTERM);  // it ends the accessibility bus it started
  launcher.Wait(5s);
}

TEST_F(ProgramTest, SigtermStopsARunAndEndsTheProgramCleanly) {
  const fs::path folder(scratch / "videos");
  fs::create_directories(folder);
  // Faststart, so the tagger rewrites each video through a copy: the stop may meet one.
  MakeClip(t_Clip::ShortFaststart, folder / "000.mp4");
  constexpr int kVideos = 30;
  std::vector<std::string> names{"000.mp4"};
  for (int i = 1; i < kVideos; ++i) {
    names.push_back(std::to_string(100 + i) + ".mp4");
    fs::copy_file(folder / "000.mp4", folder / names.back());
  }

  auto program = Start({folder.string()});
  const std::string window = FindWindow(*program);
  ASSERT_FALSE(window.empty());
  PressAfterTabs(window, 11);  // Apply, with the year 2016 to write
  std::string title;
  for (int attempt = 0; attempt < 250 && title.find('%') == std::string::npos; ++attempt) {
    title = Title(window);
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_NE(title.find('%'), std::string::npos) << "no run started: " << title;
  // The tagger shows in ps and top by its own name, not its descriptor's number
  // (which it carries for the instant from its start to its first line).
  const std::vector<std::string> named{"ntag"};
  std::vector<std::string> tools;
  for (int attempt = 0; attempt < 500 && tools != named; ++attempt) {
    tools = ChildNames(program->Pid());
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(tools, named);
  ASSERT_EQ(::kill(program->Pid(), SIGTERM), 0);
  EXPECT_EQ(program->Wait(20s), std::optional<int>(0));
  EXPECT_FALSE(fs::exists(workspace));
  int tagged = 0;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) {
    left.push_back(entry.path().filename().string());
    std::map<std::string, std::string> tags;
    EXPECT_NO_THROW(tags = ProbeTags(entry.path())) << "readable after the stop: " << entry.path();
    tagged += tags["date"] == "2016";
  }
  EXPECT_LT(tagged, kVideos) << "the run was stopped";
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, names) << "the folder holds only the videos";
}

}  // namespace
}  // namespace n_zorbel::n_testing
