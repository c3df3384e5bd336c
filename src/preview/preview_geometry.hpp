#pragma once
// What the cover preview draws, to the pixel, as plain integer arithmetic:
// the background and its checker cells, the picture's source and destination
// rectangles, the film-strip overlay, the placeholder text and the frame. The
// adapters only carry out the drawing this describes.
#include <cstdint>
#include <optional>
#include <vector>

namespace n_zorbel::n_preview {

struct t_Rect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const t_Rect&, const t_Rect&) = default;
};

struct t_Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const t_Point&, const t_Point&) = default;
};

struct t_PictureSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct t_PreviewOptions {
  bool drawChecks = true;
  bool drawVideoReel = true;
  bool fitInto256 = true;
};

// What the background is filled with (the platform's system colours).
enum class t_Background : std::uint8_t {
  ButtonFace,  // no picture: colour 15, with the placeholder text
  Window,      // a picture without checks: colour 5
  Checks,      // a picture over checks: colour 22, dark cells in colour 16
};

// One row of the film-strip layout: the overlay image's size and the picture
// box inside its window.
struct t_ReelLayout {
  std::int32_t overlayWidth;
  std::int32_t overlayHeight;
  std::int32_t boxWidth;
  std::int32_t boxHeight;
  int bitmapId;
};
inline constexpr t_ReelLayout kReelTall{256, 200, 194, 179, 205};
inline constexpr t_ReelLayout kReelWide{256, 150, 194, 129, 206};
// Aspect values (width * 1000 / height) up to this one take the tall strip.
inline constexpr std::int64_t kLastTallAspect = 1557;

struct t_Overlay {
  int bitmapId;  // 205 (tall) or 206 (wide)
  t_Rect rect;   // where the overlay image goes, unscaled
};

struct t_PreviewLayout {
  t_Background background = t_Background::ButtonFace;
  // Cells filled with the button-shadow colour when background is Checks;
  // they may reach past the item's edges and are clipped by the drawing.
  std::vector<t_Rect> darkCells;
  bool hasPicture = false;
  t_Rect source;       // part of the picture drawn (picture pixels)
  t_Rect destination;  // where it is drawn, scaled with bicubic interpolation
  std::optional<t_Overlay> overlay;
  // No picture: string 118 is drawn with its top centre at this point, in
  // gray text on a transparent background.
  t_Point placeholderText;
  t_Rect frame;  // one pixel wide, window-frame colour 6, drawn last
};

// The side of one checker cell: 16 pixels at 96 DPI, scaled with the
// horizontal DPI (64-bit product, truncated). A DPI that cannot be read
// (0 or less) gives the 96-DPI size rather than an empty cell.
std::int32_t CheckSizeForDpi(std::int32_t dpi) noexcept;

// The layout for an item of itemWidth x itemHeight pixels (its left and top
// are 0). No picture (or one with a zero side) gives the placeholder. A
// checkSize below 1 counts as 16, so the checkerboard always ends.
t_PreviewLayout ComputePreviewLayout(std::optional<t_PictureSize> picture, std::int32_t itemWidth,
                                     std::int32_t itemHeight, const t_PreviewOptions& options,
                                     std::int32_t checkSize);

}  // namespace n_zorbel::n_preview
