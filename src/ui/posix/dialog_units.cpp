#include "ui/posix/dialog_units.hpp"

#include <QFontMetrics>

namespace n_zorbel::n_ui::n_posix {

namespace {

int MulDiv(int value, int numerator, int denominator) noexcept {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

t_BaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int DialogXToPixels(int x, const t_BaseUnits& units) noexcept { return MulDiv(x, units.width, 4); }
int DialogYToPixels(int y, const t_BaseUnits& units) noexcept { return MulDiv(y, units.height, 8); }

QRect DialogRectToPixels(const t_DialogRect& rect, const t_BaseUnits& units) noexcept {
  const int left = DialogXToPixels(rect.x, units);
  const int top = DialogYToPixels(rect.y, units);
  const int right = DialogXToPixels(rect.x + rect.width, units);
  const int bottom = DialogYToPixels(rect.y + rect.height, units);
  return QRect(left, top, right - left, bottom - top);
}

}  // namespace n_zorbel::n_ui::n_posix
