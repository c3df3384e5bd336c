#pragma once
// Pictures that cost a decoder far more than their size, made at test time
// by Qt's own JPEG writer and a few spliced bytes.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

namespace n_zorbel::n_testing {

inline QByteArray ProgressiveJpeg(const QImage& picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "JPEG");
  writer.setProgressiveScanWrite(true);
  return writer.write(picture) ? bytes : QByteArray();
}

// A progressive JPEG of one colour whose last scan comes `repeats` more
// times: a few bytes each, and each another pass over the whole picture.
inline QByteArray ScanBomb(int side, int repeats) {
  QImage picture(side, side, QImage::Format_RGB32);
  picture.fill(Qt::gray);
  const QByteArray bytes = ProgressiveJpeg(picture);
  const qsizetype scan = bytes.lastIndexOf(QByteArray("\xFF\xDA", 2));
  const qsizetype end = bytes.size() - 2;  // EOI
  if (scan < 0 || !bytes.endsWith(QByteArray("\xFF\xD9", 2))) return {};
  return bytes.left(end) + bytes.mid(scan, end - scan).repeated(repeats) + bytes.right(2);
}

}  // namespace n_zorbel::n_testing
