#pragma once
// The input fields' length limit, kept as the Windows edit controls keep
// theirs: what does not fit of a typing or a paste is left out and the field
// says so (the dialog beeps), so nothing is ever cut without a word. Lengths
// count UTF-16 units, as QString and the Windows fields do.
#include <QString>
#include <QValidator>
#include <functional>

namespace n_zorbel::n_ui::n_posix {

// Takes out of `input` what was just inserted before `position` until it
// holds `limit` units, never half of a surrogate pair; true when it did.
bool TrimToLimit(QString& input, int& position, int limit);

// For a QLineEdit whose maxLength is one more than `limit`: Qt cuts there
// without a word, so one unit over means something was cut, and this takes
// it back and calls `onFull`.
class t_FieldLimitValidator final : public QValidator {
  Q_OBJECT
 public:
  t_FieldLimitValidator(int limit, std::function<void()> onFull, QObject* parent);
  State validate(QString& input, int& position) const override;

 private:
  int m_limit;
  std::function<void()> m_onFull;
};

}  // namespace n_zorbel::n_ui::n_posix
