#pragma once
// Pictures that cost a decoder far more than their size, or are as large as
// a cover may be, made at test time by Qt's own writers and a few spliced bytes.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

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

// A PNG of `side` by `side` pixels of noise, stored without compression:
// four bytes a pixel (3,900 makes 60 MB).
inline QByteArray NoisePng(int side) {
  QImage picture(side, side, QImage::Format_ARGB32);
  QRandomGenerator(side).fillRange(reinterpret_cast<quint32*>(picture.bits()),
                                   static_cast<qsizetype>(picture.sizeInBytes() / 4));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "PNG");
  writer.setQuality(100);  // no compression
  return writer.write(picture) ? bytes : QByteArray();
}

}  // namespace n_zorbel::n_testing
