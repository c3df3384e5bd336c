#pragma once
// The multi-line fields (video sources, comment): lines wrap, the vertical
// scroll bar is always there, Tab moves on. As in the Windows dialog, whose
// fields do not want the Return key, Enter alone does not break the line;
// Ctrl+Enter does. Line breaks read back as CR LF, as the Windows fields
// give them, so the tags are the same on both systems.
#include <QPlainTextEdit>
#include <functional>

#include "system/text.hpp"

namespace n_zorbel::n_ui::n_posix {

class t_MultiLineEdit final : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit t_MultiLineEdit(QWidget* parent);

  // The text with CR LF line breaks, and set from such text.
  t_String Text() const;
  void SetText(const t_String& text);
  // At most `limit` characters counted as Text() gives them (a line break is
  // two); what does not fit of an insertion is left out and `onFull` called.
  void SetLimit(int limit, std::function<void()> onFull);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void EnforceLimit();

  int m_limit = 0;  // 0: no limit of ours
  std::function<void()> m_onFull;
};

}  // namespace n_zorbel::n_ui::n_posix
