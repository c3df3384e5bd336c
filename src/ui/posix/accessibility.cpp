#include "ui/posix/accessibility.hpp"

#include <QAccessibleWidget>

namespace n_zorbel::n_ui::n_posix {

namespace {

constexpr char kRoleProperty[] = "mivoraAccessibleRole";

// Qt asks each installed factory before its own; a widget without our
// property is left to Qt.
QAccessibleInterface* RoleFactory(const QString& /*className*/, QObject* object) {
  if (object == nullptr || !object->isWidgetType()) return nullptr;
  const QVariant role = object->property(kRoleProperty);
  if (!role.isValid()) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void SetAccessibleRole(QWidget& widget, QAccessible::Role role) {
  // Installing twice keeps one entry: Qt ignores a factory it holds.
  QAccessible::installFactory(&RoleFactory);
  widget.setProperty(kRoleProperty, static_cast<int>(role));
  // One made while the widget was still being built has Qt's role; the next
  // request makes ours.
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&widget);
  if (made != nullptr && made->role() != role)
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void TellScreenReader(QWidget& window, const QString& text) {
  window.setAccessibleDescription(text);
  QAccessibleEvent alert(&window, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

}  // namespace n_zorbel::n_ui::n_posix
