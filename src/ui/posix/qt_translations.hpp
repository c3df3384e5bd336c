#pragma once
// Qt's own texts (the fields' edit menu, the pickers, the message boxes'
// buttons) in the dialog's language: the system's translation where it has
// one, else the one this program carries (Debian ships no Greek for Qt).
#include <QTranslator>

#include "ui/texts.hpp"

namespace n_zorbel::n_ui::n_posix {

// Loads "qtbase_<language>" from Qt's translations folder, else from the
// program's own; false when neither has it (English needs none).
bool LoadQtTexts(QTranslator& translator, t_Language language);

}  // namespace n_zorbel::n_ui::n_posix
