// MainDialog with the real system layer: the program's own tool package, a
// real workspace, real tool processes and real folders. Only the window is
// the fake View; the test drives the ticks at the dialog's pace.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fake_system.hpp"
#include "fake_view.hpp"
#include "intake/path_queries.hpp"
#include "support/scratch_folder.hpp"
#include "tagging/job_system.hpp"
#include "tools/module.hpp"
#include "ui/ids.hpp"
#include "ui/main_dialog.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui;  // the ids

// Sets an environment variable for the tool processes started meanwhile.
class t_Environment {
 public:
  t_Environment(const char* name, const std::string& value) : m_name(name) { Set(value); }
  ~t_Environment() { Set(""); }
  t_Environment(const t_Environment&) = delete;
  t_Environment& operator=(const t_Environment&) = delete;

 private:
  void Set(const std::string& value) {
#ifdef _WIN32
    _putenv((std::string(m_name) + "=" + value).c_str());
#else
    if (value.empty())
      unsetenv(m_name);
    else
      setenv(m_name, value.c_str(), 1);
#endif
  }
  const char* m_name;
};

// The stand-in tagger's log: one list of arguments per run.
std::vector<std::vector<std::string>> ReadRuns(const std::filesystem::path& log) {
  std::vector<std::vector<std::string>> runs;
  std::ifstream in(log, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "== run")
      runs.emplace_back();
    else if (!runs.empty() && line != "beat")
      runs.back().push_back(line);
  }
  return runs;
}

// The build packs the stand-in until the real tagger takes its place.
constexpr bool kStandIn = !MIVORA_PACKED_TOOL_IS_NTAG;
#ifdef _WIN32
constexpr bool kCheckWithFfprobe = false;  // ffmpeg and ffprobe are Linux programs here
#else
constexpr bool kCheckWithFfprobe = !kStandIn;
#endif

// A short real video by ffmpeg where the real tagger is packed; a small file
// is enough for the stand-in, which does not read it.
void MakeVideo(const t_String& path) {
  if (kCheckWithFfprobe) {
    const std::string command =
        "ffmpeg -v error -f lavfi -i testsrc=size=64x64:rate=10 -t 0.3 -c:v mpeg4 -y '" + ToUtf8(path) + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  } else {
    std::ofstream(std::filesystem::path(path), std::ios::binary) << "not read by the stand-in";
  }
}

std::string ProbeTitle(const t_String& path, const t_ScratchFolder& scratch) {
  const std::string out = ToUtf8(scratch / ZTEXT("probe.txt"));
  const std::string command = "ffprobe -v error -show_entries format_tags=title -of default=nw=1:nk=1 '" +
                              ToUtf8(path) + "' > '" + out + "'";
  if (std::system(command.c_str()) != 0) return "(ffprobe failed)";
  std::ifstream in(out);
  std::string title;
  std::getline(in, title);
  return title;
}

class DialogEndToEnd : public testing::Test {
 protected:
  t_ScratchFolder scratch;
  const std::filesystem::path log{std::filesystem::path(scratch / ZTEXT("tool.log"))};
  const t_Environment logVariable{"MIVORA_STAND_IN_LOG", ToUtf8(log.native())};
  const n_tools::t_ProgramModule module{};
  n_tagging::RealJobSystem system{module};
  t_FakeCoverDecoder decoder;
  t_FakeView view;

  t_String Workspace() const { return scratch / ZTEXT("Mivora/"); }

  std::unique_ptr<MainDialog> Open(std::vector<t_String> arguments) {
    auto dialog = std::make_unique<MainDialog>(
        t_MainDialogSetup{std::move(arguments), Workspace(), 16},
        t_MainDialogPorts{system, n_intake::t_SystemPathQueries::Instance(), decoder});
    dialog->OnInitDialog(view);
    return dialog;
  }

  // Ticks at roughly the dialog's pace until `done` holds (bounded).
  template <typename Done>
  void TickUntil(MainDialog& dialog, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      dialog.OnTimerTick();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
};

TEST_F(DialogEndToEnd, ApplyTagsThreeRealVideosAndTheTeardownRemovesTheWorkspace) {
  std::vector<t_String> videos;
  for (const char* name : {"one.mp4", "two.mp4", "three.mp4"}) {
    videos.push_back(scratch / FromUtf8(name));
    MakeVideo(videos.back());
  }
  {
    auto dialog = Open(videos);
    EXPECT_EQ(view.texts[kVideoList], videos[0] + ZTEXT(";") + videos[1] + ZTEXT(";") + videos[2]);
    EXPECT_TRUE(view.enabled[kApply]);
    view.texts[kTitle] = ZTEXT("Blue Sky");
    view.texts[kAuthor] = ZTEXT("Duv Ize");
    view.texts[kYear] = ZTEXT("");
    view.Take();

    dialog->OnCommand(0, kApply);
    ASSERT_TRUE(dialog->Running());
    EXPECT_EQ(view.title, ZTEXT("33% [1/3] Mivora"));
    TickUntil(*dialog, [&] { return !dialog->Running(); });
    ASSERT_FALSE(dialog->Running());

    EXPECT_TRUE(view.messages.empty()) << (view.messages.empty() ? "" : ToUtf8(view.messages[0].first));
    EXPECT_EQ(view.Count("FlashWindow"), 1u);
    EXPECT_EQ(view.title, ZTEXT("Mivora"));
    EXPECT_EQ(view.texts[kApply], ZTEXT("Apply"));
    EXPECT_TRUE(dialog->HasUnpackedTools());
    EXPECT_TRUE(scratch.Exists(ZTEXT("Mivora")));

    if (kCheckWithFfprobe) {
      for (const t_String& video : videos) EXPECT_EQ(ProbeTitle(video, scratch), "Blue Sky") << ToUtf8(video);
    } else {
      const auto runs = ReadRuns(log);
      ASSERT_EQ(runs.size(), 3u);
      for (std::size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(runs[i], (std::vector<std::string>{"", "-meta:title=Blue Sky", "-meta:artist=Duv Ize",
                                                     ToUtf8(videos[i])}));
    }
  }
  EXPECT_FALSE(scratch.Exists(ZTEXT("Mivora")));
}

// The real system, but the processes started are the stand-in tagger in its
// slow mode, whichever tagger the package holds.
class t_SlowToolSystem final : public n_tagging::JobSystem, n_system::ProcessRunner {
 public:
  explicit t_SlowToolSystem(const n_tools::t_Module& module) : m_real(module) {}
  void CreateWorkspace(const t_String& folder) override { m_real.CreateWorkspace(folder); }
  std::unique_ptr<n_tools::UnpackedTools> UnpackTools(const t_String& folder) override {
    return m_real.UnpackTools(folder);
  }
  n_system::ProcessRunner& Runner() override { return *this; }
  std::unique_ptr<n_system::ToolProcess> Start(const t_String&, const t_String& commandLine) override {
    return m_real.Runner().Start(FromUtf8(MIVORA_STAND_IN), commandLine);
  }

 private:
  n_tagging::RealJobSystem m_real;
};

TEST_F(DialogEndToEnd, StopEndsARunningToolForRealWithoutAMessage) {
  const t_Environment sleep("MIVORA_STAND_IN_SLEEP_MS", "60000");
  const t_String video = scratch / ZTEXT("long.mp4");
  MakeVideo(video);
  t_SlowToolSystem slow(module);
  auto dialog = std::make_unique<MainDialog>(
      t_MainDialogSetup{{video}, Workspace(), 16},
      t_MainDialogPorts{slow, n_intake::t_SystemPathQueries::Instance(), decoder});
  dialog->OnInitDialog(view);
  view.texts[kTitle] = ZTEXT("t");
  dialog->OnCommand(0, kApply);
  // Alive: the tool writes a heartbeat every 20 ms.
  TickUntil(*dialog, [&] { return std::filesystem::exists(log) && std::filesystem::file_size(log) >= 40; });
  ASSERT_TRUE(dialog->Running());

  dialog->OnCommand(0, kApply);  // Stop
  EXPECT_FALSE(dialog->Running());
  const auto size = std::filesystem::file_size(log);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(std::filesystem::file_size(log), size);  // gone for good
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.Count("FlashWindow"), 0u);
  EXPECT_EQ(view.title, ZTEXT("Mivora"));
}

TEST_F(DialogEndToEnd, ARealFolderDroppedIsScannedAndAFailingToolIsReported) {
  scratch.MakeFile(ZTEXT("drop/a.mp4"));
  scratch.MakeFile(ZTEXT("drop/sub/b.mp4"));
  scratch.MakeFile(ZTEXT("drop/cover.png"));
  scratch.MakeFile(ZTEXT("drop/readme.txt"));
  auto dialog = Open({});
  const std::vector<t_String> dropped = {scratch / ZTEXT("drop")};
  t_PathListDrop drop(dropped);
  dialog->AcceptDrop(drop);
  ASSERT_EQ(dialog->VideoFiles().Size(), 2u);
  EXPECT_EQ(dialog->Tags().coverPath, scratch / ZTEXT("drop/cover.png"));

  const t_Environment exitCode("MIVORA_STAND_IN_EXIT", "3");
  view.texts[kTitle] = ZTEXT("t");
  dialog->OnCommand(0, kApply);
  TickUntil(*dialog, [&] { return !dialog->Running(); });
  ASSERT_EQ(view.messages.size(), 1u);
  // The stand-in exits with 3 as told; the real tagger refuses these non-videos.
  const t_String expected = kStandIn ? ZTEXT("neroAACTag process did not exit gracefully: error #-2147024893")
                                     : ZTEXT("neroAACTag process did not exit gracefully: error #");
  EXPECT_EQ(view.messages[0].first.substr(0, expected.size()), expected);
  EXPECT_EQ(view.messages[0].second, ZTEXT("Mivora error"));
}

}  // namespace
}  // namespace n_zorbel::n_testing
