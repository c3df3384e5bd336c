#include "ui/windows/preview_painter.hpp"

#include "system/windows/handle.hpp"
#include "ui/windows/gdiplus_objects.hpp"

namespace n_zorbel::n_ui::n_windows {

namespace {

using namespace Gdiplus::DllExports;

constexpr int kHighQualityBicubic = 7;  // Gdiplus::InterpolationModeHighQualityBicubic

RECT ToRect(const RECT& item, const n_preview::t_Rect& rect) noexcept {
  const LONG left = item.left + rect.x;
  const LONG top = item.top + rect.y;
  return {left, top, left + rect.width, top + rect.height};
}

void Fill(HDC dc, const RECT& rect, int colour) noexcept {
  ::FillRect(dc, &rect, ::GetSysColorBrush(colour));
}

void DrawPlaceholder(HDC dc, const RECT& item, const n_preview::t_PreviewLayout& layout,
                     const t_String& text) noexcept {
  const UINT oldAlign = ::SetTextAlign(dc, TA_CENTER | TA_TOP);
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
  ::TextOutW(dc, item.left + layout.placeholderText.x, item.top + layout.placeholderText.y, text.c_str(),
             static_cast<int>(text.size()));
  ::SetTextColor(dc, oldColour);
  ::SetBkMode(dc, oldMode);
  ::SetTextAlign(dc, oldAlign);
}

void DrawPicture(HDC dc, const RECT& item, const n_preview::t_PreviewLayout& layout,
                 Gdiplus::GpImage* picture) noexcept {
  t_GdiplusGraphics graphics;
  if (GdipCreateFromHDC(dc, graphics.Out()) != Gdiplus::Ok) {
    graphics.Detach();  // nothing was made
    return;
  }
  if (graphics.IsEmpty()) return;
  GdipSetInterpolationMode(graphics.Get(), static_cast<Gdiplus::InterpolationMode>(kHighQualityBicubic));
  const n_preview::t_Rect& to = layout.destination;
  const n_preview::t_Rect& from = layout.source;
  GdipDrawImageRectRectI(graphics.Get(), picture, item.left + to.x, item.top + to.y, to.width, to.height,
                         from.x, from.y, from.width, from.height, Gdiplus::UnitPixel, nullptr, nullptr,
                         nullptr);
}

void DrawOverlay(HDC dc, const RECT& item, const n_preview::t_Overlay& overlay, HBITMAP bitmap) noexcept {
  if (bitmap == nullptr) return;
  const n_system::n_detail::t_MemoryDc memory(::CreateCompatibleDC(dc));
  if (memory.IsEmpty()) return;
  const HDC source = memory.Get();
  const HGDIOBJ old = ::SelectObject(source, bitmap);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  const n_preview::t_Rect& at = overlay.rect;
  ::GdiAlphaBlend(dc, item.left + at.x, item.top + at.y, at.width, at.height, source, 0, 0, at.width,
                  at.height, blend);
  ::SelectObject(source, old);
}

}  // namespace

void DrawPreview(HDC dc, const RECT& item, const n_preview::t_PreviewLayout& layout,
                 const t_PreviewArtwork& artwork) noexcept {
  const RECT whole = ToRect(item, {0, 0, item.right - item.left, item.bottom - item.top});
  switch (layout.background) {
    case n_preview::t_Background::ButtonFace:
      Fill(dc, whole, COLOR_BTNFACE);
      break;
    case n_preview::t_Background::Window:
      Fill(dc, whole, COLOR_WINDOW);
      break;
    case n_preview::t_Background::Checks: {
      Fill(dc, whole, COLOR_3DLIGHT);
      // Cells that reach past the item are trimmed by the control's own clipping.
      for (const n_preview::t_Rect& cell : layout.darkCells) Fill(dc, ToRect(item, cell), COLOR_BTNSHADOW);
      break;
    }
  }
  if (layout.hasPicture && artwork.picture != nullptr) {
    DrawPicture(dc, item, layout, artwork.picture);
    if (layout.overlay)
      DrawOverlay(
          dc, item, *layout.overlay,
          layout.overlay->bitmapId == n_preview::kReelWide.bitmapId ? artwork.reelWide : artwork.reelTall);
  } else {
    DrawPlaceholder(dc, item, layout, artwork.placeholder);
  }
  const RECT frame = ToRect(item, layout.frame);
  ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_WINDOWFRAME));
}

}  // namespace n_zorbel::n_ui::n_windows
