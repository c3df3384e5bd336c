#pragma once
// The dialog's controls as the Windows template lays them out, in template
// (and tab) order, in dialog units. The Qt window is built from this table so
// both programs share one layout.
#include <span>

namespace n_zorbel::n_ui::n_qt {

enum class ControlKind {
  Label,          // static text, left-aligned; passes mouse presses to the window
  ReadOnlyEdit,   // one line, read-only, no tab stop
  Button,         // push button, tab stop
  Edit,           // one line, tab stop
  YearEdit,       // the year: digits only, with the up-down at its right edge
  MultiLineEdit,  // wrapped lines, vertical scroll bar
  Preview,        // the owner-drawn cover preview
  CheckBox,       // automatic check box
};

// A rectangle in dialog units: x and width in quarters of the average
// character width, y and height in eighths of the character height.
struct t_DialogRect {
  int x;
  int y;
  int width;
  int height;
};

struct t_ControlSpec {
  int id;
  ControlKind kind;
  t_DialogRect rect;
};

// The client area of the dialog, in dialog units.
inline constexpr int kDialogWidth = 448;
inline constexpr int kDialogHeight = 231;

// 26 controls: the year's up-down (1016) shares one widget with its field
// (1015), laid over the field's rectangle as the up-down aligns itself there.
std::span<const t_ControlSpec> ControlTable() noexcept;

}  // namespace n_zorbel::n_ui::n_qt
