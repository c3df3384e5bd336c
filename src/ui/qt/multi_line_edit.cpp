#include "ui/qt/multi_line_edit.hpp"

#include <QKeyEvent>

#include "ui/qt/qt_text.hpp"

namespace n_zorbel::n_ui::n_qt {

t_MultiLineEdit::t_MultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

t_String t_MultiLineEdit::Text() const {
  QString text = toPlainText();
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return FromQString(text);
}

void t_MultiLineEdit::SetText(const t_String& text) {
  QString plain = ToQString(text);
  plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  setPlainText(plain);
}

void t_MultiLineEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (event->modifiers() & Qt::ControlModifier) {
      insertPlainText(QStringLiteral("\n"));
      event->accept();
    } else {
      event->ignore();  // the dialog has no default button: nothing happens
    }
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace n_zorbel::n_ui::n_qt
