#pragma once
// The one layout of the dialog: its controls as the Windows template lays
// them out, in template (and tab) order, in dialog units. The Windows
// resource script is generated from this table and the Qt window is built
// from it, so both programs share every rectangle.
#include <cstdint>
#include <span>

namespace n_zorbel::n_ui {

enum class t_ControlKind {
  Label,          // static text, left-aligned; passes mouse presses to the window
  ReadOnlyEdit,   // one line, read-only, no tab stop
  Button,         // push button, tab stop
  Edit,           // one line, tab stop
  YearEdit,       // the year: digits only
  YearSpin,       // the year's up-down at its field's right edge (part of YearEdit in Qt)
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
  t_ControlKind kind;
  std::uint32_t windowsStyle;  // the window style the Windows template gives the control
  t_DialogRect rect;
};

// The client area of the dialog, in dialog units.
inline constexpr int kDialogWidth = 448;
inline constexpr int kDialogHeight = 231;

// The 27 controls of dialog 203.
std::span<const t_ControlSpec> DialogControls() noexcept;

}  // namespace n_zorbel::n_ui
