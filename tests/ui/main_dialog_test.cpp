// The dialog's behaviour outside a run's ticks: opening, enable rules,
// commands, pickers, the genre menu, the window extras, drops and the cover.
#include "ui/main_dialog.hpp"

#include <gtest/gtest.h>

#include "dialog_fixture.hpp"
#include "ui/ids.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui;  // the ids
using t_Calls = std::vector<std::string>;

// --- Opening ---------------------------------------------------------------

TEST_F(DialogTest, OpensTitledWithEveryTextAndAnEmptyList) {
  Open();
  const std::pair<int, const char*> shown[] = {
      {kVideoListLabel, "Video file(s)"},
      {kVideoList, ""},
      {kBrowseVideos, "Browse..."},
      {kCoverPathLabel, "Cover file"},
      {kCoverPath, ""},
      {kBrowseCover, "Browse..."},
      {kTitleLabel, "Title"},
      {kAuthorLabel, "Author"},
      {kGenreLabel, "Genre"},
      {kGenreButton, "+"},
      {kYearLabel, "Year"},
      {kYear, "2016"},
      {kAudioSourcesLabel, "Audio source(s)"},
      {kVideoSourcesLabel, "Video source(s)"},
      {kCommentLabel, "Comment"},
      {kRemoveBlank, "Remove tags that are left blank"},
      {kApply, "Apply"},
      {kDonate, "Donate"},
      {kAbout, "About"},
  };
  for (const auto& [control, text] : shown) EXPECT_EQ(view.texts[control], FromUtf8(text)) << control;
  EXPECT_EQ(view.title, ZTEXT("Mivora"));
  EXPECT_GE(view.Count("RepaintPreview"), 1u);
  // Every field takes up to 32767 characters; the year spins from 0 to 32767.
  for (const int field : {kTitle, kAuthor, kGenre, kYear, kAudioSources, kVideoSources, kComment})
    EXPECT_EQ(view.limits[field], 32767) << field;
  EXPECT_EQ(view.yearRange, (std::pair<std::int32_t, std::int32_t>{0, 32767}));
  // Screen readers get names for the buttons that show only a sign, and the
  // preview's way to its menu.
  EXPECT_EQ(view.accessible[kBrowseVideos].first, ZTEXT("Browse for videos"));
  EXPECT_EQ(view.accessible[kBrowseCover].first, ZTEXT("Browse for a cover"));
  EXPECT_EQ(view.accessible[kGenreButton].first, ZTEXT("Add a genre"));
  EXPECT_EQ(view.accessible[kPreview],
            (std::pair<t_String, t_String>{
                ZTEXT("Cover preview"), ZTEXT("The menu key or Shift+F10 opens its menu: draw checks, draw "
                                              "video reel, fit into 256x256, refresh, remove the cover, load "
                                              "the tags of the first video.")}));
  EXPECT_EQ(view.alwaysOnTopItem, ZTEXT("Always on top"));
  EXPECT_FALSE(view.enabled[kApply]);
  EXPECT_EQ(dialog->PreviewOptions().drawChecks, true);
  EXPECT_EQ(dialog->PreviewOptions().drawVideoReel, true);
  EXPECT_EQ(dialog->PreviewOptions().fitInto256, true);
  EXPECT_FALSE(dialog->AlwaysOnTop());
  EXPECT_FALSE(dialog->Cover());
}

TEST_F(DialogTest, CommandLinePathsAreListedInOrderAndAnImageBecomesTheCover) {
  decoder.pictures[ZTEXT("cover.jpg")] = {640, 360};
  Open({ZTEXT("b.mp4"), ZTEXT("notes.txt"), ZTEXT("cover.jpg"), ZTEXT("a.MP4")});
  EXPECT_EQ(view.texts[kVideoList], ZTEXT("b.mp4;a.MP4"));
  EXPECT_EQ(view.texts[kCoverPath], ZTEXT("cover.jpg"));
  EXPECT_TRUE(view.enabled[kApply]);
  ASSERT_TRUE(dialog->Cover());
  EXPECT_EQ(dialog->Cover()->Width(), 640u);
}

TEST_F(DialogTest, OpensInDutch) {
  t_FakeView dutch(t_Language::Dutch);
  n_ui::t_MainDialog d({{}, Workspace(), 16}, {jobs, paths, decoder});
  d.OnInitDialog(dutch);
  EXPECT_EQ(dutch.texts[kApply], ZTEXT("Toepassen"));
  EXPECT_EQ(dutch.texts[kVideoListLabel], ZTEXT("Video bestand(en)"));
  EXPECT_EQ(dutch.title, ZTEXT("Mivora"));
}

// --- Enable rules and ignored commands ----------------------------------------

TEST_F(DialogTest, EscapeAndEnterNeverCloseTheWindow) {
  Open(Clips(1));
  Type(kTitle, "t");
  for (const bool running : {false, true}) {
    if (running) {
      jobs.runner.scripts[0] = {1000, 0};
      Command(kApply);
      ASSERT_TRUE(dialog->Running());
    }
    view.Take();
    for (const int id : {kCommandOk, kCommandCancel, 0, 1025, 9999, 40100, 40102}) Command(id);
    EXPECT_EQ(view.Take(), t_Calls{}) << running;
    EXPECT_FALSE(view.ended);
  }
}

TEST_F(DialogTest, DuringARunOnlyStopDonateAndAboutAct) {
  decoder.pictures[ZTEXT("c.png")] = {10, 10};
  Open({ZTEXT("a.mp4"), ZTEXT("c.png")});
  Type(kTitle, "t");
  jobs.runner.scripts[0] = {1000, 0};
  Command(kApply);
  view.Take();
  for (const int id :
       {kBrowseVideos, kBrowseCover, kGenreButton, kFirstGenreCommand, kLastGenreCommand, kCommandDrawChecks,
        kCommandDrawVideoReel, kCommandFitInto256, kCommandRefresh, kCommandRemove})
    Command(id);
  EXPECT_EQ(view.Take(), t_Calls{});
  EXPECT_TRUE(dialog->PreviewOptions().drawChecks);
  EXPECT_EQ(dialog->Tags().coverPath, ZTEXT("c.png"));

  Command(kDonate);
  Command(kAbout);
  EXPECT_EQ(view.Take(), (t_Calls{"OpenWebPage(" + ToUtf8(DonationPageAddress()) + ")", "ShowAbout"}));
  EXPECT_TRUE(dialog->Running());  // the run goes on behind the About box
}

TEST_F(DialogTest, ApplyWithAnEmptyListDoesNothing) {
  Open();
  Type(kTitle, "t");
  view.Take();
  Command(kApply);
  EXPECT_EQ(view.Take(), t_Calls{});
  EXPECT_FALSE(dialog->Running());
}

TEST_F(DialogTest, ApplyReadsTheFieldsAndComposesTheComment) {
  Open(Clips(1));
  Type(kTitle, "T");
  Type(kAuthor, "A");
  Type(kGenre, "G");
  Type(kAudioSources, "song");
  Type(kComment, "hi");
  Command(kApply);
  EXPECT_TRUE(dialog->Running());
  const auto& tags = dialog->Tags();
  EXPECT_EQ(tags.title, ZTEXT("T"));
  EXPECT_EQ(tags.artist, ZTEXT("A"));
  EXPECT_EQ(tags.genre, ZTEXT("G"));
  EXPECT_EQ(tags.year, ZTEXT("2016"));
  EXPECT_EQ(tags.comment, ZTEXT("Audio: song\rComment: hi"));
  EXPECT_FALSE(dialog->RemoveBlank());
}

// --- Pickers -----------------------------------------------------------------------

TEST_F(DialogTest, VideoPickerReplacesTheListAndCancelLeavesItEmpty) {
  Open(Clips(2));
  view.pickAnswers.push_back({ZTEXT("x.mp4"), ZTEXT("y.mp4"), ZTEXT("z.mp4")});
  Command(kBrowseVideos);
  ASSERT_EQ(view.pickRequests.size(), 1u);
  t_PickRequest files;
  files.fileTypeName = ZTEXT("Video files");
  files.defaultExtension = ZTEXT("mp4");
  files.pattern = ZTEXT("*.mp4");
  files.multiSelect = true;
  EXPECT_EQ(view.pickRequests[0], files);
  EXPECT_EQ(view.texts[kVideoList], ZTEXT("x.mp4;y.mp4;z.mp4"));
  EXPECT_TRUE(view.enabled[kApply]);

  // Cancelled: the list is left empty.
  Command(kBrowseVideos);
  EXPECT_EQ(view.pickRequests.size(), 2u);
  EXPECT_EQ(view.texts[kVideoList], ZTEXT(""));
  EXPECT_FALSE(view.enabled[kApply]);
  EXPECT_TRUE(dialog->VideoFiles().Empty());
}

TEST_F(DialogTest, VideoPickerWithCtrlPicksFoldersAndScansThem) {
  const t_String clips = t_String(ZTEXT("clips")) + kPathSeparator;
  paths.folders[clips] = {ZTEXT("one.mp4"), ZTEXT("cover.png"), ZTEXT("two.mp4")};
  Open();
  view.ctrlDown = true;
  view.pickAnswers.push_back({ZTEXT("clips")});
  Command(kBrowseVideos);
  t_PickRequest folders;
  folders.multiSelect = true;
  folders.pickFolders = true;
  ASSERT_EQ(view.pickRequests.size(), 1u);
  EXPECT_EQ(view.pickRequests[0], folders);
  EXPECT_EQ(dialog->VideoFiles().DisplayText(), clips + ZTEXT("one.mp4;") + clips + ZTEXT("two.mp4"));
  // A picked folder's image becomes the cover path, but the picker refreshes only the list.
  EXPECT_EQ(dialog->Tags().coverPath, clips + ZTEXT("cover.png"));
}

TEST_F(DialogTest, CoverPickerTakesAnyFileAndCancelRemovesTheCover) {
  decoder.pictures[ZTEXT("art.gif")] = {300, 300};
  Open();
  view.pickAnswers.push_back({ZTEXT("art.gif")});
  Command(kBrowseCover);
  t_PickRequest images;
  images.fileTypeName = ZTEXT("Image files");
  images.defaultExtension = ZTEXT("jpg");
  images.pattern = ZTEXT("*.jpg;*.png");
  ASSERT_EQ(view.pickRequests.size(), 1u);
  EXPECT_EQ(view.pickRequests[0], images);
  EXPECT_EQ(view.texts[kCoverPath], ZTEXT("art.gif"));  // no extension test
  EXPECT_TRUE(dialog->Cover());

  Command(kBrowseCover);  // cancelled
  EXPECT_EQ(view.texts[kCoverPath], ZTEXT(""));
  EXPECT_FALSE(dialog->Cover());
}

// --- Genre menu, web pages, About ---------------------------------------------------------

TEST_F(DialogTest, GenresAreAppendedWithACommaAndNeverDeduplicated) {
  Open();
  Command(kGenreButton);
  EXPECT_EQ(view.calls.back(), "PopUpGenreMenu");
  const struct {
    int command;
    const char* field;
  } steps[] = {{40001, "Action"}, {40008, "Action, GMV"}, {40008, "Action, GMV, GMV"}};
  for (const auto& step : steps) {
    Command(step.command);
    EXPECT_EQ(view.texts[kGenre], FromUtf8(step.field));
  }
  // Text typed by hand stays in front; an unreadable item changes nothing.
  Type(kGenre, "my own");
  Command(40019);
  EXPECT_EQ(view.texts[kGenre], ZTEXT("my own, Trailer"));
  view.unreadableGenres = {40006};
  view.Take();
  Command(40006);
  EXPECT_EQ(view.Take(), t_Calls{});
  EXPECT_EQ(view.texts[kGenre], ZTEXT("my own, Trailer"));
}

TEST_F(DialogTest, DonateAndAboutOpenThePagesWithTheQuery) {
  Open();
  view.Take();
  Command(kDonate);
  EXPECT_EQ(view.Take(), t_Calls{"OpenWebPage(" + ToUtf8(DonationPageAddress()) + ")"});
  Command(kAbout);
  ASSERT_EQ(view.aboutBoxes.size(), 1u);
  const t_AboutBox& about = view.aboutBoxes[0];
  EXPECT_EQ(about.title, ZTEXT("About"));
  EXPECT_EQ(about.linkAddress, ProductLinkAddress());
  EXPECT_EQ(about.clickAddress, about.linkAddress + ZTEXT("?from=Mivora v1.0.12"));
  EXPECT_EQ(about.versionLine, ZTEXT("Mivora v1.0.12"));
}

// --- Window extras ---------------------------------------------------------------------------

TEST_F(DialogTest, AlwaysOnTopTogglesTheBandAndTheCheckMark) {
  Open();
  EXPECT_TRUE(dialog->UpdateMenuChecks(t_MenuKind::System));
  EXPECT_FALSE((view.menuChecks[{t_MenuKind::System, kCommandAlwaysOnTop}]));
  for (const bool expected : {true, false, true}) {
    view.Take();
    EXPECT_TRUE(dialog->OnSystemCommand(kCommandAlwaysOnTop));
    EXPECT_EQ(view.topmost, expected);
    EXPECT_TRUE(dialog->UpdateMenuChecks(t_MenuKind::System));
    EXPECT_EQ((view.menuChecks[{t_MenuKind::System, kCommandAlwaysOnTop}]), expected);
  }
  // The standard system commands are left to the platform.
  view.Take();
  EXPECT_FALSE(dialog->OnSystemCommand(0xF060));  // SC_CLOSE
  EXPECT_EQ(view.Take(), t_Calls{});
}

TEST_F(DialogTest, PreviewMenuChecksFollowTheOptionsAndOtherMenusAreNotOurs) {
  Open();
  const auto checks = [&] {
    EXPECT_TRUE(dialog->UpdateMenuChecks(t_MenuKind::Preview));
    std::vector<bool> marks;
    for (const int item : {kCommandDrawChecks, kCommandDrawVideoReel, kCommandFitInto256})
      marks.push_back(view.menuChecks.at({t_MenuKind::Preview, item}));
    return marks;
  };
  EXPECT_EQ(checks(), (std::vector<bool>{true, true, true}));
  Command(kCommandDrawVideoReel);
  Command(kCommandFitInto256);
  Command(kCommandFitInto256);
  EXPECT_EQ(checks(), (std::vector<bool>{true, false, true}));
  view.Take();
  EXPECT_FALSE(dialog->UpdateMenuChecks(t_MenuKind::Genre));
  EXPECT_FALSE(dialog->UpdateMenuChecks(t_MenuKind::Other));
  EXPECT_EQ(view.Take(), t_Calls{});
}

TEST_F(DialogTest, TheBackgroundDragsTheWindowEdgesIncluded) {
  Open();
  view.clientRect = {100, 200, 772, 576};
  EXPECT_TRUE(dialog->HitTest({772, 576}));
  EXPECT_TRUE(dialog->HitTest({100, 200}));
  EXPECT_FALSE(dialog->HitTest({773, 300}));
  EXPECT_FALSE(dialog->HitTest({300, 199}));
}

TEST_F(DialogTest, PreviewMenuOpensOnlyInsideThePreviewAndNeverDuringARun) {
  Open(Clips(1));
  view.previewRect = {500, 270, 760, 530};
  view.Take();
  dialog->ShowPreviewMenu({760, 530});
  dialog->ShowPreviewMenu({500, 270});
  dialog->ShowPreviewMenu({761, 400});
  dialog->ShowPreviewMenu({300, 300});
  EXPECT_EQ(view.Take(), (t_Calls{"PopUpPreviewMenu(760, 530)", "PopUpPreviewMenu(500, 270)"}));

  Type(kTitle, "t");
  jobs.runner.scripts[0] = {1000, 0};
  Command(kApply);
  view.Take();
  dialog->ShowPreviewMenu({600, 400});
  dialog->ShowPreviewMenuFromKeyboard();
  EXPECT_EQ(view.Take(), t_Calls{});
}

TEST_F(DialogTest, TheMenuKeyOpensThePreviewMenuAtThePreviewsCorner) {
  Open();
  view.previewRect = {-300, 40, -40, 300};  // on a screen left of the primary one
  view.Take();
  dialog->ShowPreviewMenuFromKeyboard();
  EXPECT_EQ(view.Take(), t_Calls{"PopUpPreviewMenu(-300, 40)"});
}

// --- Drops -------------------------------------------------------------------------------------

TEST_F(DialogTest, ADropAppendsInOrderSkipsBadLengthsAndRefreshesOnce) {
  decoder.pictures[ZTEXT("b.png")] = {50, 50};
  Open({ZTEXT("first.mp4")});
  const t_String longest = t_String(32764, ZTEXT('x')) + ZTEXT(".mp4");  // 32768 characters
  const t_String tooLong = ZTEXT("y") + longest;                         // 32769
  // Empty, too long, or not handed over whole: skipped.
  const std::vector<t_DroppedPath> dropped = {ZTEXT("c.mp4"), ZTEXT(""),      ZTEXT("a.jpg"), tooLong,
                                              std::nullopt,   ZTEXT("b.png"), ZTEXT("a.mp4"), longest};
  view.Take();
  dialog->AcceptDrop(dropped);
  const auto& files = dialog->VideoFiles().Entries();
  EXPECT_EQ(files, (std::vector<t_String>{ZTEXT("first.mp4"), ZTEXT("c.mp4"), ZTEXT("a.mp4"), longest}));
  EXPECT_EQ(dialog->Tags().coverPath, ZTEXT("b.png"));  // the last image in the drop's order
  EXPECT_EQ(view.Count("SetControlText(1002, " + ToUtf8(dialog->VideoFiles().DisplayText()) + ")"), 1u);
  EXPECT_EQ(view.Count("SetControlText(1005, b.png)"), 1u);
  EXPECT_EQ(view.Count("RepaintPreview"), 1u);
}

TEST_F(DialogTest, AnUnsupportedDropStillRefreshesButAnEmptyOneDoesNot) {
  Open({ZTEXT("a.mp4")});
  view.Take();
  const std::vector<t_DroppedPath> text = {ZTEXT("notes.txt")};
  dialog->AcceptDrop(text);
  EXPECT_EQ(view.texts[kVideoList], ZTEXT("a.mp4"));
  EXPECT_EQ(view.texts[kCoverPath], ZTEXT(""));
  EXPECT_TRUE(view.enabled[kApply]);
  EXPECT_EQ(view.Count("RepaintPreview"), 1u);
  view.Take();
  dialog->AcceptDrop({});
  EXPECT_EQ(view.Take(), t_Calls{});
}

TEST_F(DialogTest, DropsAreIgnoredDuringARun) {
  Open(Clips(1));
  Type(kTitle, "t");
  jobs.runner.scripts[0] = {1000, 0};
  Command(kApply);
  view.Take();
  const std::vector<t_DroppedPath> dropped = {ZTEXT("more.mp4"), ZTEXT("new.png")};
  dialog->AcceptDrop(dropped);
  EXPECT_EQ(view.Take(), t_Calls{});
  EXPECT_EQ(dialog->VideoFiles().Size(), 1u);
  EXPECT_TRUE(dialog->Tags().coverPath.empty());
  EXPECT_EQ(dialog->DropDescriptionText(), ZTEXT("Add files"));
}

// --- Cover and preview --------------------------------------------------------------------------

TEST_F(DialogTest, PreviewCommandsDecodeAgainAndRepaint) {
  decoder.pictures[ZTEXT("c.png")] = {1920, 1080};
  Open({ZTEXT("c.png")});
  EXPECT_EQ(decoder.decoded.size(), 1u);
  auto layout = dialog->PreviewLayout(260, 260);
  ASSERT_TRUE(layout.overlay);
  EXPECT_EQ(layout.destination, (n_preview::t_Rect{33, 65, 194, 129}));

  // The file on disk changed: Refresh shows the new picture.
  decoder.pictures[ZTEXT("c.png")] = {300, 200};
  view.Take();
  Command(kCommandRefresh);
  EXPECT_EQ(view.Take(), t_Calls{"RepaintPreview"});
  EXPECT_EQ(dialog->Cover()->Width(), 300u);

  Command(kCommandDrawVideoReel);
  Command(kCommandDrawChecks);
  EXPECT_EQ(decoder.decoded.size(), 4u);  // every toggle decodes again
  layout = dialog->PreviewLayout(260, 260);
  EXPECT_FALSE(layout.overlay);
  EXPECT_EQ(layout.background, n_preview::t_Background::Window);
  EXPECT_EQ(layout.destination, (n_preview::t_Rect{2, 45, 256, 170}));

  // Remove: the path, the edit and the picture go; the placeholder shows.
  view.Take();
  Command(kCommandRemove);
  EXPECT_EQ(view.texts[kCoverPath], ZTEXT(""));
  EXPECT_EQ(view.Count("RepaintPreview"), 1u);
  EXPECT_FALSE(dialog->Cover());
  EXPECT_TRUE(dialog->Tags().coverPath.empty());
  EXPECT_FALSE(dialog->PreviewLayout(260, 260).hasPicture);
}

TEST_F(DialogTest, ThePictureArrivesLaterAndNeverAfterItsCoverWasRemoved) {
  decoder.pictures[ZTEXT("c.png")] = {640, 360};
  decoder.holding = true;
  Open({ZTEXT("c.png")});
  EXPECT_FALSE(dialog->Cover());  // the window opens while the picture decodes
  view.Take();
  decoder.Deliver();
  EXPECT_EQ(view.Take(), t_Calls{"RepaintPreview"});
  ASSERT_TRUE(dialog->Cover());

  // A toggle shows at once over the picture held; its decode replaces it later.
  Command(kCommandDrawChecks);
  EXPECT_EQ(view.Take(), t_Calls{"RepaintPreview"});
  EXPECT_TRUE(dialog->Cover());
  Command(kCommandRemove);
  EXPECT_FALSE(dialog->Cover());
  decoder.Deliver();  // abandoned: nothing arrives
  EXPECT_FALSE(dialog->Cover());

  // A dialog that goes while its picture decodes is never reached by it.
  const std::vector<t_DroppedPath> dropped = {ZTEXT("c.png")};
  dialog->AcceptDrop(dropped);
  const int abandons = decoder.abandons;
  dialog.reset();
  EXPECT_EQ(decoder.abandons, abandons + 1);
  decoder.Deliver();
}

TEST_F(DialogTest, AnUndecodableCoverKeepsItsPath) {
  Open({ZTEXT("missing.png")});
  EXPECT_EQ(view.texts[kCoverPath], ZTEXT("missing.png"));
  EXPECT_FALSE(dialog->Cover());
  EXPECT_EQ(dialog->PreviewLayout(200, 100).placeholderText, (n_preview::t_Point{100, 50}));
  // A run still passes it to the tool.
  Command(kApply);  // no videos: nothing
  EXPECT_EQ(dialog->Tags().coverPath, ZTEXT("missing.png"));
}

TEST_F(DialogTest, CheckSizeComesFromTheSetup) {
  n_ui::t_MainDialog d({{}, Workspace(), 24}, {jobs, paths, decoder});
  EXPECT_EQ(d.CheckSize(), 24);
}

}  // namespace
}  // namespace n_zorbel::n_testing
