#include "ui/posix/qt_text.hpp"

#include <QFile>

namespace n_zorbel::n_ui::n_posix {

t_String PathFromQString(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return t_String(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace n_zorbel::n_ui::n_posix
