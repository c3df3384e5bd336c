#pragma once
// Our text (UTF-8 bytes on POSIX) to Qt's and back. Paths keep their bytes in
// the dialog's lists; Qt's form is only for showing them.
#include <QByteArray>
#include <QString>

#include "system/text.hpp"

namespace n_zorbel::n_ui::n_posix {

inline QString ToQString(t_StringView text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline t_String FromQString(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return t_String(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A path as Qt's file dialogs and URLs give it, as the file system's bytes.
t_String PathFromQString(const QString& path);

}  // namespace n_zorbel::n_ui::n_posix
