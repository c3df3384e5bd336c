#include "ui/language.hpp"

#include <algorithm>

namespace n_zorbel::n_ui {

namespace {

// The primary subtag in lower case: the name up to the first '-', '_', '.' or '@'.
std::string PrimarySubtag(std::string_view name) {
  const auto end = name.find_first_of("-_.@");
  std::string primary(name.substr(0, end));
  for (char& c : primary)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return primary;
}

}  // namespace

std::vector<std::string> WithEnglishFallback(std::span<const std::string> preferred) {
  std::vector<std::string> list(preferred.begin(), preferred.end());
  if (std::find(list.begin(), list.end(), "en") == list.end()) list.emplace_back("en");
  return list;
}

t_Language ChooseLanguage(std::span<const std::string> preferred) {
  for (const auto& name : preferred) {
    const std::string primary = PrimarySubtag(name);
    for (const t_Language language : kAllLanguages)
      if (primary == LanguageTag(language)) return language;
  }
  return t_Language::English;
}

std::vector<std::string> PosixPreferredLanguages(std::string_view language, std::string_view lcAll,
                                                 std::string_view lcMessages, std::string_view lang) {
  std::string_view locale = !lcAll.empty() ? lcAll : !lcMessages.empty() ? lcMessages : lang;
  std::vector<std::string> list;
  const bool plainLocale = locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.");
  if (!plainLocale) {
    while (!language.empty()) {
      const auto colon = language.find(':');
      const auto name = language.substr(0, colon);
      if (!name.empty()) list.emplace_back(name);
      language = colon == std::string_view::npos ? std::string_view() : language.substr(colon + 1);
    }
  }
  if (!locale.empty()) list.emplace_back(locale);
  return list;
}

}  // namespace n_zorbel::n_ui
