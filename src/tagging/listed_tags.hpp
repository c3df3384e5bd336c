#pragma once
// What one video holds, as the dialog's fields take it, read from the
// tagger's listing for programs. Pure text work, usable without a window.
#include <string_view>

#include "system/text.hpp"
#include "tagging/tag_set.hpp"

namespace n_zorbel::n_tagging {

struct t_ListedTags {
  // Each field from the first entry that means its tag: the iTunes tags come
  // first in the listing, then the other stores; empty when none does. The
  // comment is split as SplitComment does; a date becomes its year.
  t_TagFieldTexts fields;
  bool hasCover = false;
  t_String coverExtension;  // of the first cover, by its format: ".jpg", ".png", ".bmp" or ".img"
};

// Reads the lines of `ntag -list-meta:machine` (UTF-8, escaped fields).
t_ListedTags ReadListing(std::string_view listing);

// The three texts ComposeComment made `comment` of, when it is exactly such a
// result of non-empty parts with the audio line free of line breaks;
// otherwise the whole comment as the free text.
struct t_CommentParts {
  t_String audio;
  t_String video;
  t_String text;
  friend bool operator==(const t_CommentParts&, const t_CommentParts&) = default;
};
t_CommentParts SplitComment(t_StringView comment);

// The year of a date as cameras and ffmpeg write it ("2016-05-03T10:00:00Z",
// "2016:05:03 10:00:00"); any other value unchanged.
t_String YearOfDate(t_StringView value);

}  // namespace n_zorbel::n_tagging
