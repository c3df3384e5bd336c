// What the dialog does with what it cannot carry: values too long for the
// platform's command line, fields that are full, paths too long to list, and
// a video that became a link after it was listed.
#include <gtest/gtest.h>

#include <string>

#include "dialog_fixture.hpp"
#include "ui/ids.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui;  // the ids
using t_Measure = n_system::t_CommandLimits::t_Measure;

class Limits : public DialogTest {
 protected:
  void Fill(int control, std::size_t length) { view.texts[control] = t_String(length, ZTEXT('x')); }
  std::string Message() const {
    return view.messages.empty() ? "(none)" : ToUtf8(view.messages.back().first);
  }
};

// One argument may hold 100 units (Linux counts each one), or the line 300
// in all; what names the message and that nothing starts.
TEST_F(Limits, ValuesThatDoNotFitTheCommandLineStartNothingAndNameTheField) {
  struct t_Case {
    const char* name;
    t_Measure measure;
    std::vector<std::pair<int, std::size_t>> fields;  // field, length
    std::string message;                              // empty: it runs
  };
  const t_Case cases[] = {
      {"a title that just fits", t_Measure::Arguments, {{kTitle, 87}}, ""},
      {"a title one over",
       t_Measure::Arguments,
       {{kTitle, 88}},
       "“Title” is too long to hand to the tagger: this system takes at most 87 bytes for it. Nothing was "
       "tagged."},
      {"the comment's parts together",
       t_Measure::Arguments,
       {{kAudioSources, 40}, {kComment, 60}},
       "“Audio source(s) + Comment” is too long to hand to the tagger: this system takes at most 85 bytes "
       "for it. "
       "Nothing was tagged."},
      {"each fits, all together not",
       t_Measure::Arguments,
       {{kTitle, 80}, {kAuthor, 80}, {kGenre, 85}, {kYear, 80}},
       "The values are too long together to hand to the tagger: this system takes at most 300 bytes for all "
       "of "
       "them. Shorten “Genre”, the longest. Nothing was tagged."},
      {"the whole line, in characters",
       t_Measure::Line,
       {{kTitle, 100}, {kVideoSources, 200}},
       "The values are too long together to hand to the tagger: this system takes at most 300 characters for "
       "all "
       "of them. Shorten “Video source(s)”, the longest. Nothing was tagged."},
  };
  for (const t_Case& c : cases) {
    SCOPED_TRACE(c.name);
    jobs.limits = {c.measure, c.measure == t_Measure::Arguments ? 100u : 0u, 300};
    view = t_FakeView();
    Open(Clips(2));
    Type(kYear, "");
    for (const auto& [field, length] : c.fields) Fill(field, length);
    const int workspaces = jobs.workspacesCreated;
    Command(kApply);
    if (c.message.empty()) {
      EXPECT_TRUE(dialog->Running());
      EXPECT_TRUE(view.messages.empty()) << Message();
      continue;
    }
    EXPECT_FALSE(dialog->Running());
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(Message(), c.message);
    EXPECT_EQ(jobs.workspacesCreated, workspaces) << "nothing started";
  }
}

TEST_F(Limits, AFullFieldBeepsAndAGenreThatWouldNotFitIsNotInserted) {
  Open();
  view.Take();
  dialog->OnFieldFull();
  EXPECT_EQ(view.Take(), (std::vector<std::string>{"Beep"}));

  Fill(kGenre, kFieldLimit - 6);
  Command(kFirstGenreCommand);  // ", Action" is 8 more
  EXPECT_EQ(view.Take(), (std::vector<std::string>{"Beep"}));
  EXPECT_EQ(view.texts[kGenre].size(), static_cast<std::size_t>(kFieldLimit - 6));
  Fill(kGenre, kFieldLimit - 8);
  Command(kFirstGenreCommand);
  EXPECT_EQ(view.texts[kGenre].size(), static_cast<std::size_t>(kFieldLimit));
  // Counted as the field counts, in UTF-16 units, not in bytes of UTF-8.
  t_String accented;
  for (std::size_t i = 0; i < kFieldLimit - 8; ++i) accented += FromUtf8("\xC3\xA9");
  view.texts[kGenre] = accented;
  Command(kFirstGenreCommand);
  EXPECT_EQ(view.texts[kGenre], accented + ZTEXT(", Action"));
}

// Paths too long to list are counted per intake and told once, at its end.
TEST_F(Limits, PathsTooLongForTheSystemAreToldOnceAtTheEndOfEachIntake) {
  const t_String folder = ZTEXT("deep") + t_String(1, kPathSeparator);
  paths.folders[folder] = {ZTEXT("a.mp4"), ZTEXT("long1.mp4"), ZTEXT("long2")};
  paths.tooLong = {folder + ZTEXT("long1.mp4"), folder + ZTEXT("long2")};
  Open({ZTEXT("deep")});
  EXPECT_EQ(dialog->VideoFiles().Size(), 1u);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(Message(),
            "Some files were not added: their paths are longer than this system allows. Skipped: 2");
  EXPECT_EQ(view.messages[0].second, ZTEXT("Mivora"));

  const std::vector<n_ui::t_DroppedPath> ok = {ZTEXT("b.mp4")};
  dialog->AcceptDrop(ok);
  EXPECT_EQ(view.messages.size(), 1u) << "nothing skipped, nothing said";
  view.pickAnswers.push_back({ZTEXT("deep"), ZTEXT("deep")});
  Command(kBrowseVideos);
  EXPECT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(Message(),
            "Some files were not added: their paths are longer than this system allows. Skipped: 4");
}

// A video that is a link now but was not when listed is refused before its
// tool starts; one that was a link already is the user's choice and tagged.
TEST_F(Limits, AVideoThatBecameALinkIsRefusedAndTheRunStops) {
  paths.links = {ZTEXT("chosen-link.mp4")};
  Open({ZTEXT("chosen-link.mp4"), ZTEXT("clip2.mp4"), ZTEXT("clip3.mp4")});
  paths.links.insert(ZTEXT("clip2.mp4"));
  Type(kTitle, "t");
  Command(kApply);
  TickUntilIdle();
  EXPECT_EQ(jobs.runner.starts.size(), 1u) << "only the video listed as a link ran";
  EXPECT_EQ(Message(),
            "failed to run neroAACTag: error #-2147024215\nclip2.mp4\n"
            "The video was replaced by a link after it was added; it was not tagged.");
}

}  // namespace
}  // namespace n_zorbel::n_testing
