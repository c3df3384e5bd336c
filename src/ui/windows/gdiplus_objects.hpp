#pragma once
// The GDI+ objects the adapter makes, each on the owner every Windows handle has
// (system/windows/handle.hpp).
#include "system/windows/handle.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

inline bool DeleteGraphics(Gdiplus::GpGraphics* graphics) noexcept {
  (void)Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  return true;
}
inline bool DisposeImage(Gdiplus::GpImage* image) noexcept {
  (void)Gdiplus::DllExports::GdipDisposeImage(image);
  return true;
}

using t_GdiplusGraphics = n_system::n_detail::t_GdiplusObject<Gdiplus::GpGraphics, DeleteGraphics>;
// Images and the bitmaps made from them.
using t_GdiplusImage = n_system::n_detail::t_GdiplusObject<Gdiplus::GpImage, DisposeImage>;

}  // namespace n_zorbel::n_ui::n_windows
