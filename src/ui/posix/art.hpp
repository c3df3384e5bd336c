#pragma once
// The artwork the program carries: the window icon in the hicolor sizes and
// the two film-strip overlays, built into the program as Qt resources from
// resources/images, the same pictures the Windows program carries.
#include <QIcon>
#include <QImage>
#include <QString>

namespace n_zorbel::n_ui::n_posix {

struct t_Art {
  QIcon icon;
  QImage reelTall;  // 256 x 200, premultiplied alpha
  QImage reelWide;  // 256 x 150, premultiplied alpha
};

// The icon comes from the desktop's icon theme under `desktopId` when the
// program is installed, else from the copies built into the program.
t_Art LoadArt(const QString& desktopId);

}  // namespace n_zorbel::n_ui::n_posix
