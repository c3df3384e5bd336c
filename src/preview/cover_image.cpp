#include "preview/cover_image.hpp"

namespace n_zorbel::n_preview {

void LoadCoverImage(t_CoverDecoder& decoder, const t_String& path, std::unique_ptr<t_CoverImage>& held,
                    const std::function<void()>& changed) {
  if (path.empty()) {
    decoder.Abandon();
    held.reset();
    changed();
    return;
  }
  decoder.Start(path, [&held, changed](std::unique_ptr<t_CoverImage> picture) {
    // The preview divides by both sides, so a picture needs both.
    if (picture && (picture->Width() == 0 || picture->Height() == 0)) picture.reset();
    held = std::move(picture);  // the old picture goes after the replacement
    changed();
  });
}

}  // namespace n_zorbel::n_preview
