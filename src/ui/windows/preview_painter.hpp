#pragma once
// Draws the cover preview into an owner-draw item as the portable layout
// describes it: GDI for the background, the text and the frame, GDI+ for the
// scaled picture, and per-pixel alpha blending for the film-strip overlay.
#include "preview/preview_geometry.hpp"
#include "system/text.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

struct t_PreviewArtwork {
  Gdiplus::GpImage* picture = nullptr;  // the cover, when the layout has one
  HBITMAP reelTall = nullptr;           // bitmap 205
  HBITMAP reelWide = nullptr;           // bitmap 206
  t_String placeholder;                 // string 118, drawn when there is no picture
};

// `item` is the owner-draw rectangle; the layout's coordinates are relative
// to its top-left corner. Nothing here reports a failure.
void DrawPreview(HDC dc, const RECT& item, const n_preview::t_PreviewLayout& layout,
                 const t_PreviewArtwork& artwork) noexcept;

}  // namespace n_zorbel::n_ui::n_windows
