#include "ui/posix/field_limit.hpp"

#include <utility>

namespace n_zorbel::n_ui::n_posix {

bool TrimToLimit(QString& input, int& position, int limit) {
  const auto excess = static_cast<int>(input.size()) - limit;
  if (excess <= 0) return false;
  int begin = std::max(0, position - excess);
  int end = begin + excess;
  if (end > input.size()) {
    end = static_cast<int>(input.size());
    begin = end - excess;
  }
  if (begin > 0 && input[begin].isLowSurrogate()) --begin;
  input.remove(begin, end - begin);
  position = begin;
  return true;
}

t_FieldLimitValidator::t_FieldLimitValidator(int limit, std::function<void()> onFull, QObject* parent)
    : QValidator(parent), m_limit(limit), m_onFull(std::move(onFull)) {}

QValidator::State t_FieldLimitValidator::validate(QString& input, int& position) const {
  if (TrimToLimit(input, position, m_limit)) m_onFull();
  return Acceptable;
}

}  // namespace n_zorbel::n_ui::n_posix
