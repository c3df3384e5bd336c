// The language choice: English appended as the last fallback, then the first
// name that a table carries decides.
#include "ui/language.hpp"

#include <gtest/gtest.h>

namespace n_zorbel::n_ui {
namespace {

using t_List = std::vector<std::string>;

TEST(Language, EnglishIsAppendedUnlessExactlyEnIsListed) {
  struct t_Case {
    t_List in;
    t_List out;
  };
  const t_Case cases[] = {
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
  struct t_Case {
    t_List preferred;
    t_Language expected;
  };
  const t_Case cases[] = {
      {{"nl-NL", "nl", "en"}, t_Language::Dutch},
      {{"de-DE", "en"}, t_Language::English},
      {{"de-DE", "ru-RU", "en"}, t_Language::Russian},
      {{"el-GR"}, t_Language::Greek},
      {{"en-US", "nl"}, t_Language::English},  // English before Dutch in the list
      {{"nl_BE.UTF-8"}, t_Language::Dutch},    // POSIX locale names
      {{"ru_RU.KOI8-R@cyrillic"}, t_Language::Russian},
      {{"NL"}, t_Language::Dutch},
      {{"nld", "eng"}, t_Language::English},  // three-letter codes are other languages
      {{"C.UTF-8"}, t_Language::English},
      {{}, t_Language::English},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseLanguage(c.preferred), c.expected) << c.preferred.size();
  EXPECT_EQ(ChooseLanguage(WithEnglishFallback(t_List{"nl-NL", "nl"})), t_Language::Dutch);
  EXPECT_EQ(ChooseLanguage(WithEnglishFallback(t_List{"de-DE"})), t_Language::English);
}

TEST(Language, PosixListFollowsGettext) {
  EXPECT_EQ(PosixPreferredLanguages("nl:de", "", "", "de_DE.UTF-8"), (t_List{"nl", "de", "de_DE.UTF-8"}));
  // LC_ALL over LC_MESSAGES over LANG.
  EXPECT_EQ(PosixPreferredLanguages("", "el_GR.UTF-8", "ru_RU", "nl_NL"), (t_List{"el_GR.UTF-8"}));
  EXPECT_EQ(PosixPreferredLanguages("", "", "ru_RU", "nl_NL"), (t_List{"ru_RU"}));
  // LANGUAGE is ignored under the C locale; empty entries are skipped.
  EXPECT_EQ(PosixPreferredLanguages("nl", "", "", "C"), (t_List{"C"}));
  EXPECT_EQ(PosixPreferredLanguages("nl", "", "", ""), t_List{});
  EXPECT_EQ(PosixPreferredLanguages("::ru::", "", "", "en_US.UTF-8"), (t_List{"ru", "en_US.UTF-8"}));
}

}  // namespace
}  // namespace n_zorbel::n_ui
