#include "ui/posix/art.hpp"

#include <QDir>

static void InitialiseArtResources() { Q_INIT_RESOURCE(mivora_art); }

namespace n_zorbel::n_ui::n_posix {

namespace {

QImage Overlay(const QString& name) {
  const QImage image(QStringLiteral(":/mivora/") + name);
  return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

t_Art LoadArt(const QString& desktopId) {
  InitialiseArtResources();
  t_Art art;
  QIcon builtIn;
  const QDir icons(QStringLiteral(":/mivora/icons"));
  for (const QString& file : icons.entryList(QDir::Files)) builtIn.addFile(icons.filePath(file));
  art.icon = QIcon::fromTheme(desktopId, builtIn);
  art.reelTall = Overlay(QStringLiteral("film_strip_tall.png"));
  art.reelWide = Overlay(QStringLiteral("film_strip_wide.png"));
  return art;
}

}  // namespace n_zorbel::n_ui::n_posix
