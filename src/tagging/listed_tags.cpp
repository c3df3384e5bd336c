#include "tagging/listed_tags.hpp"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "tagging/genre_numbers.hpp"

namespace n_zorbel::n_tagging {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The tab-separated fields of one line, each unescaped (\\ \t \n \r \xHH).
std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c != '\\' || i + 1 == line.size()) {
      fields.back() += c;
    } else if (const char e = line[++i]; e != 'x') {
      fields.back() += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
    } else if (i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 && HexDigit(line[i + 2]) >= 0) {
      fields.back() += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
      i += 2;
    } else {
      fields.back() += e;
    }
  }
  return fields;
}

// The key an entry's name means: the name itself, or after a store's prefix.
std::string_view KeyOf(std::string_view name) {
  for (const std::string_view store : {"udta:", "3gpp:", "keys:"})
    if (name.starts_with(store)) return name.substr(store.size());
  return name;
}

bool HasLoneCr(t_StringView text) {
  for (std::size_t at = text.find(ZTEXT('\r')); at != t_StringView::npos; at = text.find(ZTEXT('\r'), at + 1))
    if (at + 1 == text.size() || text[at + 1] != ZTEXT('\n')) return true;
  return false;
}

bool IsDigit(t_Char c) { return c >= ZTEXT('0') && c <= ZTEXT('9'); }

}  // namespace

t_ListedTags ReadListing(std::string_view listing) {
  struct t_Found {
    std::string_view key;
    t_String* field;
    bool found = false;
  };
  t_ListedTags tags;
  t_String comment;
  t_Found wanted[] = {{"title", &tags.fields.title},
                      {"artist", &tags.fields.artist},
                      {"genre", &tags.fields.genre},
                      {"year", &tags.fields.year},
                      {"comment", &comment}};
  while (!listing.empty()) {
    const std::size_t end = std::min(listing.find('\n'), listing.size());
    const std::vector<std::string> f = Fields(listing.substr(0, end));
    listing.remove_prefix(std::min(end + 1, listing.size()));
    if (f[0] == "text" && f.size() == 3 && f[1] == "gnre") {
      // iTunes' numeric genre, as players name it, unless a text genre came before it.
      t_Found& genre = wanted[2];
      unsigned number = 0;
      const auto [last, error] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), number);
      if (!genre.found && error == std::errc() && last == f[2].data() + f[2].size()) {
        *genre.field = GenreOfNumber(number);
        genre.found = !genre.field->empty();
      }
    } else if (f[0] == "text" && f.size() == 3) {
      for (t_Found& w : wanted) {
        if (w.found || KeyOf(f[1]) != w.key) continue;
        *w.field = FromUtf8(f[2]);
        w.found = true;
      }
    } else if (f[0] == "cover" && f.size() == 4 && !tags.hasCover) {
      tags.hasCover = true;
      tags.coverExtension = f[2] == "jpeg"  ? ZTEXT(".jpg")
                            : f[2] == "png" ? ZTEXT(".png")
                            : f[2] == "bmp" ? ZTEXT(".bmp")
                                            : ZTEXT(".img");
    }
  }
  tags.fields.year = YearOfDate(tags.fields.year);
  t_CommentParts parts = SplitComment(comment);
  tags.fields.audioSources = std::move(parts.audio);
  tags.fields.videoSources = std::move(parts.video);
  tags.fields.comment = std::move(parts.text);
  return tags;
}

t_CommentParts SplitComment(t_StringView comment) {
  t_CommentParts parts;
  t_StringView rest = comment;
  const auto take = [&rest](t_StringView label) {
    if (!rest.starts_with(label)) return false;
    rest.remove_prefix(label.size());
    return true;
  };
  // Each part runs to the next label; the free text, last, to the end.
  const auto upTo = [&rest](t_StringView next) {
    const t_StringView part = rest.substr(0, rest.find(next));
    rest.remove_prefix(part.size());
    return t_String(part);
  };
  if (take(ZTEXT("Audio: "))) parts.audio = upTo(ZTEXT("\r"));
  if (take(parts.audio.empty() ? ZTEXT("Video: ") : ZTEXT("\rVideo: ")))
    parts.video = upTo(ZTEXT("\rComment: "));
  if (parts.audio.empty() && parts.video.empty()) {
    parts.text = t_String(rest);
  } else if (take(ZTEXT("\rComment: "))) {
    parts.text = t_String(rest);
  } else if (!rest.empty()) {
    return {{}, {}, t_String(comment)};
  }
  // The audio field holds one line; the multi-line fields break lines with CR LF.
  const bool folded = parts.audio.find(ZTEXT('\n')) == t_String::npos && !HasLoneCr(parts.video) &&
                      !HasLoneCr(parts.text) &&
                      ComposeComment(parts.audio, parts.video, parts.text) == comment;
  return folded ? parts : t_CommentParts{{}, {}, t_String(comment)};
}

t_String YearOfDate(t_StringView value) {
  const auto digits =
      static_cast<std::size_t>(std::find_if_not(value.begin(), value.end(), IsDigit) - value.begin());
  const bool date =
      digits == 4 && digits < value.size() &&
      (value[digits] == ZTEXT('-') || value[digits] == ZTEXT(':') || value[digits] == ZTEXT('T'));
  return t_String(date ? value.substr(0, digits) : value);
}

}  // namespace n_zorbel::n_tagging
