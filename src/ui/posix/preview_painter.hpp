#pragma once
// Draws the cover preview from the shared geometry. The geometry is in device
// pixels, as on Windows: a picture of 256 by 256 or less is shown pixel for
// pixel, and the film strip is its own size, at any scale factor.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QString>

#include "preview/preview_geometry.hpp"

namespace n_zorbel::n_ui::n_posix {

// The platform colours the drawing takes, by their Windows meaning.
struct t_PreviewColours {
  QColor buttonFace;  // no picture
  QColor window;      // behind a picture without checks
  QColor light3d;     // light checker cells
  QColor shadow;      // dark checker cells
  QColor grayText;    // the placeholder
  QColor frame;       // the one-pixel frame
};

t_PreviewColours PreviewColoursOf(const QPalette& palette);

struct t_PreviewArt {
  const QImage* picture = nullptr;   // the cover, when one is held
  const QImage* reelTall = nullptr;  // overlay 205, premultiplied
  const QImage* reelWide = nullptr;  // overlay 206, premultiplied
};

// `painter` draws in logical pixels on a surface with `devicePixelRatio`
// device pixels to each; `layout` was computed for the item's size in device
// pixels. The placeholder text is drawn in the painter's font.
void DrawPreview(QPainter& painter, qreal devicePixelRatio, const n_preview::t_PreviewLayout& layout,
                 const t_PreviewArt& art, const t_PreviewColours& colours, const QString& placeholder);

// The item's size in device pixels for a widget of `logical` size.
QSize DeviceSize(QSize logical, qreal devicePixelRatio) noexcept;

}  // namespace n_zorbel::n_ui::n_posix
