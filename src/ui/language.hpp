#pragma once
// The choice of the interface language. The tables exist in Dutch, Russian,
// Greek and English; the user's preferred-language list decides, with English
// appended as the last fallback. Pure functions, so both platforms share them.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/texts.hpp"

namespace n_zorbel::n_ui {

// The list with "en" appended, unless one of its names is exactly "en"
// ("en-US" or "EN" do not count): then the list comes back unchanged.
std::vector<std::string> WithEnglishFallback(std::span<const std::string> preferred);

// The language of the first name in the list that one of the tables carries,
// matching by the primary language subtag as the resource loader does: "nl-NL",
// "nl_BE.UTF-8" and "NL" all name Dutch. A list that names none gives English.
t_Language ChooseLanguage(std::span<const std::string> preferred);

// The preferred-language list of a POSIX user, by gettext's rules: the locale
// is the first non-empty of LC_ALL, LC_MESSAGES and LANG; the colon-separated
// LANGUAGE list comes first unless the locale is unset, "C" or "POSIX".
std::vector<std::string> PosixPreferredLanguages(std::string_view language, std::string_view lcAll,
                                                 std::string_view lcMessages, std::string_view lang);

}  // namespace n_zorbel::n_ui
