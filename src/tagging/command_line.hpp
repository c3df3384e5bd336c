#pragma once
// The tagger's command line, built as one string. It holds no program name:
// the runner passes the tool's path separately, so the line starts with the
// blank before the first option (or before the video path).
#include "system/text.hpp"
#include "tagging/tag_set.hpp"

namespace n_zorbel::n_tagging {

// Appends ` -meta:KEY="VALUE"`, or nothing when the value is empty and
// `removeBlank` is false (an empty value with removeBlank erases the tag).
// Double quotes in the value become apostrophes; trailing backslashes are
// doubled so they cannot swallow the closing quote. Nothing else changes.
void AppendMetaOption(t_String& buffer, t_StringView key, t_StringView value, bool removeBlank);

// Empties `buffer` and builds the whole line for one video: the five tag
// options (title, artist, year, genre, comment), the cover options, then the
// quoted video path. The string carries no explicit NUL: std::basic_string
// keeps one after its last character, so data() is already the writable,
// NUL-terminated buffer that process creation needs.
void BuildCommandLine(const t_TagSet& tags, bool removeBlank, t_StringView videoPath, t_String& buffer);

// The line that reads one video into a new file: `options` (from a blank up
// to the option's colon), the quoted file path, then the quoted video path.
t_String ReadCommandLine(t_StringView options, t_StringView filePath, t_StringView videoPath);

}  // namespace n_zorbel::n_tagging
