#include "tagging/command_line.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "system/child_process.hpp"
#include "system/command_limits.hpp"
#include "system/command_line_splitter.hpp"
#include "tagging/command_line_check.hpp"

namespace n_zorbel::n_tagging {
namespace {

t_String Build(const t_TagSet& tags, bool removeBlank, t_StringView video) {
  t_String line;
  BuildCommandLine(tags, removeBlank, video, line);
  return line;
}

TEST(BuildCommandLine, WritesTheExampleLinesCharacterForCharacter) {
  t_TagSet full;
  full.coverPath = ZTEXT("C:\\pics\\front.jpg");
  full.title = ZTEXT("Blue Sky");
  full.artist = ZTEXT("Duv Ize");
  full.year = ZTEXT("2016");
  full.genre = ZTEXT("MMV");
  full.comment = ZTEXT("Fan edit");
  EXPECT_EQ(
      Build(full, false, ZTEXT("C:\\clips\\one.mp4")),
      ZTEXT(" -meta:title=\"Blue Sky\" -meta:artist=\"Duv Ize\" -meta:year=\"2016\" -meta:genre=\"MMV\"")
          ZTEXT(" -meta:comment=\"Fan edit\" -remove-cover:all -add-cover:front:\"C:\\pics\\front.jpg\"")
              ZTEXT(" \"C:\\clips\\one.mp4\""));

  t_TagSet titleOnly;
  titleOnly.title = ZTEXT("He said \"hi\"");
  EXPECT_EQ(Build(titleOnly, true, ZTEXT("C:\\clips\\two.mp4")),
            ZTEXT(" -meta:title=\"He said 'hi'\" -meta:artist=\"\" -meta:year=\"\" -meta:genre=\"\"")
                ZTEXT(" -meta:comment=\"\" -remove-cover:all \"C:\\clips\\two.mp4\""));

  t_TagSet artistOnly;
  artistOnly.artist = ZTEXT("Duv Ize");
  EXPECT_EQ(Build(artistOnly, false, ZTEXT("C:\\clips\\one.mp4")),
            ZTEXT(" -meta:artist=\"Duv Ize\" \"C:\\clips\\one.mp4\""));

  // And the tool receives exactly these arguments, the program-name slot empty.
  using t_Arguments = std::vector<t_String>;
  EXPECT_EQ(n_system::SplitCommandLine(Build(full, false, ZTEXT("C:\\clips\\one.mp4"))),
            (t_Arguments{ZTEXT(""), ZTEXT("-meta:title=Blue Sky"), ZTEXT("-meta:artist=Duv Ize"),
                         ZTEXT("-meta:year=2016"), ZTEXT("-meta:genre=MMV"), ZTEXT("-meta:comment=Fan edit"),
                         ZTEXT("-remove-cover:all"), ZTEXT("-add-cover:front:C:\\pics\\front.jpg"),
                         ZTEXT("C:\\clips\\one.mp4")}));
  EXPECT_EQ(n_system::SplitCommandLine(Build(titleOnly, true, ZTEXT("C:\\clips\\two.mp4"))),
            (t_Arguments{ZTEXT(""), ZTEXT("-meta:title=He said 'hi'"), ZTEXT("-meta:artist="),
                         ZTEXT("-meta:year="), ZTEXT("-meta:genre="), ZTEXT("-meta:comment="),
                         ZTEXT("-remove-cover:all"), ZTEXT("C:\\clips\\two.mp4")}));
  EXPECT_EQ(n_system::SplitCommandLine(Build(artistOnly, false, ZTEXT("C:\\clips\\one.mp4"))),
            (t_Arguments{ZTEXT(""), ZTEXT("-meta:artist=Duv Ize"), ZTEXT("C:\\clips\\one.mp4")}));
}

TEST(BuildCommandLine, HandlesEmptyValuesCoversAndReusedBuffers) {
  const t_TagSet empty;
  EXPECT_EQ(Build(empty, false, ZTEXT("v.mp4")), ZTEXT(" \"v.mp4\""));
  EXPECT_EQ(Build(empty, true, ZTEXT("v.mp4")),
            ZTEXT(" -meta:title=\"\" -meta:artist=\"\" -meta:year=\"\" -meta:genre=\"\" -meta:comment=\"\"")
                ZTEXT(" -remove-cover:all \"v.mp4\""));

  t_TagSet cover;
  cover.coverPath = ZTEXT("c.png");
  EXPECT_EQ(Build(cover, false, ZTEXT("v.mp4")),
            ZTEXT(" -remove-cover:all -add-cover:front:\"c.png\" \"v.mp4\""));

  // Each build starts from an empty buffer.
  t_String line = ZTEXT(" -meta:title=\"from the last file\" \"old.mp4\"");
  BuildCommandLine(empty, false, ZTEXT("new.mp4"), line);
  EXPECT_EQ(line, ZTEXT(" \"new.mp4\""));
}

TEST(AppendMetaOption, ChangesOnlyQuotesAndTrailingBackslashes) {
  struct {
    const t_Char* value;
    const t_Char* written;
  } const cases[] = {
      {ZTEXT("\"\"\""), ZTEXT(" -meta:k=\"'''\"")},
      {ZTEXT("a\rb\tc\r\nd \\e"), ZTEXT(" -meta:k=\"a\rb\tc\r\nd \\e\"")},
      {ZTEXT("a\\\"b"), ZTEXT(" -meta:k=\"a\\'b\"")},
      // Trailing backslashes are doubled so the closing quote stays a quote.
      {ZTEXT("dir\\"), ZTEXT(" -meta:k=\"dir\\\\\"")},
      {ZTEXT("\\\\\\"), ZTEXT(" -meta:k=\"\\\\\\\\\\\\\"")},
      {ZTEXT("x\"\\"), ZTEXT(" -meta:k=\"x'\\\\\"")},
  };
  for (const auto& c : cases) {
    t_String buffer = ZTEXT("kept");
    AppendMetaOption(buffer, ZTEXT("k"), c.value, false);
    EXPECT_EQ(buffer, t_String(ZTEXT("kept")) + c.written) << testing::PrintToString(t_String(c.value));
  }
  t_String buffer = ZTEXT("kept");
  AppendMetaOption(buffer, ZTEXT("k"), ZTEXT(""), false);
  EXPECT_EQ(buffer, ZTEXT("kept"));
}

#ifndef _WIN32
TEST(BuildCommandLine, QuotesPosixPathsByTheWindowsArgumentRules) {
  t_TagSet tags;
  tags.coverPath = ZTEXT("/p/a\"b\\.png");
  EXPECT_EQ(Build(tags, false, ZTEXT("/v/x\\\\\"y\\")),
            ZTEXT(" -remove-cover:all -add-cover:front:\"/p/a\\\"b\\.png\" \"/v/x\\\\\\\\\\\"y\\\\\""));
}
#endif

TEST(BuildCommandLine, TheToolReceivesEveryValueAndPathUnchanged) {
  const t_String values[] = {
      ZTEXT("Blue Sky"),
      ZTEXT("He said \"hi\""),
      ZTEXT("\"\""),
      ZTEXT("back\\slash"),
      ZTEXT("ends in one\\"),
      ZTEXT("ends in three\\\\\\"),
      ZTEXT("\\\""),
      ZTEXT("\"\\"),
      ZTEXT("a\\\\\"b"),
      ZTEXT("tab\there"),
      ZTEXT("lines\rwith CR\nand LF\r\n"),
      ZTEXT("   "),
      ZTEXT("\" -meta:title=\"smuggled"),
      ZTEXT("-remove-cover:all"),
      ZTEXT("caf\u00e9 \u65e5\u672c \U0001F3B5"),
  };
#ifdef _WIN32
  const t_String paths[] = {ZTEXT("C:\\clips\\one.mp4"), ZTEXT("C:\\my clips\\caf\u00e9 \u65e5.mp4"),
                            ZTEXT("\\\\server\\share\\a b.mp4"), ZTEXT("C:\\pics\\front.jpg")};
#else
  const t_String paths[] = {
      ZTEXT("C:\\clips\\one.mp4"),
      ZTEXT("/home/u/my clips/a b.mp4"),
      ZTEXT("/v/q\"uote.mp4"),
      ZTEXT("/v/back\\slash.mp4"),
      ZTEXT("/v/ends\\"),
      ZTEXT("/v/x\\\\\"y\\\\"),
      ZTEXT("/v/\" -meta:title=\"x.mp4"),
      ZTEXT("/v/tab\tand\nLF.mp4"),
      ZTEXT("/v/\xff\xfe.mp4"),
      ZTEXT("/v/caf\u00e9.png"),
  };
#endif
  for (const auto& value : values) {
    // A value's double quotes arrive as single quotes, and nothing else changes.
    t_String arrives = value;
    std::replace(arrives.begin(), arrives.end(), ZTEXT('"'), ZTEXT('\''));
    for (const auto& path : paths) {
      // Each value goes once into every field, so every key and position is covered.
      t_TagSet tags{path, value, value + ZTEXT("2"), value, value, value};
      const std::vector<t_String> options{ZTEXT(""),
                                          ZTEXT("-meta:title=") + arrives,
                                          ZTEXT("-meta:artist=") + arrives + ZTEXT("2"),
                                          ZTEXT("-meta:year=") + arrives,
                                          ZTEXT("-meta:genre=") + arrives,
                                          ZTEXT("-meta:comment=") + arrives,
                                          ZTEXT("-remove-cover:all"),
                                          ZTEXT("-add-cover:front:") + path,
                                          path};
      EXPECT_EQ(n_system::SplitCommandLine(Build(tags, false, path)), options)
          << testing::PrintToString(path);
      tags.coverPath.clear();
      std::vector<t_String> withoutCover = options;
      withoutCover.erase(withoutCover.end() - 3, withoutCover.end() - 1);
      EXPECT_EQ(n_system::SplitCommandLine(Build(tags, false, path)), withoutCover)
          << testing::PrintToString(path);
    }
  }
}

// The platform's own limits, against a real start: the longest value the
// check lets through is handed over, one more is refused before the start.
TEST(CheckCommandLine, ThePlatformsOwnLimitsHoldForARealStart) {
  const n_system::t_CommandLimits limits = n_system::CommandLimits();
  const std::vector<t_String> videos{ZTEXT("a.mp4"), ZTEXT("a-longer-name.mp4")};
  t_TagSet tags;
  tags.title = t_String(30000, ZTEXT('t'));
  tags.comment = t_String(30000, ZTEXT('c'));
#ifdef _WIN32
  // CreateProcessW takes 32,767 characters in all.
  const auto breach = CheckCommandLine(tags, false, videos, limits);
  ASSERT_TRUE(breach);
  EXPECT_FALSE(breach->field);
  EXPECT_EQ(breach->limit, 32767u);
  tags.comment.resize(2000);
  EXPECT_FALSE(CheckCommandLine(tags, false, videos, limits));
#else
  EXPECT_FALSE(CheckCommandLine(tags, false, videos, limits));
  // One argument: MAX_ARG_STRLEN less the option's name and the terminator.
  tags.comment.assign(limits.argument - 1 - 14, ZTEXT('c'));
  EXPECT_FALSE(CheckCommandLine(tags, false, videos, limits));
  t_String line;
  BuildCommandLine(tags, false, videos[1], line);
  n_system::t_ChildProcessRunner runner;
  auto process = runner.Start(ZTEXT("/bin/true"), line);
  process->Finish(n_system::kWaitForever, true);
  EXPECT_EQ(process->ExitCode(), 0u);

  tags.comment += ZTEXT('c');
  const auto breach = CheckCommandLine(tags, false, videos, limits);
  ASSERT_TRUE(breach);
  EXPECT_EQ(breach->field, t_LineField::Comment);
  EXPECT_EQ(breach->limit, limits.argument - 1 - 14);
  BuildCommandLine(tags, false, videos[1], line);
  EXPECT_THROW(runner.Start(ZTEXT("/bin/true"), line), n_system::t_ErrorException) << "the kernel agrees";
#endif
}

}  // namespace
}  // namespace n_zorbel::n_tagging
