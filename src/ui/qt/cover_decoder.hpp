#pragma once
// The cover picture decoded by Qt's image readers, by content and not by name.
#include <QImage>
#include <memory>

#include "preview/cover_image.hpp"

namespace n_zorbel::n_ui::n_qt {

class t_QtCoverImage final : public n_preview::t_CoverImage {
 public:
  explicit t_QtCoverImage(QImage image) : m_image(std::move(image)) {}
  std::uint32_t Width() const noexcept override;
  std::uint32_t Height() const noexcept override;
  const QImage& Image() const noexcept { return m_image; }

 private:
  QImage m_image;
};

class t_QtCoverDecoder final : public n_preview::t_CoverDecoder {
 public:
  // Reads the whole file and closes it before decoding, so the tagger can
  // read the same file during a run.
  std::unique_ptr<n_preview::t_CoverImage> Decode(const t_String& path) override;
};

}  // namespace n_zorbel::n_ui::n_qt
