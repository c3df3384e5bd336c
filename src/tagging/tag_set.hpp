#pragma once
// The one set of values a run writes into every video, and the rule that
// fills it from the dialog's texts. Pure text work, usable without a window.
#include "system/text.hpp"

namespace n_zorbel::n_tagging {

struct t_TagSet {
  t_String coverPath;  // full path of the front-cover image; empty: no cover
  t_String title;
  t_String artist;
  t_String genre;
  t_String year;  // as typed: never parsed as a number
  t_String comment;
};

// The seven texts of the dialog's tag fields, exactly as the controls hold them.
struct t_TagFieldTexts {
  t_String title;
  t_String artist;
  t_String genre;
  t_String year;
  t_String audioSources;
  t_String videoSources;
  t_String comment;
};

// The comment tag built from the two source lines and the free comment. Lines
// are separated by a lone carriage return; the free comment is labelled only
// when a source line stands before it.
t_String ComposeComment(t_StringView audio, t_StringView video, t_StringView text);

// Stores the texts into `tags` (all but coverPath, which only the cover
// picker, drops and the preview menu change) and `removeBlankChecked` into
// `removeBlank`. Returns false when a run would change nothing: the box is
// unchecked and all six strings, coverPath included, are empty. Only the
// length decides emptiness; a value of blanks is a value.
bool GatherTagSet(const t_TagFieldTexts& texts, bool removeBlankChecked, t_TagSet& tags, bool& removeBlank);

}  // namespace n_zorbel::n_tagging
