#include "ui/posix/cover_decoder.hpp"

#include <QBuffer>
#include <QImageReader>
#include <QMetaObject>

#include "preview/cover_bounds.hpp"

namespace n_zorbel::n_ui::n_posix {

namespace {

// The bytes as a device that runs dry once the decode is abandoned, so a
// reader still working through a long file stops at its next read.
class t_AbandonableBuffer final : public QBuffer {
 public:
  t_AbandonableBuffer(QByteArray* bytes, const std::function<bool()>& abandoned)
      : QBuffer(bytes), m_abandoned(abandoned) {}

 protected:
  qint64 readData(char* data, qint64 size) override { return m_abandoned() ? -1 : QBuffer::readData(data, size); }

 private:
  const std::function<bool()>& m_abandoned;
};

}  // namespace

std::uint32_t t_QtCoverImage::Width() const noexcept {
  return m_image.isNull() ? 0 : static_cast<std::uint32_t>(m_image.width());
}

std::uint32_t t_QtCoverImage::Height() const noexcept {
  return m_image.isNull() ? 0 : static_cast<std::uint32_t>(m_image.height());
}

std::unique_ptr<t_QtCoverImage> DecodeQtCover(const std::vector<std::uint8_t>& bytes,
                                              const std::function<bool()>& abandoned) {
  QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  t_AbandonableBuffer buffer(&view, abandoned);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  // The largest picture the bounds let through, at 64-bit pixels (16-bit PNG).
  reader.setAllocationLimit(static_cast<int>(n_preview::kLargestCoverPixels * 8 >> 20));
  QImage image = reader.read();
  // A reader cut off may still return the part it had.
  if (image.isNull() || abandoned()) return nullptr;
  return std::make_unique<t_QtCoverImage>(std::move(image));
}

t_QtCoverDecoder::t_QtCoverDecoder()
    : m_worker(
          [](std::vector<std::uint8_t> bytes, const std::function<bool()>& abandoned)
              -> std::unique_ptr<n_preview::t_CoverImage> { return DecodeQtCover(bytes, abandoned); },
          [this] {
            QMetaObject::invokeMethod(&m_receiver, [this] { m_worker.DeliverFinished(); }, Qt::QueuedConnection);
          }) {}

}  // namespace n_zorbel::n_ui::n_posix
