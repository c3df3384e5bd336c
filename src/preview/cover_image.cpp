#include "preview/cover_image.hpp"

namespace n_zorbel::n_preview {

void LoadCoverImage(t_CoverDecoder& decoder, const t_String& path, std::unique_ptr<t_CoverImage>& held) {
  if (path.empty()) {
    held.reset();
    return;
  }
  held = decoder.Decode(path);  // the old picture goes after the replacement
  // The preview divides by both sides, so a picture needs both.
  if (held && (held->Width() == 0 || held->Height() == 0)) held.reset();
}

}  // namespace n_zorbel::n_preview
