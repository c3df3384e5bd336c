// The language choice: English appended as the last fallback, then the first
// name that a table carries decides.
#include "ui/language.hpp"

#include <gtest/gtest.h>

namespace n_zorbel::n_ui {
namespace {

using List = std::vector<std::string>;

TEST(Language, EnglishIsAppendedUnlessExactlyEnIsListed) {
  struct Case {
    List in;
    List out;
  };
  const Case cases[] = {
      {{"nl-NL", "nl"}, {"nl-NL", "nl", "en"}},
      {{"de-DE"}, {"de-DE", "en"}},
      {{}, {"en"}},
      {{"fr-FR", "en", "de"}, {"fr-FR", "en", "de"}},  // already there: unchanged
      {{"en"}, {"en"}},
      {{"en-US"}, {"en-US", "en"}},  // only exactly "en" counts
      {{"EN"}, {"EN", "en"}},
  };
  for (const auto& c : cases) EXPECT_EQ(WithEnglishFallback(c.in), c.out);
}

TEST(Language, FirstNameWithATableDecides) {
  struct Case {
    List preferred;
    Language expected;
  };
  const Case cases[] = {
      {{"nl-NL", "nl", "en"}, Language::Dutch},
      {{"de-DE", "en"}, Language::English},
      {{"de-DE", "ru-RU", "en"}, Language::Russian},
      {{"el-GR"}, Language::Greek},
      {{"en-US", "nl"}, Language::English},  // English before Dutch in the list
      {{"nl_BE.UTF-8"}, Language::Dutch},    // POSIX locale names
      {{"ru_RU.KOI8-R@cyrillic"}, Language::Russian},
      {{"NL"}, Language::Dutch},
      {{"nld", "eng"}, Language::English},  // three-letter codes are other languages
      {{"C.UTF-8"}, Language::English},
      {{}, Language::English},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseLanguage(c.preferred), c.expected) << c.preferred.size();
  EXPECT_EQ(ChooseLanguage(WithEnglishFallback(List{"nl-NL", "nl"})), Language::Dutch);
  EXPECT_EQ(ChooseLanguage(WithEnglishFallback(List{"de-DE"})), Language::English);
}

TEST(Language, PosixListFollowsGettext) {
  EXPECT_EQ(PosixPreferredLanguages("nl:de", "", "", "de_DE.UTF-8"), (List{"nl", "de", "de_DE.UTF-8"}));
  // LC_ALL over LC_MESSAGES over LANG.
  EXPECT_EQ(PosixPreferredLanguages("", "el_GR.UTF-8", "ru_RU", "nl_NL"), (List{"el_GR.UTF-8"}));
  EXPECT_EQ(PosixPreferredLanguages("", "", "ru_RU", "nl_NL"), (List{"ru_RU"}));
  // LANGUAGE is ignored under the C locale; empty entries are skipped.
  EXPECT_EQ(PosixPreferredLanguages("nl", "", "", "C"), (List{"C"}));
  EXPECT_EQ(PosixPreferredLanguages("nl", "", "", ""), List{});
  EXPECT_EQ(PosixPreferredLanguages("::ru::", "", "", "en_US.UTF-8"), (List{"ru", "en_US.UTF-8"}));
}

}  // namespace
}  // namespace n_zorbel::n_ui
