#include "ui/posix/read_only_edit.hpp"

#include <QEvent>

namespace n_zorbel::n_ui::n_posix {

t_ReadOnlyEdit::t_ReadOnlyEdit(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  setFocusPolicy(Qt::ClickFocus);
  FollowWindowColour();
}

void t_ReadOnlyEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) FollowWindowColour();
}

void t_ReadOnlyEdit::FollowWindowColour() {
  const QPalette current = palette();
  // Only Base is set here; every other colour still comes from the window.
  QPalette baseOnly;
  bool differs = false;
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const QBrush& window = current.brush(group, QPalette::Window);
    differs = differs || current.brush(group, QPalette::Base) != window;
    baseOnly.setBrush(group, QPalette::Base, window);
  }
  // Only a real change: setting the palette sends the change event again.
  if (differs) setPalette(baseOnly);
}

}  // namespace n_zorbel::n_ui::n_posix
