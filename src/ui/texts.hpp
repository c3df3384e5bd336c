#pragma once
// The one source of every text the dialog shows: the string table (ids 101 to
// 154) and the preview menu in four languages, the language-neutral genre
// menu, and the fixed texts that are never translated. The Qt adapter reads
// these tables directly; the Windows resource script is generated from them,
// which is why each language also names its Windows primary language id.
// All texts are UTF-8.
#include <cstdint>
#include <span>
#include <string_view>

#include "system/text.hpp"

namespace n_zorbel::n_ui {

enum class t_Language : std::uint8_t { English, Dutch, Russian, Greek };

// Every language the tables carry, in the order the resource script lists them.
inline constexpr t_Language kAllLanguages[] = {t_Language::English, t_Language::Dutch, t_Language::Russian,
                                               t_Language::Greek};

// "en", "nl", "ru", "el".
std::string_view LanguageTag(t_Language language) noexcept;
// LANG_ENGLISH 0x09, LANG_DUTCH 0x13, LANG_RUSSIAN 0x19, LANG_GREEK 0x08.
std::uint16_t WindowsPrimaryLanguage(t_Language language) noexcept;

struct t_TextEntry {
  int id;
  std::string_view text;
};

struct t_MenuItem {
  int command;
  std::string_view text;
};

inline constexpr int kFirstTextId = 101;
inline constexpr int kLastTextId = 154;

// The string table of one language: ids 101 to 154 in ascending order.
std::span<const t_TextEntry> StringTable(t_Language language) noexcept;
// Menu 208, the preview options and loading a video's tags: commands 40020 to 40025.
std::span<const t_MenuItem> PreviewMenuItems(t_Language language) noexcept;
// Menu 207, the genres: commands 40001 to 40019, one language-neutral version.
std::span<const t_MenuItem> GenreMenuItems() noexcept;

// The text of a string id; an id the table does not hold raises
// t_ErrorException with the resource-not-found code, as the Windows loader does.
std::string_view TextUtf8(t_Language language, int id);
t_String LoadText(t_Language language, int id);

// Texts that stay the same in every language.
inline constexpr std::string_view kProductName = "Mivora";
inline constexpr std::string_view kFailureCaption = "Mivora error";
std::string_view Version() noexcept;         // "1.0.12"
std::string_view WebHost() noexcept;         // a build setting
std::string_view ContactAddress() noexcept;  // a build setting

// The About box: its two fixed lines and the footer link. The link shows the
// bare product page, but a click opens the page with the query.
t_String AboutVersionLine();     // "Mivora v1.0.12"
t_String AboutDeveloperLine();   // who made it and how to reach them
t_String DonationPageAddress();  // http://HOST/donate?from=Mivora v1.0.12
t_String ProductPageAddress();   // http://HOST/Mivora?from=Mivora v1.0.12
t_String ProductLinkAddress();   // http://HOST/Mivora

}  // namespace n_zorbel::n_ui
