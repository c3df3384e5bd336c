#include "preview/preview_geometry.hpp"

namespace n_zorbel::n_preview {

namespace {

constexpr std::int32_t kDefaultCheckSize = 16;
constexpr std::int32_t kCheckerOrigin = -6;  // the pattern starts 6 pixels above and left of the item
constexpr std::int64_t kBox = 256;
constexpr std::int64_t kMinimumReelSide = 16;

std::int32_t Narrow(std::int64_t value) { return static_cast<std::int32_t>(value); }

std::vector<t_Rect> DarkCells(std::int32_t itemWidth, std::int32_t itemHeight, std::int32_t c) {
  std::vector<t_Rect> cells;
  for (std::int64_t i = 0; kCheckerOrigin + i * c < itemWidth; ++i) {
    // The cell at the item's top-left corner (0, 0) is dark: dark when i + j is even.
    for (std::int64_t j = i % 2; kCheckerOrigin + j * c < itemHeight; j += 2)
      cells.push_back({Narrow(kCheckerOrigin + i * c), Narrow(kCheckerOrigin + j * c), c, c});
  }
  return cells;
}

}  // namespace

std::int32_t CheckSizeForDpi(std::int32_t dpi) noexcept {
  if (dpi <= 0) return kDefaultCheckSize;
  return Narrow(std::int64_t{kDefaultCheckSize} * dpi / 96);
}

t_PreviewLayout ComputePreviewLayout(std::optional<t_PictureSize> picture, std::int32_t itemWidth,
                                     std::int32_t itemHeight, const t_PreviewOptions& options,
                                     std::int32_t checkSize) {
  t_PreviewLayout layout;
  layout.frame = {0, 0, itemWidth, itemHeight};
  if (!picture || picture->width == 0 || picture->height == 0) {
    layout.background = t_Background::ButtonFace;
    layout.placeholderText = {itemWidth / 2, itemHeight / 2};
    return layout;
  }
  layout.hasPicture = true;
  if (options.drawChecks) {
    layout.background = t_Background::Checks;
    layout.darkCells = DarkCells(itemWidth, itemHeight, checkSize >= 1 ? checkSize : kDefaultCheckSize);
  } else {
    layout.background = t_Background::Window;
  }

  // 64-bit throughout: a picture side times 1000 or times a box side must not overflow.
  const std::int64_t w = picture->width;
  const std::int64_t h = picture->height;
  const std::int64_t aspect = w * 1000 / h;
  const bool reel = options.drawVideoReel && w >= kMinimumReelSide && h >= kMinimumReelSide && h < w;

  std::int64_t dw = w;
  std::int64_t dh = h;
  layout.source = {0, 0, Narrow(w), Narrow(h)};
  if (reel) {
    const t_ReelLayout& row = aspect <= kLastTallAspect ? kReelTall : kReelWide;
    const std::int64_t bw = row.boxWidth;
    const std::int64_t bh = row.boxHeight;
    if (w * bh / h < bw) {
      // Relatively taller than the box: crop top and bottom.
      const std::int64_t sh = w * bh / bw;
      layout.source = {0, Narrow((h - sh) / 2), Narrow(w), Narrow(sh)};
    } else {
      const std::int64_t sw = h * bw / bh;
      layout.source = {Narrow((w - sw) / 2), 0, Narrow(sw), Narrow(h)};
    }
    dw = bw;
    dh = bh;
    layout.overlay = t_Overlay{row.bitmapId,
                               {(itemWidth - row.overlayWidth) / 2, (itemHeight - row.overlayHeight) / 2,
                                row.overlayWidth, row.overlayHeight}};
  } else if (w <= kBox && h <= kBox) {
    // Natural size, whatever the 256 box option says.
  } else if (options.fitInto256) {
    if (w > h) {
      dw = kBox;
      dh = h * kBox / w;
    } else {
      dw = w * kBox / h;
      dh = kBox;
    }
  } else {
    // Fit into the control, keeping the proportions.
    std::int64_t w1 = w, h1 = h, w2 = w, h2 = h;
    if (w > itemWidth) {
      w1 = itemWidth;
      h1 = h * itemWidth / w;
    }
    if (h > itemHeight) {
      w2 = w * itemHeight / h;
      h2 = itemHeight;
    }
    if (w2 < w1) {
      dw = w2;
      dh = h2;
    } else {
      dw = w1;
      dh = h1;
    }
  }
  layout.destination = {Narrow((itemWidth - dw) / 2), Narrow((itemHeight - dh) / 2), Narrow(dw), Narrow(dh)};
  return layout;
}

}  // namespace n_zorbel::n_preview
