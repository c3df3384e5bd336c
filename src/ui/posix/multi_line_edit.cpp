#include "ui/posix/multi_line_edit.hpp"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <utility>

#include "ui/posix/qt_text.hpp"

namespace n_zorbel::n_ui::n_posix {

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

void t_MultiLineEdit::SetLimit(int limit, std::function<void()> onFull) {
  m_limit = limit;
  m_onFull = std::move(onFull);
  connect(this, &QPlainTextEdit::textChanged, this, &t_MultiLineEdit::EnforceLimit, Qt::UniqueConnection);
}

// Runs after every change, whatever made it (typing, a paste, a drop, an
// input method, undo), and takes out before the cursor what went over.
void t_MultiLineEdit::EnforceLimit() {
  // The document counts a line break once; Text() gives it as two.
  const int length = document()->characterCount() - 1 + document()->blockCount() - 1;
  if (m_limit <= 0 || length <= m_limit) return;
  const QString text = toPlainText();
  QTextCursor cursor = textCursor();
  int end = cursor.position();
  int begin = end;
  for (int excess = length - m_limit; excess > 0;) {
    if (begin == 0) {
      // Nothing left before the cursor: the end of the text goes instead.
      begin = end = static_cast<int>(text.size());
      while (excess > 0 && begin > 0) excess -= text[--begin] == QLatin1Char('\n') ? 2 : 1;
      break;
    }
    excess -= text[--begin] == QLatin1Char('\n') ? 2 : 1;
  }
  if (begin > 0 && text[begin].isLowSurrogate()) --begin;
  cursor.setPosition(begin);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();  // changes the text again, now within the limit
  setTextCursor(cursor);
  if (m_onFull) m_onFull();
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

}  // namespace n_zorbel::n_ui::n_posix
