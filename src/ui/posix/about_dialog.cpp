#include "ui/posix/about_dialog.hpp"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "ui/posix/qt_text.hpp"

namespace n_zorbel::n_ui::n_posix {

t_AboutDialog::t_AboutDialog(QWidget* owner, const t_AboutBox& about, const QIcon& icon,
                             std::function<void()> openClickAddress)
    : QDialog(owner) {
  setObjectName(QStringLiteral("about"));
  setWindowTitle(ToQString(about.title));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* iconLabel = new QLabel(this);
  const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  iconLabel->setPixmap(icon.pixmap(iconSize, iconSize));
  iconLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* version = new QLabel(ToQString(about.versionLine), this);
  version->setObjectName(QStringLiteral("version"));
  version->setTextFormat(Qt::PlainText);
  QFont emphasised = version->font();
  emphasised.setBold(true);
  emphasised.setPointSizeF(emphasised.pointSizeF() * 1.2);
  version->setFont(emphasised);

  auto* developer = new QLabel(ToQString(about.developerLine), this);
  developer->setObjectName(QStringLiteral("developer"));
  developer->setTextFormat(Qt::PlainText);
  developer->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  const QString shown = ToQString(about.linkAddress).toHtmlEscaped();
  auto* footer = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(shown), this);
  footer->setObjectName(QStringLiteral("link"));
  footer->setTextFormat(Qt::RichText);
  footer->setOpenExternalLinks(false);
  footer->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(footer, &QLabel::linkActivated, this,
          [open = std::move(openClickAddress)](const QString&) { open(); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(iconLabel, 0, 0, 2, 1);
  grid->addWidget(version, 0, 1);
  grid->addWidget(developer, 1, 1);
  grid->addWidget(buttons, 2, 0, 1, 2);
  grid->addWidget(line, 3, 0, 1, 2);
  grid->addWidget(footer, 4, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace n_zorbel::n_ui::n_posix
