// Loading the first video's tags into the dialog, against the fake View and a
// scripted tagger that writes the files the real one would.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dialog_fixture.hpp"
#include "support/file_bytes.hpp"
#include "ui/ids.hpp"
#include "ui/texts.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui;

class LoadTagsTest : public DialogTest {
 protected:
  // What the scripted tagger writes: this listing, and the cover's bytes.
  std::string listing;
  std::string coverBytes = "a picture";

  void SetUp() override {
    jobs.runner.effect = [this](const t_String& line) {
      // The path of the file to write stands quoted after the option's colon.
      const t_String path =
          line.substr(line.find(ZTEXT('"')) + 1, line.find(ZTEXT("\" \"")) - line.find(ZTEXT('"')) - 1);
      WriteFile(std::filesystem::path(path),
                line.find(ZTEXT("-output:")) != t_String::npos ? listing : coverBytes);
    };
  }

  void Load() {
    Command(kCommandLoadTags);
    for (int i = 0; i < 100 && dialog->Loading(); ++i) dialog->OnTimerTick();
    ASSERT_FALSE(dialog->Loading());
    EXPECT_FALSE(view.ticking);
  }

  t_String FieldTexts() {
    t_String all;
    for (const int field : kTagFields) all += view.texts[field] + ZTEXT("|");
    return all;
  }
};

TEST_F(LoadTagsTest, FillsEveryFieldAndTheCoverFromTheFirstVideo) {
  Open(Clips(2));
  for (const int field : kTagFields) Type(field, "typed before");
  listing =
      "text\ttitle\tBlue \\\"Sky\\\"\ntext\tartist\tDuv Ize\ntext\tkeys:year\t2016-05-03T10:00:00Z\n"
      "text\tcomment\tAudio: A\\rVideo: V1\\r\\nV2\\rComment: Fan edit\ncover\t1\tpng\t9\n";
  Load();
  ASSERT_EQ(jobs.runner.starts.size(), 2u);
  const t_String list = Workspace() + ZTEXT("tags-1.txt");
  const t_String cover = Workspace() + ZTEXT("cover-1.png");
  EXPECT_EQ(jobs.runner.starts[0].commandLine,
            ZTEXT(" -list-meta:machine -output:\"") + list + ZTEXT("\" \"clip1.mp4\""));
  EXPECT_EQ(jobs.runner.starts[1].commandLine,
            ZTEXT(" -extract-cover:1:\"") + cover + ZTEXT("\" \"clip1.mp4\""));
  // The genre the video does not hold is emptied.
  EXPECT_EQ(FieldTexts(), ZTEXT("Blue \"Sky\"|Duv Ize||2016|A|V1\r\nV2|Fan edit|"));
  EXPECT_EQ(dialog->Tags().coverPath, cover);
  EXPECT_EQ(view.texts[kCoverPath], cover);
  EXPECT_EQ(ReadFile(std::filesystem::path(cover)), coverBytes);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(list)));
  EXPECT_EQ(view.Count("Announce(The tags of the first video are loaded.)"), 1u);
  EXPECT_TRUE(view.messages.empty());

  // A second load, of a video without a cover, takes the cover away and removes the first one's file.
  listing = "text\tcomment\tonly a comment\n";
  Load();
  EXPECT_EQ(FieldTexts(), ZTEXT("||||||only a comment|"));
  EXPECT_EQ(dialog->Tags().coverPath, ZTEXT(""));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(cover)));
}

TEST_F(LoadTagsTest, AValueAFieldCannotTakeIsRefusedAndNothingChanges) {
  struct {
    std::string listing;
    const char* message;
  } const cases[] = {
      {"text\tcomment\t" + std::string(32768, 'x') + "\ncover\t1\tjpeg\t9\n",
       "The video's “Comment” is longer than the field takes: at most 32767 characters. Nothing was loaded."},
      {"text\ttitle\t" + std::string(32768 / 2, 'x') + "\xC3\xA9\xF0\x9F\x8E\xAC" +
           std::string(32768 / 2, 'x') + "\n",
       "The video's “Title” is longer than the field takes: at most 32767 characters. Nothing was loaded."},
      {"text\tyear\tcirca 1999\n",
       "The video's “Year” holds characters the field does not take. Nothing was loaded."},
      {"text\tgenre\tAMV\\x00MMV\n",
       "The video's “Genre” holds characters the field does not take. Nothing was loaded."},
  };
  for (const auto& c : cases) {
    Open(Clips(1));
    Type(kTitle, "kept");
    view.messages.clear();
    listing = c.listing;
    Load();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(ToUtf8(view.messages[0].first), c.message);
    EXPECT_EQ(FieldTexts(), ZTEXT("kept|||2016||||"));
    EXPECT_EQ(dialog->Tags().coverPath, ZTEXT(""));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(Workspace() + ZTEXT("cover-1.jpg"))));
  }
}

TEST_F(LoadTagsTest, AVideoTheTaggerCannotReadIsNamedWithTheCause) {
  struct {
    t_ToolScript script;
    const char* cause;
  } const cases[] = {
      {{.exitCode = 2}, "The video is missing, is a folder, or cannot be read."},
      {{.exitCode = 3}, "The video is not an MP4 file, or it is damaged."},
      {{.exitCode = 9}, "neroAACTag process did not exit gracefully: error #-2147024887"},
  };
  for (const auto& c : cases) {
    Open(Clips(2));
    Type(kTitle, "kept");
    view.messages.clear();
    jobs.runner.scripts[jobs.runner.attempts] = c.script;
    listing = "text\ttitle\tnot shown\n";
    Load();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(ToUtf8(view.messages[0].first),
              std::string("The tags of “clip1.mp4” could not be loaded; the fields stay as they were.\n") +
                  c.cause);
    EXPECT_EQ(view.texts[kTitle], ZTEXT("kept"));
  }
}

TEST_F(LoadTagsTest, OfferedOnlyWithVideosAndNothingElseStartsMeanwhile) {
  Open();
  dialog->UpdateMenuChecks(t_MenuKind::Preview);
  EXPECT_FALSE((view.menuEnabled[{t_MenuKind::Preview, kCommandLoadTags}]));
  Command(kCommandLoadTags);
  EXPECT_FALSE(dialog->Loading());
  dialog->AcceptDrop(std::vector<t_DroppedPath>{ZTEXT("clip1.mp4")});
  dialog->UpdateMenuChecks(t_MenuKind::Preview);
  EXPECT_TRUE((view.menuEnabled[{t_MenuKind::Preview, kCommandLoadTags}]));
  jobs.runner.scripts[0] = {.runningPolls = 3};
  listing = "text\ttitle\tloaded\n";
  Command(kCommandLoadTags);
  ASSERT_TRUE(dialog->Loading());
  Command(kApply);
  Command(kCommandLoadTags);
  dialog->ShowPreviewMenuFromKeyboard();
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(view.Count("PopUpPreviewMenu(500, 270)"), 0u);
  Load();
  EXPECT_EQ(jobs.runner.starts.size(), 1u);
  EXPECT_EQ(view.texts[kTitle], ZTEXT("loaded"));
}

}  // namespace
}  // namespace n_zorbel::n_testing
