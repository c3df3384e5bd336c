#include "ui/qt/cover_decoder.hpp"

#include <QBuffer>
#include <QImageReader>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace n_zorbel::n_ui::n_qt {

std::uint32_t t_QtCoverImage::Width() const noexcept {
  return m_image.isNull() ? 0 : static_cast<std::uint32_t>(m_image.width());
}

std::uint32_t t_QtCoverImage::Height() const noexcept {
  return m_image.isNull() ? 0 : static_cast<std::uint32_t>(m_image.height());
}

std::unique_ptr<n_preview::t_CoverImage> t_QtCoverDecoder::Decode(const t_String& path) {
  // The bytes of the name go to the system unchanged, so a name that is not
  // valid UTF-8 still opens.
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return nullptr;
  QByteArray bytes;
  try {
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) return nullptr;
    bytes = QByteArray(content.data(), static_cast<qsizetype>(content.size()));
  } catch (const std::exception&) {
    return nullptr;  // a folder, or more than memory holds: not a picture
  }
  file.close();
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  QImage image = reader.read();
  if (image.isNull()) return nullptr;
  return std::make_unique<t_QtCoverImage>(std::move(image));
}

}  // namespace n_zorbel::n_ui::n_qt
