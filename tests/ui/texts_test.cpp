// The text tables: complete in every language, ids in place, and the fixed
// texts and page addresses as the program shows them.
#include "ui/texts.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "system/error.hpp"
#include "ui/ids.hpp"

namespace n_zorbel::n_ui {
namespace {

TEST(Texts, EveryLanguageHoldsEveryIdInOrderAndNoEmptyText) {
  for (const t_Language language : kAllLanguages) {
    const auto table = StringTable(language);
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kLastTextId - kFirstTextId + 1));
    for (std::size_t i = 0; i < table.size(); ++i) {
      EXPECT_EQ(table[i].id, kFirstTextId + static_cast<int>(i));
      EXPECT_FALSE(table[i].text.empty());
      EXPECT_EQ(table[i].text.find('\0'), std::string_view::npos);
    }
    const auto menu = PreviewMenuItems(language);
    ASSERT_EQ(menu.size(), 6u);
    for (std::size_t i = 0; i < menu.size(); ++i) {
      EXPECT_EQ(menu[i].command, kCommandDrawChecks + static_cast<int>(i));
      EXPECT_FALSE(menu[i].text.empty());
    }
  }
}

TEST(Texts, SampleEntriesReadAsTheTranslatorsWroteThem) {
  // One column per language; a shifted or swapped row shows up here.
  struct t_Case {
    t_Language language;
    int id;
    const char* text;
  };
  const t_Case cases[] = {
      {t_Language::English, kTextVideoFiles, "Video file(s)"},
      {t_Language::English, kTextApply, "Apply"},
      {t_Language::English, kTextStop, "Stop"},
      {t_Language::English, kTextCoverPreview, "Cover preview"},
      {t_Language::English, kTextAlwaysOnTop, "Always on top"},
      {t_Language::Dutch, kTextCoverFile, "Omslag-afbeelding bestand"},
      {t_Language::Dutch, kTextApply, "Toepassen"},
      {t_Language::Dutch, kTextSetCover, "Set cover"},
      {t_Language::Dutch, kTextUnsupportedFile, "Bestand wordt niet ondersteund"},
      {t_Language::Russian, kTextRemoveBlank, "Убрать теги, оставленные пустыми"},
      {t_Language::Russian, kTextAbout, "О программе"},
      {t_Language::Russian, kTextStop, "Стоп"},
      {t_Language::Greek, kTextYear, "Έτος"},
      {t_Language::Greek, kTextAudioSources, "Πηγή(ές) ήχου"},
      {t_Language::Greek, kTextAlwaysOnTop, "Πάντα στην κορυφή"},
      {t_Language::Greek, kTextGenrePlus, "+"},
      {t_Language::English, kTextBrowseCoverName, "Browse for a cover"},
      {t_Language::Dutch, kTextRunDone, "Alle video's zijn getagd."},
      {t_Language::Russian, kTextBrowseVideosName, "Выбрать видео"},
      {t_Language::Greek, kTextGenrePlusName, "Προσθήκη είδους"},
  };
  for (const auto& c : cases) EXPECT_EQ(TextUtf8(c.language, c.id), c.text) << c.id;
  EXPECT_EQ(LoadText(t_Language::English, kTextAddFiles), ZTEXT("Add files"));
  EXPECT_EQ(LoadText(t_Language::Russian, kTextAddFiles), FromUtf8("Добавить файлы"));
}

TEST(Texts, AnIdOutsideTheTableRaisesLikeAMissingResource) {
  for (const int id : {0, 100, kLastTextId + 1, 40001}) {
    try {
      TextUtf8(t_Language::Dutch, id);
      ADD_FAILURE() << id;
    } catch (const n_system::t_ErrorException& e) {
      EXPECT_EQ(static_cast<std::uint32_t>(e.Code()), 0x80070716u);  // 1814, converted
    }
  }
}

TEST(Texts, GenreMenuIsLanguageNeutralAndComplete) {
  const auto genres = GenreMenuItems();
  ASSERT_EQ(genres.size(), 19u);
  EXPECT_EQ(genres.front().text, "Action");
  EXPECT_EQ(genres[1].text, "Character profile");
  EXPECT_EQ(genres[7].text, "GMV");
  EXPECT_EQ(genres.back().text, "Trailer");
  std::set<std::string_view> distinct;
  for (std::size_t i = 0; i < genres.size(); ++i) {
    EXPECT_EQ(genres[i].command, kFirstGenreCommand + static_cast<int>(i));
    distinct.insert(genres[i].text);
  }
  EXPECT_EQ(distinct.size(), genres.size());
}

TEST(Texts, FixedTextsAndAddressesCarryVersionAndQuery) {
  EXPECT_EQ(kProductName, "Mivora");
  EXPECT_EQ(kFailureCaption, "Mivora error");
  EXPECT_EQ(Version(), "1.0.12");
  const std::string host(WebHost());
  ASSERT_FALSE(host.empty());
  EXPECT_EQ(DonationPageAddress(), FromUtf8("http://" + host + "/donate?from=Mivora v1.0.12"));
  EXPECT_EQ(ProductPageAddress(), FromUtf8("http://" + host + "/Mivora?from=Mivora v1.0.12"));
  EXPECT_EQ(ProductLinkAddress(), FromUtf8("http://" + host + "/Mivora"));
  EXPECT_NE(AboutVersionLine().find(ZTEXT("1.0.12")), t_String::npos);
  EXPECT_NE(AboutDeveloperLine().find(FromUtf8(ContactAddress())), t_String::npos);
}

}  // namespace
}  // namespace n_zorbel::n_ui
