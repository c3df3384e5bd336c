// t_MainDialog with the real system layer: the program's own tool package, a
// real workspace, real tool processes and real folders. Only the window is
// the fake View; the test drives the ticks at the dialog's pace.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fake_system.hpp"
#include "fake_view.hpp"
#include "intake/path_queries.hpp"
#include "preview/cover_bytes.hpp"
#include "support/environment_variable.hpp"
#include "support/file_bytes.hpp"
#include "support/poll.hpp"
#include "support/scratch_folder.hpp"
#include "support/small_disk.hpp"
#ifndef _WIN32
#include "support/media.hpp"
#include "support/run_program.hpp"
#endif
#include "tagging/job_system.hpp"
#include "tools/module.hpp"
#include "ui/ids.hpp"
#include "ui/main_dialog.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui;  // the ids

#ifdef _WIN32
// ffmpeg and ffprobe are Linux programs here: the clip is made beforehand by
// the test's fixture, and the title is read back from the boxes themselves.
void MakeVideo(const t_String& path) {
  std::filesystem::copy_file(std::filesystem::path(FromUtf8(MIVORA_CLIP)), std::filesystem::path(path));
}

// The value of the title item (moov/udta/meta/ilst/\xA9nam/data, Apple's
// layout: 32-bit big-endian sizes, meta a full box, data with 8 bytes of type
// and locale before the text); "(none)" when the path is not there.
std::string ReadTitle(const t_String& path) {
  const std::string file = ReadFile(path);
  struct t_Range {
    std::size_t begin = 0, end = 0;  // a box's payload; empty when not found
  };
  // The payload of the first box of `type` among the boxes that fill `within`.
  const auto find = [&](t_Range within, std::string_view type) -> t_Range {
    for (std::size_t at = within.begin; at + 8 <= within.end;) {
      std::size_t size = 0;
      for (int i = 0; i < 4; ++i) size = size << 8 | static_cast<unsigned char>(file[at + i]);
      if (size < 8 || size > within.end - at) break;
      if (std::string_view(file).substr(at + 4, 4) == type) return {at + 8, at + size};
      at += size;
    }
    return {};
  };
  t_Range range{0, file.size()};
  for (const std::string_view type : {"moov", "udta", "meta", "ilst", "\xA9nam", "data"}) {
    range = find(range, type);
    if (range.end == 0) return "(none)";
    if (type == "meta") range.begin += 4;  // version and flags
  }
  if (range.end - range.begin < 8) return "(none)";
  return file.substr(range.begin + 8, range.end - range.begin - 8);
}
#else
void MakeVideo(const t_String& path) { MakeClip(t_Clip::Short, ToUtf8(path)); }

std::string ReadTitle(const t_String& path) { return ProbeTags(ToUtf8(path))["title"]; }
#endif

class DialogEndToEnd : public testing::Test {
 protected:
  t_ScratchFolder scratch;
  const n_tools::t_ProgramModule module{};
  n_tagging::t_RealJobSystem system{module};
  t_FakeCoverDecoder decoder;
  t_FakeView view;

  t_String Workspace() const { return scratch / ZTEXT("Mivora/"); }

  std::unique_ptr<t_MainDialog> Open(std::vector<t_String> arguments) {
    auto dialog = std::make_unique<t_MainDialog>(
        t_MainDialogSetup{std::move(arguments), Workspace(), 16},
        t_MainDialogPorts{system, n_intake::t_SystemPathQueries::Instance(), decoder});
    dialog->OnInitDialog(view);
    return dialog;
  }

  // Ticks at roughly the dialog's pace until `done` holds (bounded).
  template <typename Done>
  void TickUntil(t_MainDialog& dialog, Done done) {
    PollUntil(
        done, [&] { dialog.OnTimerTick(); }, std::chrono::milliseconds(10), std::chrono::seconds(60));
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

    dialog->OnCommand(kApply);
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

    for (const t_String& video : videos) EXPECT_EQ(ReadTitle(video), "Blue Sky") << ToUtf8(video);
  }
  EXPECT_FALSE(scratch.Exists(ZTEXT("Mivora")));
}

// The real system, but the processes started are the stand-in tagger in its
// slow mode instead of the packed tagger, so that a run is caught while its
// tool still runs.
class t_SlowToolSystem final : public n_tagging::t_JobSystem, n_system::t_ProcessRunner {
 public:
  explicit t_SlowToolSystem(const n_tools::t_Module& module) : m_real(module) {}
  void CreateWorkspace(const t_String& folder) override { m_real.CreateWorkspace(folder); }
  void RemoveWorkspace(const t_String& folder) override { m_real.RemoveWorkspace(folder); }
  std::unique_ptr<n_tools::t_UnpackedTools> UnpackTools(const t_String& folder) override {
    return m_real.UnpackTools(folder);
  }
  void RemoveFile(const t_String& path) noexcept override { m_real.RemoveFile(path); }
  n_system::t_ProcessRunner& Runner() override { return *this; }
  n_system::t_CommandLimits CommandLimits() override { return m_real.CommandLimits(); }
  std::unique_ptr<n_system::t_ToolProcess> Start(const t_String&, const t_String& commandLine) override {
    return m_real.Runner().Start(FromUtf8(MIVORA_STAND_IN), commandLine);
  }

 private:
  n_tagging::t_RealJobSystem m_real;
};

TEST_F(DialogEndToEnd, StopEndsARunningToolForRealWithoutAMessage) {
  const std::filesystem::path log(scratch / ZTEXT("tool.log"));
  const t_EnvironmentVariable logVariable("MIVORA_STAND_IN_LOG", ToUtf8(log.native()).c_str());
  const t_EnvironmentVariable sleep("MIVORA_STAND_IN_SLEEP_MS", "60000");
  const t_String video = scratch / ZTEXT("long.mp4");
  MakeVideo(video);
  t_SlowToolSystem slow(module);
  auto dialog = std::make_unique<t_MainDialog>(
      t_MainDialogSetup{{video}, Workspace(), 16},
      t_MainDialogPorts{slow, n_intake::t_SystemPathQueries::Instance(), decoder});
  dialog->OnInitDialog(view);
  view.texts[kTitle] = ZTEXT("t");
  dialog->OnCommand(kApply);
  // Alive: the tool writes a heartbeat every 20 ms.
  TickUntil(*dialog, [&] { return std::filesystem::exists(log) && std::filesystem::file_size(log) >= 40; });
  ASSERT_TRUE(dialog->Running());

  dialog->OnCommand(kApply);  // Stop
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
  const std::vector<n_ui::t_DroppedPath> dropped = {scratch / ZTEXT("drop")};
  dialog->AcceptDrop(dropped);
  ASSERT_EQ(dialog->VideoFiles().Size(), 2u);
  EXPECT_EQ(dialog->Tags().coverPath, scratch / ZTEXT("drop/cover.png"));

  view.texts[kTitle] = ZTEXT("t");
  dialog->OnCommand(kApply);
  TickUntil(*dialog, [&] { return !dialog->Running(); });
  // The cover the scan took is no image: the tagger refuses it with its exit
  // code 5 on the first video, reported like a system error, with the video
  // and the tagger's reason.
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(
      view.messages[0].first,
      ZTEXT("neroAACTag process did not exit gracefully: error #-2147024891\n") + dialog->VideoFiles()[0] +
          ZTEXT("\nThe cover is missing, cannot be read, is over 64 MiB, or is not a JPEG or PNG picture."));
  EXPECT_EQ(view.messages[0].second, ZTEXT("Mivora error"));
}

// The tool does not fit on the workspace's disk: the first Apply reports it
// like any failing call, leaves no partial tool, and the next Apply, with
// room made meanwhile, unpacks it and tags.
TEST_F(DialogEndToEnd, AFullWorkspaceDiskFailsTheUnpackingAndTheNextApplyTriesAgain) {
  const t_SmallDisk disk(std::filesystem::path(scratch / ZTEXT("small")), "16m");
  if (!disk.Ready()) GTEST_SKIP() << "no small disk to fill here";
  const std::filesystem::path filler(disk.Path() + ZTEXT("filler"));
  {
    std::ofstream fill(filler, std::ios::binary);
    const std::string block(65536, 'f');
    while (fill.write(block.data(), static_cast<std::streamsize>(block.size())) && fill.flush()) {
    }
  }
  const t_String workspace = disk.Path() + ZTEXT("Mivora") + kPathSeparator;
  const t_String video = scratch / ZTEXT("one.mp4");
  MakeVideo(video);
  {
    t_MainDialog dialog(t_MainDialogSetup{{video}, workspace, 16},
                        t_MainDialogPorts{system, n_intake::t_SystemPathQueries::Instance(), decoder});
    dialog.OnInitDialog(view);
    view.texts[kTitle] = ZTEXT("Blue Sky");
    dialog.OnCommand(kApply);
    TickUntil(dialog, [&] { return !dialog.Running(); });
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].first, ZTEXT("failed to unpack tools: error #-2147024784"));
    EXPECT_FALSE(dialog.HasUnpackedTools());
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(workspace))) << "no partial tool stays";

    std::filesystem::remove(filler);
    dialog.OnCommand(kApply);
    TickUntil(dialog, [&] { return !dialog.Running(); });
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(dialog.HasUnpackedTools());
    EXPECT_EQ(ReadTitle(video), "Blue Sky");
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(workspace)));
}

// What Mivora wrote comes back into an empty dialog, and Apply then gives a
// second video the same tags; a damaged video is named with its cause.
TEST_F(DialogEndToEnd, LoadedTagsComeBackWholeAndApplyCopiesThemToAnotherVideo) {
  const t_String first = scratch / ZTEXT("first.mp4"), second = scratch / ZTEXT("second.mp4");
  MakeVideo(first);
  MakeVideo(second);
  const t_Bytes coverBytes = Jpeg(40, 30, 1);
  const t_String cover = scratch / ZTEXT("cover.jpg");
  WriteFile(std::filesystem::path(cover), std::string(coverBytes.begin(), coverBytes.end()));
  const std::pair<int, t_String> values[] = {{kTitle, FromUtf8("Blue Sky \xE2\x80\x94 it's \\ done\\")},
                                             {kAuthor, ZTEXT("Duv Ize")},
                                             {kGenre, ZTEXT("AMV, MMV")},
                                             {kYear, ZTEXT("2016")},
                                             {kAudioSources, ZTEXT("Song: Artist")},
                                             {kVideoSources, ZTEXT("Show one\r\nShow two")},
                                             {kComment, ZTEXT("Audio: not a label\r\nline two")}};
  {
    auto dialog = Open({first, cover});
    for (const auto& [field, text] : values) view.texts[field] = text;
    dialog->OnCommand(kApply);
    TickUntil(*dialog, [&] { return !dialog->Running(); });
    ASSERT_TRUE(view.messages.empty()) << ToUtf8(view.messages[0].first);
  }
  view = t_FakeView();
  auto dialog = Open({first, second});
  dialog->OnCommand(kCommandLoadTags);
  TickUntil(*dialog, [&] { return !dialog->Loading(); });
  ASSERT_TRUE(view.messages.empty()) << ToUtf8(view.messages[0].first);
  for (const auto& [field, text] : values) EXPECT_EQ(view.texts[field], text) << field;
  ASSERT_NE(dialog->Tags().coverPath.find(Workspace()), t_String::npos);
  EXPECT_EQ(ReadFile(dialog->Tags().coverPath), std::string(coverBytes.begin(), coverBytes.end()));

  dialog->OnCommand(kApply);
  TickUntil(*dialog, [&] { return !dialog->Running(); });
  ASSERT_TRUE(view.messages.empty()) << ToUtf8(view.messages[0].first);
  EXPECT_EQ(ReadTitle(second), ToUtf8(values[0].second));
#ifndef _WIN32
  EXPECT_EQ(ProbeTags(ToUtf8(second)), ProbeTags(ToUtf8(first)));
  EXPECT_EQ(ProbeAttachedPictures(ToUtf8(second)), ProbeAttachedPictures(ToUtf8(first)));
#endif

  const t_String damaged = scratch / ZTEXT("damaged.mp4");
  WriteFile(std::filesystem::path(damaged), ReadFile(first).substr(0, 100));
  dialog->OnCommand(kBrowseVideos);  // cancelled: the list is empty
  dialog->AcceptDrop(std::vector<t_DroppedPath>{damaged});
  view.texts[kTitle] = ZTEXT("kept");
  dialog->OnCommand(kCommandLoadTags);
  TickUntil(*dialog, [&] { return !dialog->Loading(); });
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].first, ZTEXT("The tags of \u201C") + damaged +
                                        ZTEXT("\u201D could not be loaded; the fields stay as they were.\n"
                                              "The video is not an MP4 file, or it is damaged."));
  EXPECT_EQ(view.texts[kTitle], ZTEXT("kept"));
}

#ifndef _WIN32
// Videos other writers tagged load what those writers show: the
// iTunes list of ffmpeg and of AtomicParsley (whose standard genre is a
// number), QuickTime text items, 3GPP assets, and QuickTime Keys of ffmpeg and
// of a phone (exiftool's). A field the video does not hold is emptied.
TEST_F(DialogEndToEnd, VideosTaggedByOtherWritersLoadWhatThoseWritersShow) {
  const struct {
    t_Clip clip;
    const char* atomicParsley;  // its options to tag the clip with, if any
    const char *title, *author, *genre, *year, *comment;
  } cases[] = {
      {t_Clip::Short,
       "--title 'AP title' --artist 'AP artist' --genre Anime --year 2016 --comment 'AP comment'", "AP title",
       "AP artist", "Anime", "2016", "AP comment"},
      {t_Clip::TaggedCover, nullptr, "Old title", "Old artist", "Old genre", "", ""},
      {t_Clip::MovUserData, nullptr, "Old title", "", "", "", "Old comment"},
      {t_Clip::ThreeGpAssets, nullptr, "Old title", "", "", "", "Old comment"},
      {t_Clip::UserDataKeys, nullptr, "Old title", "", "", "1871", "Old comment"},
      {t_Clip::PhoneKeys, nullptr, "Old title", "", "", "1871", "Old comment"},
  };
  for (const auto& c : cases) {
    const std::string video = ToUtf8(scratch / FromUtf8(ClipName(c.clip) + ".mp4"));
    MakeClip(c.clip, video);
    if (c.atomicParsley) {
      const std::string line = "AtomicParsley '" + video + "' --overWrite " + c.atomicParsley + " >/dev/null";
      ASSERT_EQ(std::system(line.c_str()), 0);
    }
    // exiftool, which reads every one of these stores, shows the title that loads.
    EXPECT_EQ(RunProgram({"exiftool", "-s3", "-Title", video}).out, std::string(c.title) + "\n") << video;
    view = t_FakeView();
    auto dialog = Open({FromUtf8(video)});
    for (const int field : {kTitle, kAuthor, kGenre, kYear, kAudioSources, kVideoSources, kComment})
      view.texts[field] = ZTEXT("typed before");
    dialog->OnCommand(kCommandLoadTags);
    TickUntil(*dialog, [&] { return !dialog->Loading(); });
    ASSERT_TRUE(view.messages.empty()) << video << ": " << ToUtf8(view.messages[0].first);
    const std::pair<int, const char*> expected[] = {
        {kTitle, c.title},   {kAuthor, c.author}, {kGenre, c.genre},    {kYear, c.year},
        {kAudioSources, ""}, {kVideoSources, ""}, {kComment, c.comment}};
    for (const auto& [field, text] : expected)
      EXPECT_EQ(ToUtf8(view.texts[field]), text) << video << " " << field;
  }
}
#endif

}  // namespace
}  // namespace n_zorbel::n_testing
