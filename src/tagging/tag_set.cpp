#include "tagging/tag_set.hpp"

namespace n_zorbel::n_tagging {

t_String ComposeComment(t_StringView audio, t_StringView video, t_StringView text) {
  t_String result;
  if (!audio.empty()) {
    result += ZTEXT("Audio: ");
    result += audio;
  }
  if (!video.empty()) {
    if (!result.empty()) result += ZTEXT('\r');
    result += ZTEXT("Video: ");
    result += video;
  }
  if (!text.empty()) {
    if (!result.empty()) result += ZTEXT("\rComment: ");
    result += text;
  }
  return result;
}

bool GatherTagSet(const t_TagFieldTexts& texts, bool removeBlankChecked, t_TagSet& tags, bool& removeBlank) {
  tags.title = texts.title;
  tags.artist = texts.artist;
  tags.year = texts.year;
  tags.genre = texts.genre;
  tags.comment = ComposeComment(texts.audioSources, texts.videoSources, texts.comment);
  removeBlank = removeBlankChecked;
  if (removeBlank) return true;
  return !(tags.coverPath.empty() && tags.title.empty() && tags.artist.empty() && tags.genre.empty() &&
           tags.year.empty() && tags.comment.empty());
}

}  // namespace n_zorbel::n_tagging
