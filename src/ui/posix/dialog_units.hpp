#pragma once
// Dialog units to pixels, from the dialog font's metrics as Windows computes
// its base units: the average width of the 52 Latin letters, rounded, and the
// font's height. A unit is a quarter of the width and an eighth of the height,
// so the layout keeps its proportions at any DPI and with any font.
#include <QFont>
#include <QRect>

#include "ui/dialog_layout.hpp"

namespace n_zorbel::n_ui::n_posix {

struct t_BaseUnits {
  int width = 0;   // average character width in pixels
  int height = 0;  // character height in pixels
};

t_BaseUnits BaseUnitsOf(const QFont& font);

// One coordinate, as MulDiv rounds it (halves away from zero).
int DialogXToPixels(int x, const t_BaseUnits& units) noexcept;
int DialogYToPixels(int y, const t_BaseUnits& units) noexcept;

// Both corners converted, as MapDialogRect does.
QRect DialogRectToPixels(const t_DialogRect& rect, const t_BaseUnits& units) noexcept;

}  // namespace n_zorbel::n_ui::n_posix
