#pragma once
// The year field with its up-down: digits only, range 0 to 32767, no
// thousands separators. Like the Windows up-down that sets its buddy's text,
// a step starts from the number typed in the field when there is one, and the
// field may be left empty (no year is written then).
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <functional>

namespace n_zorbel::n_ui::n_posix {

class t_YearSpinBox final : public QAbstractSpinBox {
  Q_OBJECT
 public:
  explicit t_YearSpinBox(QWidget* parent);

  void SetRange(int minimum, int maximum);
  // Moves the up-down and writes the number into the field.
  void SetPosition(int position);
  int Position() const noexcept { return m_position; }
  QLineEdit* Edit() const { return lineEdit(); }
  // At most `limit` characters; what does not fit is left out and `onFull` called.
  void SetLimit(int limit, std::function<void()> onFull);

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& position) const override;
  void fixup(QString& input) const override;

 protected:
  StepEnabled stepEnabled() const override;

 private:
  int m_minimum = 0;
  int m_maximum = 32767;
  int m_position = 0;
  int m_limit = 0;  // 0: no limit of ours
  std::function<void()> m_onFull;
};

}  // namespace n_zorbel::n_ui::n_posix
