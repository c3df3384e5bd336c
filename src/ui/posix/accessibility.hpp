#pragma once
// What a screen reader sees of the window beyond Qt's defaults: the role of
// plain widgets that stand for something (the window is a dialog, the preview
// a picture), and a sentence told once that no control shows.
#include <QAccessible>
#include <QString>
#include <QWidget>

namespace n_zorbel::n_ui::n_posix {

// Gives `widget` the role `role` on the accessibility bus, also when it was
// already asked for (Qt makes a widget's interface once and keeps it).
void SetAccessibleRole(QWidget& widget, QAccessible::Role role);

// Tells a screen reader `text` as an alert of `window`. Qt 6.4 has no
// announcement event: the text becomes the window's description, which is
// sent as changed, and the window raises an alert that readers present.
void TellScreenReader(QWidget& window, const QString& text);

}  // namespace n_zorbel::n_ui::n_posix
