#include "ui/posix/qt_translations.hpp"

#include <QLibraryInfo>

#include "ui/posix/qt_text.hpp"

// Outside any namespace, as the resource's initialiser is declared; the
// static library would otherwise leave the resource out of the program.
static void InitialiseQtTextResources() { Q_INIT_RESOURCE(mivora_qt_texts); }

namespace n_zorbel::n_ui::n_posix {

bool LoadQtTexts(QTranslator& translator, t_Language language) {
  InitialiseQtTextResources();
  const QString name = QStringLiteral("qtbase_") + ToQString(LanguageTag(language));
  return translator.load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
         translator.load(name, QStringLiteral(":/mivora/qt_texts"));
}

}  // namespace n_zorbel::n_ui::n_posix
