// Apply, the ticks, Stop and the failure report, as the user sees them:
// titles, controls, the taskbar, the message and the flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "dialog_fixture.hpp"
#include "ui/ids.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_ui::t_TaskbarState;
using t_Calls = std::vector<std::string>;

class RunControl : public DialogTest {
 protected:
  void OpenWithClips(int count, const char* title = "Clip") {
    Open(Clips(count));
    Type(n_ui::kTitle, title);
    view.Take();
  }

  void ExpectIdle() {
    EXPECT_FALSE(dialog->Running());
    EXPECT_FALSE(view.ticking);
    for (int id = n_ui::kFirstInputControl; id <= n_ui::kLastInputControl; ++id)
      EXPECT_TRUE(view.enabled[id]) << id;
    EXPECT_EQ(view.texts[n_ui::kApply], ZTEXT("Apply"));
    EXPECT_EQ(view.title, ZTEXT("Mivora"));
    EXPECT_EQ(view.taskbarState, t_TaskbarState::NoProgress);
  }
};

TEST_F(RunControl, NothingToWriteStartsNothing) {
  OpenWithClips(2, "");
  Type(n_ui::kYear, "");  // the year field starts at 2016: cleared by the user
  Command(n_ui::kApply);
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(view.Take(), t_Calls{});
  EXPECT_EQ(jobs.workspacesCreated, 0);
  // The box alone is something to write: every tag is erased.
  view.checked[n_ui::kRemoveBlank] = true;
  Command(n_ui::kApply);
  EXPECT_TRUE(dialog->Running());
  EXPECT_TRUE(dialog->RemoveBlank());
}

TEST_F(RunControl, ThreeFilesSucceed) {
  OpenWithClips(3);
  Command(n_ui::kApply);
  EXPECT_EQ(view.Take(), (t_Calls{
                             "EnableControl(1001, false)",
                             "EnableControl(1002, false)",
                             "EnableControl(1003, false)",
                             "EnableControl(1004, false)",
                             "EnableControl(1005, false)",
                             "EnableControl(1006, false)",
                             "EnableControl(1007, false)",
                             "EnableControl(1008, false)",
                             "EnableControl(1009, false)",
                             "EnableControl(1010, false)",
                             "EnableControl(1011, false)",
                             "EnableControl(1012, false)",
                             "EnableControl(1013, false)",
                             "EnableControl(1014, false)",
                             "EnableControl(1015, false)",
                             "EnableControl(1016, false)",
                             "EnableControl(1017, false)",
                             "EnableControl(1018, false)",
                             "EnableControl(1019, false)",
                             "EnableControl(1020, false)",
                             "EnableControl(1021, false)",
                             "EnableControl(1022, false)",
                             "EnableControl(1023, false)",
                             "EnableControl(1024, false)",
                             "SetControlText(1026, Stop)",
                             "SetTaskbarState(2)",
                             "SetTaskbarValue(33, 100)",
                             "SetTitle(33% [1/3] Mivora)",
                             "StartTick(200)",
                         }));
  EXPECT_TRUE(view.enabled[n_ui::kApply]);
  EXPECT_TRUE(view.enabled[n_ui::kDonate]);
  EXPECT_TRUE(view.enabled[n_ui::kAbout]);

  TickUntilIdle();
  EXPECT_EQ(Titles(), (std::vector<std::string>{"66% [2/3] Mivora", "100% [3/3] Mivora", "Mivora"}));
  EXPECT_EQ(view.Count("FlashWindow"), 1u);
  EXPECT_EQ(view.calls.back(), "FlashWindow");
  EXPECT_EQ(view.Count("SetTaskbarState(0)"), 1u);
  EXPECT_TRUE(view.messages.empty());
  ExpectIdle();

  // The tool ran once per file, in list order, with the file last on its line.
  ASSERT_EQ(jobs.runner.starts.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const t_String& line = jobs.runner.starts[i].commandLine;
    const t_String clip = Clips(3)[i];
    EXPECT_EQ(line.substr(line.size() - clip.size() - 1), clip + ZTEXT("\"")) << ToUtf8(line);
  }
  // N files whose tool ends within a tick take N + 1 ticks.
  EXPECT_EQ(jobs.unpacks, 1);
  EXPECT_TRUE(dialog->HasUnpackedTools());
}

TEST_F(RunControl, OneFileShowsAHundredPercentFromTheStart) {
  OpenWithClips(1);
  Command(n_ui::kApply);
  EXPECT_EQ(Titles(), std::vector<std::string>{"100% [1/1] Mivora"});
  TickUntilIdle();
  EXPECT_EQ(Titles(), (std::vector<std::string>{"100% [1/1] Mivora", "Mivora"}));
}

TEST_F(RunControl, FailureOnTheSecondOfThreeIsReportedOnce) {
  OpenWithClips(3);
  jobs.runner.scripts[1] = {1, 1};  // the second tool runs one poll, then exits with 1
  view.whileMessageOpen = [&] {
    // The box is open: taskbar in the error state, no tick, still the run's state.
    EXPECT_EQ(view.taskbarState, t_TaskbarState::Error);
    EXPECT_FALSE(view.ticking);
    EXPECT_EQ(view.texts[n_ui::kApply], ZTEXT("Stop"));
    EXPECT_EQ(view.title, ZTEXT("66% [2/3] Mivora"));
  };
  Command(n_ui::kApply);
  TickUntilIdle();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].first,
            FromUtf8("neroAACTag process did not exit gracefully: error #-2147024895\n"
                     "clip2.mp4\n"
                     "The tagger did not accept a tag value or an option."));
  EXPECT_EQ(view.messages[0].second, ZTEXT("Mivora error"));
  EXPECT_EQ(view.Count("FlashWindow"), 0u);
  EXPECT_EQ(jobs.runner.starts.size(), 2u);  // the third file is never started
  ExpectIdle();
  // The order around the box: error state, the box, then the stop.
  const auto box = std::find_if(view.calls.begin(), view.calls.end(),
                                [](const std::string& call) { return call.starts_with("ShowMessage("); });
  ASSERT_NE(box, view.calls.end());
  EXPECT_EQ(*(box - 1), "SetTaskbarState(4)");
  EXPECT_EQ(*(box - 2), "StopTick");
  EXPECT_EQ(*(box + 1), "StopTick");
  EXPECT_EQ(*(box + 2), "SetTaskbarState(0)");

  // A new Apply starts a new run, without unpacking again.
  view.messages.clear();
  jobs.runner.scripts.clear();
  Command(n_ui::kApply);
  TickUntilIdle();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(jobs.unpacks, 1);
  EXPECT_EQ(jobs.runner.starts.size(), 5u);
}

TEST_F(RunControl, FailureMessagesOfTheOtherStages) {
  struct t_Case {
    const char* name;
    std::function<void(t_FakeJobSystem&)> arrange;
    n_ui::t_Language language;
    const char* message;
  };
  // The tagger's start number `start` ends with `code`.
  const auto exits = [](std::size_t start, std::uint32_t code) {
    return [=](t_FakeJobSystem& j) { j.runner.scripts[start] = {0, code}; };
  };
  // The video's line comes only where a video was under way, the reason only
  // for an exit code of the tagger's own, in the dialog's language.
  const t_Case cases[] = {
      {"start", [](t_FakeJobSystem& j) { j.runner.startFailures[0] = SystemError(2); },
       n_ui::t_Language::English, "failed to run neroAACTag: error #-2147024894\nclip1.mp4"},
      {"folder", [](t_FakeJobSystem& j) { j.createFailure = SystemError(5); }, n_ui::t_Language::English,
       "failed to create temp folder: error #-2147024891"},
      {"crash", exits(0, 0xC0000005u), n_ui::t_Language::English,
       "neroAACTag process did not exit gracefully: error #-1073741819\nclip1.mp4"},
      {"beyond the tagger's codes", exits(1, 12), n_ui::t_Language::English,
       "neroAACTag process did not exit gracefully: error #-2147024884\nclip2.mp4"},
      {"damaged", exits(1, 3), n_ui::t_Language::English,
       "neroAACTag process did not exit gracefully: error #-2147024893\nclip2.mp4\n"
       "The video is not an MP4 file, or it is damaged."},
      // A failed write names its one cause where the tagger knows it.
      {"write failed, Dutch", exits(0, 6), n_ui::t_Language::Dutch,
       "neroAACTag process did not exit gracefully: error #-2147024890\nclip1.mp4\n"
       "Het schrijven van de video is mislukt."},
      {"verify failed", exits(0, 7), n_ui::t_Language::English,
       "neroAACTag process did not exit gracefully: error #-2147024889\nclip1.mp4\n"
       "What was written did not read back right; the tagger took it back as far as the disk allowed."},
      {"access denied", exits(0, 8), n_ui::t_Language::English,
       "neroAACTag process did not exit gracefully: error #-2147024888\nclip1.mp4\n"
       "Writing failed: access to the video was denied; it may be read-only or write-protected."},
      {"disk full, Russian", exits(1, 9), n_ui::t_Language::Russian,
       "neroAACTag process did not exit gracefully: error #-2147024887\nclip2.mp4\n"
       "Запись не удалась: на диске недостаточно места для видео."},
      {"in use, Greek", exits(0, 10), n_ui::t_Language::Greek,
       "neroAACTag process did not exit gracefully: error #-2147024886\nclip1.mp4\n"
       "Η εγγραφή απέτυχε: άλλο πρόγραμμα χρησιμοποιεί το βίντεο."},
      {"device failed", exits(0, 11), n_ui::t_Language::English,
       "neroAACTag process did not exit gracefully: error #-2147024885\nclip1.mp4\n"
       "Writing failed: the device could not read or write the data."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t_FakeJobSystem system;
    c.arrange(system);
    t_FakeView caseView(c.language);
    n_ui::t_MainDialogSetup setup{Clips(2), Workspace(), 16};
    n_ui::t_MainDialog caseDialog(setup, {system, paths, decoder});
    caseDialog.OnInitDialog(caseView);
    caseView.texts[n_ui::kTitle] = ZTEXT("x");
    caseDialog.OnCommand(n_ui::kApply);
    for (int i = 0; i < 10 && caseDialog.Running(); ++i) caseDialog.OnTimerTick();
    ASSERT_EQ(caseView.messages.size(), 1u);
    EXPECT_EQ(caseView.messages[0].first, FromUtf8(c.message));
    EXPECT_FALSE(caseDialog.Running());
  }
}

TEST_F(RunControl, StopEndsTheRunSilentlyAndTerminatesTheTool) {
  OpenWithClips(3);
  jobs.runner.scripts[0] = {1000000, 0};  // runs until stopped
  Command(n_ui::kApply);
  for (int i = 0; i < 5; ++i) dialog->OnTimerTick();
  EXPECT_EQ(jobs.runner.running, 1);
  view.Take();
  Command(n_ui::kApply);  // now "Stop"
  EXPECT_EQ(jobs.runner.running, 0);
  EXPECT_EQ(jobs.runner.terminated, 1);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.Count("FlashWindow"), 0u);
  ExpectIdle();
  EXPECT_EQ(view.calls.front(), "StopTick");
}

TEST_F(RunControl, EveryEndingIsToldOnceToAScreenReaderAfterAnyMessage) {
  struct t_Case {
    t_ToolScript firstTool;
    bool stop;  // Stop pressed after the first tick
    std::string told;
  };
  const t_Case cases[] = {
      {{0, 0}, false, "Announce(Every video is tagged.)"},
      {{1000000, 0}, true, "Announce(Tagging stopped.)"},
      {{1, 2}, false, "Announce(Tagging failed.)"},
  };
  for (const t_Case& c : cases) {
    SCOPED_TRACE(c.told);
    OpenWithClips(2);
    jobs.runner.scripts[jobs.runner.attempts] = c.firstTool;
    Command(n_ui::kApply);
    dialog->OnTimerTick();
    if (c.stop) Command(n_ui::kApply);
    TickUntilIdle();
    const auto told = std::find(view.calls.begin(), view.calls.end(), c.told);
    ASSERT_NE(told, view.calls.end());
    EXPECT_EQ(std::count_if(view.calls.begin(), view.calls.end(),
                            [](const std::string& call) { return call.starts_with("Announce("); }),
              1);
    // Told once the message box is closed, never over it.
    EXPECT_EQ(std::find_if(told, view.calls.end(),
                           [](const std::string& call) { return call.starts_with("ShowMessage("); }),
              view.calls.end());
  }
}

TEST_F(RunControl, ATickWithoutAJobDoesNothing) {
  OpenWithClips(2);
  dialog->OnTimerTick();
  EXPECT_EQ(view.Take(), t_Calls{});
}

TEST_F(RunControl, EndOfSessionStopsARunBeforeTheWindowCloses) {
  OpenWithClips(2);
  jobs.runner.scripts[0] = {1000000, 0};
  Command(n_ui::kApply);
  dialog->OnTimerTick();
  view.Take();
  dialog->OnSessionEnding();
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(jobs.runner.terminated, 1);
  EXPECT_EQ(view.calls.back(), "EndDialog");
  EXPECT_EQ(view.calls.front(), "StopTick");
  EXPECT_TRUE(view.messages.empty());

  // Idle, the session end only closes.
  view.Take();
  dialog->OnSessionEnding();
  EXPECT_EQ(view.Take(), t_Calls{"EndDialog"});
}

TEST_F(RunControl, ThreeHundredFilesRefreshTheTitleOnlyWhenThePercentageChanges) {
  OpenWithClips(300);
  Command(n_ui::kApply);
  EXPECT_EQ(view.title, ZTEXT("0% [1/300] Mivora"));
  dialog->OnTimerTick();  // set-up, first file started
  dialog->OnTimerTick();  // second file started
  EXPECT_EQ(view.title, ZTEXT("0% [1/300] Mivora"));
  dialog->OnTimerTick();  // third
  EXPECT_EQ(view.title, ZTEXT("1% [3/300] Mivora"));
  TickUntilIdle();
  const auto titles = Titles();
  // 0 to 100 once each, then the plain title.
  ASSERT_EQ(titles.size(), 102u);
  EXPECT_EQ(titles[100], "100% [300/300] Mivora");
  EXPECT_EQ(titles[101], "Mivora");
  std::size_t values = 0;
  for (const auto& call : view.calls) values += call.starts_with("SetTaskbarValue(");
  EXPECT_EQ(values, 101u);
}

TEST_F(RunControl, ClosingDuringARunEndsTheToolAndRemovesTheWorkspace) {
  OpenWithClips(2);
  jobs.runner.scripts[0] = {1000000, 0};
  Command(n_ui::kApply);
  dialog->OnTimerTick();
  ASSERT_TRUE(scratch.Exists(ZTEXT("Mivora")));
  dialog->OnClose();
  EXPECT_EQ(view.calls.back(), "EndDialog");
  EXPECT_TRUE(dialog->Running());  // closing does not stop the run; the teardown does
  dialog.reset();
  // The teardown's order: the job ends its tool, the unpacked tool is let
  // go, and only then is the workspace removed.
  ASSERT_EQ(jobs.removals.size(), 1u);
  EXPECT_EQ(jobs.removals[0].toolsTerminated, 1);
  EXPECT_FALSE(jobs.removals[0].toolStillHeld);
  EXPECT_FALSE(scratch.Exists(ZTEXT("Mivora")));
}

TEST_F(RunControl, PathsHandedOverDuringARunJoinTheListWhenItEnds) {
  struct t_Case {
    const char* name;
    t_ToolScript firstTool;
    bool stop;  // the user presses Stop after the first tick
    std::size_t messages;
  };
  const t_Case cases[] = {
      {"ends normally", {1, 0}, false, 0},
      {"stopped", {1000000, 0}, true, 0},
      {"failed", {1, 3}, false, 1},
  };
  const std::vector<n_ui::t_DroppedPath> handed = {ZTEXT("late.mp4"), ZTEXT("late.png"), std::nullopt};
  const std::vector<n_ui::t_DroppedPath> whileBoxOpen = {ZTEXT("later.mp4")};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t_FakeJobSystem system;
    system.runner.scripts[0] = c.firstTool;
    t_FakeView caseView;
    n_ui::t_MainDialogSetup setup{Clips(2), Workspace(), 16};
    n_ui::t_MainDialog caseDialog(setup, {system, paths, decoder});
    caseDialog.OnInitDialog(caseView);
    caseView.texts[n_ui::kTitle] = ZTEXT("x");
    caseDialog.OnCommand(n_ui::kApply);
    caseView.Take();
    caseDialog.AcceptHandedPaths(handed);
    caseView.whileMessageOpen = [&] { caseDialog.AcceptHandedPaths(whileBoxOpen); };
    // The job reads the list by position: nothing joins it during the run.
    EXPECT_EQ(caseView.Take(), t_Calls{});
    EXPECT_EQ(caseDialog.VideoFiles().Entries(), Clips(2));
    caseDialog.OnTimerTick();
    if (c.stop) caseDialog.OnCommand(n_ui::kApply);
    for (int i = 0; i < 10 && caseDialog.Running(); ++i) caseDialog.OnTimerTick();
    ASSERT_FALSE(caseDialog.Running());
    EXPECT_EQ(caseView.messages.size(), c.messages);
    std::vector<t_String> expected = Clips(2);
    expected.push_back(ZTEXT("late.mp4"));
    if (c.messages != 0) expected.push_back(ZTEXT("later.mp4"));
    EXPECT_EQ(caseDialog.VideoFiles().Entries(), expected);
    EXPECT_EQ(caseDialog.Tags().coverPath, ZTEXT("late.png"));
    EXPECT_EQ(caseView.texts[n_ui::kVideoList], caseDialog.VideoFiles().DisplayText());
    EXPECT_TRUE(caseView.enabled[n_ui::kApply]);
    // What waited was added once.
    caseDialog.OnCommand(n_ui::kApply);
    for (int i = 0; i < 10 && caseDialog.Running(); ++i) caseDialog.OnTimerTick();
    EXPECT_EQ(caseDialog.VideoFiles().Size(), expected.size());
  }
}

TEST_F(RunControl, HandedPathsJoinAtOnceWhenIdleAndNotAtTheEndOfTheSession) {
  OpenWithClips(1);
  const std::vector<n_ui::t_DroppedPath> handed = {ZTEXT("late.mp4")};
  dialog->AcceptHandedPaths(handed);
  EXPECT_EQ(dialog->VideoFiles().Size(), 2u);
  jobs.runner.scripts[0] = {1000000, 0};
  Command(n_ui::kApply);
  dialog->AcceptHandedPaths(handed);
  dialog->OnSessionEnding();
  EXPECT_EQ(view.calls.back(), "EndDialog");
  EXPECT_EQ(dialog->VideoFiles().Size(), 2u);
}

TEST_F(RunControl, TeardownWithoutAWorkspaceIsQuiet) {
  Open();
  dialog.reset();
  EXPECT_FALSE(scratch.Exists(ZTEXT("Mivora")));
}

}  // namespace
}  // namespace n_zorbel::n_testing
