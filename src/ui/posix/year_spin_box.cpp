#include "ui/posix/year_spin_box.hpp"

#include <algorithm>
#include <utility>

#include "ui/posix/field_limit.hpp"

namespace n_zorbel::n_ui::n_posix {

namespace {

bool AllDigits(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

t_YearSpinBox::t_YearSpinBox(QWidget* parent) : QAbstractSpinBox(parent) {
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
}

void t_YearSpinBox::SetRange(int minimum, int maximum) {
  m_minimum = minimum;
  m_maximum = maximum;
  m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void t_YearSpinBox::SetPosition(int position) {
  m_position = std::clamp(position, m_minimum, m_maximum);
  lineEdit()->setText(QString::number(m_position));
}

void t_YearSpinBox::stepBy(int steps) {
  const QString typed = lineEdit()->text();
  bool ok = false;
  const long long number = typed.toLongLong(&ok);
  long long base = m_position;
  if (ok && !typed.isEmpty() && AllDigits(typed)) base = std::clamp<long long>(number, m_minimum, m_maximum);
  SetPosition(static_cast<int>(std::clamp<long long>(base + steps, m_minimum, m_maximum)));
  lineEdit()->selectAll();
}

void t_YearSpinBox::SetLimit(int limit, std::function<void()> onFull) {
  m_limit = limit;
  m_onFull = std::move(onFull);
  // One over, so that a cut shows here (see t_FieldLimitValidator).
  lineEdit()->setMaxLength(limit + 1);
}

QValidator::State t_YearSpinBox::validate(QString& input, int& position) const {
  if (m_limit > 0 && TrimToLimit(input, position, m_limit) && m_onFull) m_onFull();
  return AllDigits(input) ? QValidator::Acceptable : QValidator::Invalid;
}

void t_YearSpinBox::fixup(QString& /*input*/) const {}

QAbstractSpinBox::StepEnabled t_YearSpinBox::stepEnabled() const {
  // The Windows up-down keeps both arrows and stops at the ends.
  if (isReadOnly()) return StepNone;
  return StepUpEnabled | StepDownEnabled;
}

}  // namespace n_zorbel::n_ui::n_posix
