#pragma once
// The decoded cover picture and the port that decodes it. The picture exists
// only so the preview can show it: the run hands the path, not the picture, to
// the tagger. Each adapter's decoder returns its own image type, which its
// drawing code knows how to paint.
#include <cstdint>
#include <memory>

#include "system/text.hpp"

namespace n_zorbel::n_preview {

class t_CoverImage {
 public:
  virtual ~t_CoverImage() = default;
  // 0 when the size cannot be read.
  virtual std::uint32_t Width() const noexcept = 0;
  virtual std::uint32_t Height() const noexcept = 0;
};

class t_CoverDecoder {
 public:
  virtual ~t_CoverDecoder() = default;
  // Decodes the file by its content (not its name), JPEG and PNG at least;
  // null when it cannot be read or decoded. A decoded picture must not keep
  // other programs from reading the file.
  virtual std::unique_ptr<t_CoverImage> Decode(const t_String& path) = 0;
};

// The rule of loading the cover into `held`: an empty path leaves nothing; any
// other path is decoded again from disk, the new picture replacing the old one
// at once; a picture with a zero side counts as undecodable.
void LoadCoverImage(t_CoverDecoder& decoder, const t_String& path, std::unique_ptr<t_CoverImage>& held);

}  // namespace n_zorbel::n_preview
