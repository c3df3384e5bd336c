#pragma once
// The video list and the cover path: read-only one-line fields drawn on the
// window's colour, as Windows draws read-only edits, so they do not look like
// fields one types into. The colour follows palette changes (a switch between
// light and dark). Reached by a click, not by Tab.
#include <QLineEdit>

namespace n_zorbel::n_ui::n_posix {

class t_ReadOnlyEdit final : public QLineEdit {
  Q_OBJECT
 public:
  explicit t_ReadOnlyEdit(QWidget* parent);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void FollowWindowColour();
};

}  // namespace n_zorbel::n_ui::n_posix
