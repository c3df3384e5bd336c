#pragma once
// The decoded cover picture and the port that decodes it. The picture exists
// only so the preview can show it: the run hands the path, not the picture, to
// the tagger. Each adapter's decoder returns its own image type, which its
// drawing code knows how to paint.
#include <cstdint>
#include <functional>
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

// Receives a finished decode on the dialog's thread: the picture, or null.
using t_CoverDelivery = std::function<void(std::unique_ptr<t_CoverImage>)>;

class t_CoverDecoder {
 public:
  virtual ~t_CoverDecoder() = default;
  // Starts decoding the file by its content (not its name), JPEG and PNG at
  // least, away from the dialog's thread, so that no file can keep the
  // window from painting; the decode started before is abandoned. `deliver`
  // runs later on the dialog's thread, once, unless the decode is abandoned
  // first: with null when the file cannot be read or decoded or lies outside
  // the bounds (cover_bounds.hpp). A decoded picture must not keep other
  // programs from reading the file.
  virtual void Start(const t_String& path, t_CoverDelivery deliver) = 0;
  // The decode in progress, if any, never delivers.
  virtual void Abandon() noexcept = 0;
};

// The rule of loading the cover into `held`: an empty path leaves nothing at
// once; any other path is decoded again from disk, and the new picture
// replaces the old one when it arrives; a picture with a zero side counts as
// undecodable. `changed` runs whenever `held` has been replaced. `held` must
// outlive the decode or abandon it.
void LoadCoverImage(t_CoverDecoder& decoder, const t_String& path, std::unique_ptr<t_CoverImage>& held,
                    const std::function<void()>& changed);

}  // namespace n_zorbel::n_preview
