#pragma once
// The cover picture decoded by Qt's image readers, by content and not by
// name, on the cover worker's thread; the picture comes back to the GUI
// thread through its event loop.
#include <QImage>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "preview/cover_worker.hpp"

namespace n_zorbel::n_ui::n_posix {

class t_QtCoverImage final : public n_preview::t_CoverImage {
 public:
  explicit t_QtCoverImage(QImage image) : m_image(std::move(image)) {}
  std::uint32_t Width() const noexcept override;
  std::uint32_t Height() const noexcept override;
  const QImage& Image() const noexcept { return m_image; }

 private:
  QImage m_image;
};

// Decodes bytes already read whole (so the tagger can read the same file
// during a run); null when they do not decode or the decode is abandoned
// while the reader still asks for bytes.
std::unique_ptr<t_QtCoverImage> DecodeQtCover(const std::vector<std::uint8_t>& bytes,
                                              const std::function<bool()>& abandoned);

// Made on the GUI thread, which receives the pictures.
class t_QtCoverDecoder final : public n_preview::t_CoverDecoder {
 public:
  t_QtCoverDecoder();
  void Start(const t_String& path, n_preview::t_CoverDelivery deliver) override { m_worker.Start(path, std::move(deliver)); }
  void Abandon() noexcept override { m_worker.Abandon(); }

 private:
  QObject m_receiver;  // lives on the GUI thread; outlives the worker
  n_preview::t_CoverWorker m_worker;
};

}  // namespace n_zorbel::n_ui::n_posix
