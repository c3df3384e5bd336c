#pragma once
// The About box: the program's icon, its version and developer lines, and a
// footer link that shows the bare product page; a click on the link opens the
// page with the query, whatever the link says. OK closes it, and so do
// Escape and the close box.
#include <QDialog>
#include <QIcon>
#include <functional>

#include "ui/view.hpp"

namespace n_zorbel::n_ui::n_posix {

class t_AboutDialog final : public QDialog {
  Q_OBJECT
 public:
  // `openClickAddress` is called for every click on the link.
  t_AboutDialog(QWidget* owner, const t_AboutBox& about, const QIcon& icon,
                std::function<void()> openClickAddress);
};

}  // namespace n_zorbel::n_ui::n_posix
