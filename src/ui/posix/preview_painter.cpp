#include "ui/posix/preview_painter.hpp"

#include <QFontMetrics>
#include <cmath>

namespace n_zorbel::n_ui::n_posix {

namespace {

QRect ToQRect(const n_preview::t_Rect& rect) { return QRect(rect.x, rect.y, rect.width, rect.height); }

}  // namespace

t_PreviewColours PreviewColoursOf(const QPalette& palette) {
  return {palette.color(QPalette::Active, QPalette::Window),
          palette.color(QPalette::Active, QPalette::Base),
          palette.color(QPalette::Active, QPalette::Midlight),
          palette.color(QPalette::Active, QPalette::Dark),
          palette.color(QPalette::Disabled, QPalette::WindowText),
          palette.color(QPalette::Active, QPalette::Shadow)};
}

QSize DeviceSize(QSize logical, qreal devicePixelRatio) noexcept {
  return QSize(static_cast<int>(std::lround(logical.width() * devicePixelRatio)),
               static_cast<int>(std::lround(logical.height() * devicePixelRatio)));
}

void DrawPreview(QPainter& painter, qreal devicePixelRatio, const n_preview::t_PreviewLayout& layout,
                 const t_PreviewArt& art, const t_PreviewColours& colours, const QString& placeholder) {
  using n_preview::t_Background;
  painter.save();
  // From here on one unit is one device pixel.
  painter.scale(1 / devicePixelRatio, 1 / devicePixelRatio);
  const QRect item = ToQRect(layout.frame);
  switch (layout.background) {
    case t_Background::ButtonFace:
      painter.fillRect(item, colours.buttonFace);
      break;
    case t_Background::Window:
      painter.fillRect(item, colours.window);
      break;
    case t_Background::Checks:
      painter.fillRect(item, colours.light3d);
      painter.setClipRect(item);
      for (const n_preview::t_Rect& cell : layout.darkCells) painter.fillRect(ToQRect(cell), colours.shadow);
      painter.setClipping(false);
      break;
  }

  if (layout.hasPicture && art.picture != nullptr) {
    // Qt's smooth scaling of the cropped part averages the source pixels when
    // it shrinks and interpolates when it enlarges; nothing is cached.
    const QRect destination = ToQRect(layout.destination);
    const QImage part = art.picture->copy(ToQRect(layout.source))
                            .scaled(destination.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(destination.topLeft(), part);
  }
  if (layout.overlay) {
    const QImage* overlay =
        layout.overlay->bitmapId == n_preview::kReelTall.bitmapId ? art.reelTall : art.reelWide;
    if (overlay != nullptr && !overlay->isNull())
      painter.drawImage(QPoint(layout.overlay->rect.x, layout.overlay->rect.y), *overlay);
  }
  painter.restore();

  if (!layout.hasPicture) {
    // Centred horizontally, its top at the point.
    const QFontMetrics metrics(painter.font());
    const qreal x = layout.placeholderText.x / devicePixelRatio;
    const qreal y = layout.placeholderText.y / devicePixelRatio;
    painter.save();
    painter.setPen(colours.grayText);
    painter.drawText(QPointF(x - metrics.horizontalAdvance(placeholder) / 2.0, y + metrics.ascent()),
                     placeholder);
    painter.restore();
  }

  painter.save();
  painter.scale(1 / devicePixelRatio, 1 / devicePixelRatio);
  painter.setPen(QPen(colours.frame, 0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(item.x(), item.y(), item.width() - 1, item.height() - 1));
  painter.restore();
}

}  // namespace n_zorbel::n_ui::n_posix
