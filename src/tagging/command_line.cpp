#include "tagging/command_line.hpp"

namespace n_zorbel::n_tagging {

namespace {

constexpr t_Char kQuote = ZTEXT('"');
constexpr t_Char kApostrophe = ZTEXT('\'');
constexpr t_Char kBackslash = ZTEXT('\\');

// Appends a path in double quotes. A Windows path cannot hold a double quote,
// so it goes in unchanged. A POSIX name can hold quotes and end in
// backslashes; it is quoted by the Windows argument rules (the tool's line is
// split by them on POSIX too), so the tool receives exactly the path and a
// name cannot end the argument early or add options.
void AppendQuotedPath(t_String& buffer, t_StringView path) {
  buffer += kQuote;
#ifdef _WIN32
  buffer += path;
#else
  std::size_t backslashes = 0;
  for (const t_Char c : path) {
    if (c == kBackslash) {
      ++backslashes;
    } else {
      // Backslashes before a quote are doubled and the quote escaped.
      if (c == kQuote) buffer.append(backslashes + 1, kBackslash);
      backslashes = 0;
    }
    buffer += c;
  }
  buffer.append(backslashes, kBackslash);
#endif
  buffer += kQuote;
}

}  // namespace

void AppendMetaOption(t_String& buffer, t_StringView key, t_StringView value, bool removeBlank) {
  if (value.empty() && !removeBlank) return;
  buffer += ZTEXT(" -meta:");
  buffer += key;
  buffer += ZTEXT('=');
  buffer += kQuote;
  std::size_t trailingBackslashes = 0;
  for (const t_Char c : value) {
    buffer += c == kQuote ? kApostrophe : c;
    trailingBackslashes = c == kBackslash ? trailingBackslashes + 1 : 0;
  }
  // With the quotes gone, only backslashes right before the closing quote
  // would be read as escapes; doubled, the tool reads them back as they were.
  buffer.append(trailingBackslashes, kBackslash);
  buffer += kQuote;
}

void BuildCommandLine(const t_TagSet& tags, bool removeBlank, t_StringView videoPath, t_String& buffer) {
  buffer.clear();
  AppendMetaOption(buffer, ZTEXT("title"), tags.title, removeBlank);
  AppendMetaOption(buffer, ZTEXT("artist"), tags.artist, removeBlank);
  AppendMetaOption(buffer, ZTEXT("year"), tags.year, removeBlank);
  AppendMetaOption(buffer, ZTEXT("genre"), tags.genre, removeBlank);
  AppendMetaOption(buffer, ZTEXT("comment"), tags.comment, removeBlank);
  // A new cover replaces every cover the file had.
  if (!tags.coverPath.empty() || removeBlank) buffer += ZTEXT(" -remove-cover:all");
  if (!tags.coverPath.empty()) {
    buffer += ZTEXT(" -add-cover:front:");
    AppendQuotedPath(buffer, tags.coverPath);
  }
  buffer += ZTEXT(' ');
  AppendQuotedPath(buffer, videoPath);
}

t_String ReadCommandLine(t_StringView options, t_StringView filePath, t_StringView videoPath) {
  t_String line(options);
  AppendQuotedPath(line, filePath);
  line += ZTEXT(' ');
  AppendQuotedPath(line, videoPath);
  return line;
}

}  // namespace n_zorbel::n_tagging
