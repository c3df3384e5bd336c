// The Qt adapter on the offscreen platform: the window t_MainDialog drives,
// with real widgets, real menus, a real timer and real message boxes. Only
// the desktop (pickers, URL opener, launcher) and the tool processes are fakes.
#include "ui/posix/view.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "intake/path_queries.hpp"
#include "qt_test_support.hpp"
#include "support/scratch_folder.hpp"
#include "ui/dialog_layout.hpp"
#include "ui/fake_system.hpp"
#include "ui/fake_view.hpp"
#include "ui/ids.hpp"
#include "ui/main_dialog.hpp"
#include "ui/posix/art.hpp"
#include "ui/posix/cover_decoder.hpp"
#include "ui/posix/multi_line_edit.hpp"
#include "ui/posix/qt_text.hpp"
#include "ui/posix/year_spin_box.hpp"
#include "ui/texts.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace n_ui;
using n_ui::n_posix::t_QtView;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class QtViewTest : public testing::Test {
 protected:
  QtViewTest() { TestApplication(); }
  ~QtViewTest() override {
    view.reset();
    dialog.reset();
    // A dialog that ended asked every event loop to end; the application's
    // own loop, run once, clears that for the next test in this process.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
  }

  void Open(std::vector<t_String> arguments = {}, t_Language language = t_Language::English) {
    dialog = std::make_unique<t_MainDialog>(
        t_MainDialogSetup{std::move(arguments), scratch / ZTEXT("Mivora/"), 16},
        t_MainDialogPorts{system, n_intake::t_SystemPathQueries::Instance(), decoder});
    view = std::make_unique<t_QtView>(*dialog, language, services,
                                      n_ui::n_posix::LoadArt(QStringLiteral(MIVORA_DESKTOP_ID)));
    view->Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->Window()));
  }

  QWidget* C(int id) const { return view->Control(id); }
  QString Text(int id) const { return n_ui::n_posix::ToQString(TextOf(id)); }
  t_String TextOf(int id) const { return view->ControlText(id); }
  void Click(int id) { QTest::mouseClick(C(id), Qt::LeftButton); }
  QString Title() const { return view->Window()->windowTitle(); }

  t_String MakeVideo(std::string_view name) {
    scratch.MakeFile(FromUtf8(name), "video");
    return scratch / FromUtf8(name);
  }
  t_String MakePicture(std::string_view name, int width, int height, QColor colour, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    const t_String path = scratch / FromUtf8(name);
    EXPECT_TRUE(image.save(QString::fromUtf8(path.c_str()), format));
    return path;
  }
  // The cover decodes on its own thread: true once its picture has arrived.
  bool CoverArrives() { return QTest::qWaitFor([&] { return dialog->Cover() != nullptr; }, 10000); }
  // Presses the right button at a point of `widget`, as a user would.
  void RightPress(QWidget* widget, QPoint at) { QTest::mousePress(widget, Qt::RightButton, {}, at); }

  t_ScratchFolder scratch;
  t_FakeJobSystem system;
  n_ui::n_posix::t_QtCoverDecoder decoder;
  t_FakeDesktopServices services;
  std::unique_ptr<t_MainDialog> dialog;
  std::unique_ptr<t_QtView> view;
};

// --- Texts, layout, tab order ----------------------------------------------

TEST_F(QtViewTest, EveryLanguageShowsTheDialogsTextsAndThePreviewMenuFromItsTable) {
  for (const t_Language language : kAllLanguages) {
    Open({}, language);
    SCOPED_TRACE(std::string(LanguageTag(language)));
    // What the dialog gives a window in this language, as the fake view keeps it.
    t_FakeView asked(language);
    t_FakeCoverDecoder noCover;
    t_MainDialog reference({{}, scratch / ZTEXT("Mivora/"), 16},
                           {system, n_intake::t_SystemPathQueries::Instance(), noCover});
    reference.OnInitDialog(asked);
    ASSERT_FALSE(asked.texts.empty());
    for (const auto& [control, text] : asked.texts) EXPECT_EQ(TextOf(control), text) << control;
    const QList<QAction*> items = view->PreviewMenu()->actions();
    const auto expected = PreviewMenuItems(language);
    ASSERT_EQ(static_cast<std::size_t>(items.size()), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(items[i]->text(), Q(expected[i].text));
    // The fixed texts stay the same in every language.
    EXPECT_EQ(Title(), QStringLiteral("Mivora"));
    EXPECT_EQ(Text(kYear), QStringLiteral("2016"));
    EXPECT_EQ(view->GenreMenu()->actions().front()->text(), QStringLiteral("Action"));
    view.reset();
    dialog.reset();
  }
}

TEST_F(QtViewTest, EachLabelNamesItsFieldForScreenReaders) {
  const std::pair<int, int> buddies[] = {{kVideoListLabel, kVideoList},
                                         {kCoverPathLabel, kCoverPath},
                                         {kTitleLabel, kTitle},
                                         {kAuthorLabel, kAuthor},
                                         {kGenreLabel, kGenre},
                                         {kYearLabel, kYear},
                                         {kAudioSourcesLabel, kAudioSources},
                                         {kVideoSourcesLabel, kVideoSources},
                                         {kCommentLabel, kComment}};
  Open();
  for (const auto& [label, field] : buddies)
    EXPECT_EQ(qobject_cast<QLabel*>(C(label))->buddy(), C(field)) << label;
}

TEST_F(QtViewTest, ControlsAreLaidOutInDialogUnitsOfTheWindowsFont) {
  // Base units of 6 x 13 pixels (8-point MS Shell Dlg at 96 DPI) give the
  // pixel rectangles the Windows dialog has.
  const n_ui::n_posix::t_BaseUnits windows{6, 13};
  EXPECT_EQ(n_ui::n_posix::DialogRectToPixels({267, 43, 174, 160}, windows), QRect(401, 70, 261, 260));
  EXPECT_EQ(n_ui::n_posix::DialogRectToPixels({0, 0, 448, 231}, windows), QRect(0, 0, 672, 375));
  EXPECT_EQ(n_ui::n_posix::DialogRectToPixels({86, 7, 301, 14}, windows), QRect(129, 11, 452, 23));
}

TEST_F(QtViewTest, TheWindowKeepsTheTemplatesProportionsAtAnySize) {
  for (const int pointSize : {8, 11, 18}) {
    QFont font = QApplication::font();
    font.setPointSize(pointSize);
    QApplication::setFont(font);
    Open();
    SCOPED_TRACE(pointSize);
    const n_ui::n_posix::t_BaseUnits units = view->BaseUnits();
    const QWidget* window = view->Window();
    EXPECT_EQ(window->size(),
              QSize(n_ui::n_posix::DialogXToPixels(448, units), n_ui::n_posix::DialogYToPixels(231, units)));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed size";
    // Where the Windows template puts each control; the year's up-down is
    // part of its field in Qt.
    for (const auto& [id, kind, style, rect] : n_ui::DialogControls()) {
      if (kind == n_ui::t_ControlKind::YearSpin) continue;
      const QRect geometry = C(id)->geometry();
      EXPECT_EQ(geometry, n_ui::n_posix::DialogRectToPixels(rect, units)) << id;
      // Relative to the window, each edge lies where the template puts it,
      // within the rounding of one unit.
      EXPECT_NEAR(geometry.left() / double(window->width()), rect.x / 448.0,
                  1.0 / 448 + 1.0 / window->width());
      EXPECT_NEAR(geometry.top() / double(window->height()), rect.y / 231.0,
                  1.0 / 231 + 1.0 / window->height());
    }
    view.reset();
    dialog.reset();
  }
  QApplication::setFont(QFont());
}

TEST_F(QtViewTest, TabVisitsTheControlsInTemplateOrderFromBrowse) {
  Open({MakeVideo("one.mp4")});
  const std::vector<int> order = {kBrowseVideos, kBrowseCover, kTitle,        kAuthor,       kGenre,
                                  kGenreButton,  kYear,        kAudioSources, kVideoSources, kComment,
                                  kRemoveBlank,  kApply,       kDonate,       kAbout};
  ASSERT_EQ(QApplication::focusWidget(), C(kBrowseVideos));
  std::vector<int> visited;
  for (std::size_t step = 0; step < order.size(); ++step) {
    for (const int id : order)
      if (C(id) == QApplication::focusWidget() || C(id)->isAncestorOf(QApplication::focusWidget()))
        visited.push_back(id);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(visited, order);
}

// --- Fields ------------------------------------------------------------------

TEST_F(QtViewTest, TheYearTakesDigitsOnlyStepsWithinItsRangeAndMayBeLeftEmpty) {
  Open();
  auto* year = qobject_cast<n_ui::n_posix::t_YearSpinBox*>(C(kYear));
  ASSERT_NE(year, nullptr);
  EXPECT_EQ(C(kYearSpin), C(kYear));
  year->Edit()->selectAll();
  QTest::keyClicks(year->Edit(), QStringLiteral("19a8-7"));
  EXPECT_EQ(Text(kYear), QStringLiteral("1987"));
  QTest::keyClick(year->Edit(), Qt::Key_Up);  // steps from the typed number
  EXPECT_EQ(Text(kYear), QStringLiteral("1988"));
  year->Edit()->setText(QStringLiteral("32767"));
  year->stepBy(5);
  EXPECT_EQ(Text(kYear), QStringLiteral("32767"));
  year->Edit()->setText(QStringLiteral("0"));
  year->stepBy(-1);
  EXPECT_EQ(Text(kYear), QStringLiteral("0"));
  year->Edit()->clear();
  QTest::keyClick(year->Edit(), Qt::Key_Tab);  // leaving the field keeps it empty
  EXPECT_EQ(Text(kYear), QString());
  year->stepBy(1);  // from the spin's own position
  EXPECT_EQ(Text(kYear), QStringLiteral("1"));
}

TEST_F(QtViewTest, MultiLineFieldsBreakLinesOnlyWithCtrlEnterAndReadBackWithCrLf) {
  Open();
  QWidget* comment = C(kComment);
  comment->setFocus();
  QTest::keyClicks(comment, QStringLiteral("first"));
  QTest::keyClick(comment, Qt::Key_Return);  // does nothing, as in the Windows field
  QTest::keyClick(comment, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClicks(comment, QStringLiteral("second"));
  EXPECT_EQ(TextOf(kComment), t_String("first\r\nsecond"));
  view->SetControlText(kVideoSources, "a\r\nb");
  EXPECT_EQ(qobject_cast<QPlainTextEdit*>(C(kVideoSources))->toPlainText(), QStringLiteral("a\nb"));
  EXPECT_EQ(TextOf(kVideoSources), t_String("a\r\nb"));
  view->SetControlText(kTitle, "Привет");
  EXPECT_EQ(TextOf(kTitle), t_String("Привет"));
}

// --- Enable rules, run, title, failure, Stop ------------------------------------

TEST_F(QtViewTest, ArgumentsFillTheListAndEnableApply) {
  const t_String one = MakeVideo("one.mp4"), two = MakeVideo("two.mp4");
  Open({one, two});
  EXPECT_EQ(TextOf(kVideoList), one + ";" + two);
  EXPECT_TRUE(C(kApply)->isEnabled());
}

TEST_F(QtViewTest, ARunDisablesTheInputsShowsProgressAndStopEndsTheTool) {
  Open({MakeVideo("one.mp4"), MakeVideo("two.mp4")});
  system.runner.scripts[0] = {1000000, 0};  // the first tool keeps running
  QTest::keyClicks(C(kTitle), QStringLiteral("Blue Sky"));
  Click(kApply);
  ASSERT_TRUE(dialog->Running());
  EXPECT_EQ(Title(), QStringLiteral("50% [1/2] Mivora"));
  EXPECT_TRUE(view->Tick().isActive());
  EXPECT_EQ(view->Tick().interval(), 200);
  for (int id = kFirstInputControl; id <= kLastInputControl; ++id)
    if (C(id) != nullptr) {
      EXPECT_FALSE(C(id)->isEnabled()) << id;
    }
  EXPECT_EQ(Text(kApply), QStringLiteral("Stop"));
  for (const int id : {kApply, kDonate, kAbout}) EXPECT_TRUE(C(id)->isEnabled()) << id;
  ASSERT_FALSE(services.launcherUpdates.empty());
  EXPECT_TRUE(services.launcherUpdates.back().visible);
  EXPECT_DOUBLE_EQ(services.launcherUpdates.back().progress, 0.5);

  // The tick is the real timer: the tool is started and polled.
  ASSERT_TRUE(QTest::qWaitFor([&] { return system.runner.running == 1; }, 3000));
  // A drop, the genre and the preview menu do nothing during a run.
  RightPress(C(kPreview), QPoint(10, 10));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  Click(kApply);  // Stop
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(system.runner.terminated, 1);
  EXPECT_FALSE(view->Tick().isActive());
  EXPECT_EQ(Title(), QStringLiteral("Mivora"));
  EXPECT_EQ(Text(kApply), QStringLiteral("Apply"));
  for (int id = kFirstInputControl; id <= kLastInputControl; ++id)
    if (C(id) != nullptr) {
      EXPECT_TRUE(C(id)->isEnabled()) << id;
    }
  EXPECT_FALSE(services.launcherUpdates.back().visible);
}

TEST_F(QtViewTest, TheTimerCarriesARunToItsEndThroughEveryProgressTitle) {
  Open({MakeVideo("one.mp4"), MakeVideo("two.mp4"), MakeVideo("three.mp4")});
  QStringList titles;
  QObject::connect(view->Window(), &QWidget::windowTitleChanged,
                   [&](const QString& title) { titles << title; });
  QTest::keyClicks(C(kTitle), QStringLiteral("Blue Sky"));
  Click(kApply);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Running(); }, 5000));
  EXPECT_EQ(titles, (QStringList{"33% [1/3] Mivora", "66% [2/3] Mivora", "100% [3/3] Mivora", "Mivora"}));
  EXPECT_EQ(system.runner.starts.size(), 3u);
}

TEST_F(QtViewTest, AFailureIsReportedInOneMessageBoxWhileTheLauncherShowsUrgency) {
  Open({MakeVideo("one.mp4"), MakeVideo("two.mp4"), MakeVideo("three.mp4")});
  system.runner.scripts[1] = {0, 1};  // the second file's tool exits with 1
  QTest::keyClicks(C(kTitle), QStringLiteral("Blue Sky"));
  QString caption, text;
  bool urgentMeanwhile = false, tickingMeanwhile = true;
  int boxes = 0;
  WhenModalOpens([&](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    ASSERT_NE(box, nullptr);
    ++boxes;
    caption = box->windowTitle();
    text = box->text();
    urgentMeanwhile = services.launcherUpdates.back().urgent;
    tickingMeanwhile = view->Tick().isActive();
    box->button(QMessageBox::Ok)->click();  // closed as the user would
  });
  Click(kApply);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Running(); }, 5000));
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(caption, QStringLiteral("Mivora error"));
  EXPECT_EQ(text, QStringLiteral("neroAACTag process did not exit gracefully: error #-2147024895\n") +
                      n_ui::n_posix::ToQString(dialog->VideoFiles()[1]) +
                      QStringLiteral("\nThe tagger did not accept a tag value or an option."));
  EXPECT_TRUE(urgentMeanwhile);
  EXPECT_FALSE(tickingMeanwhile);
  EXPECT_EQ(system.runner.starts.size(), 2u) << "the third file is never started";
  EXPECT_EQ(Title(), QStringLiteral("Mivora"));
  EXPECT_FALSE(services.launcherUpdates.back().visible);
  EXPECT_FALSE(services.launcherUpdates.back().urgent);
}

TEST_F(QtViewTest, EnterAndEscapeNeverCloseTheWindowButTheCloseBoxEndsTheDialog) {
  Open();
  C(kTitle)->setFocus();
  QTest::keyClick(C(kTitle), Qt::Key_Return);
  QTest::keyClick(view->Window(), Qt::Key_Escape);
  EXPECT_FALSE(view->Ended());
  EXPECT_TRUE(view->Window()->isVisible());
  view->Window()->close();
  EXPECT_TRUE(view->Ended());
  EXPECT_FALSE(view->Window()->isVisible());
}

TEST_F(QtViewTest, TheSessionsEndStopsARunAndEndsTheDialog) {
  Open({MakeVideo("one.mp4")});
  system.runner.scripts[0] = {1000000, 0};
  QTest::keyClicks(C(kTitle), QStringLiteral("Blue Sky"));
  Click(kApply);
  ASSERT_TRUE(QTest::qWaitFor([&] { return system.runner.running == 1; }, 3000));
  dialog->OnSessionEnding();
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(system.runner.terminated, 1);
  EXPECT_TRUE(view->Ended());
}

// --- Pickers, menus, web pages, About ----------------------------------------------

TEST_F(QtViewTest, PickersAskForVideosFoldersWithCtrlAndOneImage) {
  Open();
  const t_String one = MakeVideo("one.mp4"), two = MakeVideo("two.mp4");
  services.pickedPaths = {two, one};
  Click(kBrowseVideos);
  ASSERT_EQ(services.pickerSetups.size(), 1u);
  EXPECT_EQ(services.pickerSetups[0],
            (n_ui::n_posix::t_PickerSetup{QFileDialog::ExistingFiles, "Video files (*.mp4)", "mp4", false}));
  EXPECT_EQ(TextOf(kVideoList), two + ";" + one) << "in the picker's order";
  EXPECT_TRUE(C(kApply)->isEnabled());

  scratch.MakeFile(ZTEXT("folder/three.mp4"));
  services.pickedPaths = {scratch / ZTEXT("folder")};
  services.ctrlDown = true;
  Click(kBrowseVideos);
  EXPECT_EQ(services.pickerSetups[1], (n_ui::n_posix::t_PickerSetup{QFileDialog::Directory, "", "", true}));
  EXPECT_EQ(TextOf(kVideoList), scratch / ZTEXT("folder/three.mp4")) << "the list is replaced";

  const t_String cover = MakePicture("cover.png", 40, 30, Qt::red, "PNG");
  services.pickedPaths = {cover};
  Click(kBrowseCover);
  EXPECT_EQ(services.pickerSetups[2], (n_ui::n_posix::t_PickerSetup{QFileDialog::ExistingFile,
                                                                 "Image files (*.jpg *.png)", "jpg", false}));
  EXPECT_EQ(TextOf(kCoverPath), cover);
  ASSERT_TRUE(CoverArrives());

  services.pickedPaths = {};  // cancelled
  services.ctrlDown = false;
  Click(kBrowseVideos);
  EXPECT_EQ(TextOf(kVideoList), t_String());
  EXPECT_FALSE(C(kApply)->isEnabled());
}

TEST_F(QtViewTest, TheGenreMenuOpensBesidePlusAndAppendsTheChosenGenres) {
  Open();
  QRect menuAt;
  const auto choose = [&](int index) {
    WhenMenuOpens([&, index](QMenu& menu) {
      menuAt = menu.geometry();
      ChooseMenuItem(menu, index);
    });
    Click(kGenreButton);
    QTest::qWait(20);  // the choice arrives after the menu has closed
  };
  choose(5);  // Drama
  EXPECT_EQ(Text(kGenre), QStringLiteral("Drama"));
  QWidget* plus = C(kGenreButton);
  const QPoint besidePlus = plus->mapToGlobal(QPoint(plus->width(), plus->height() / 2));
  // Where the screen leaves room, the menu's left edge is the button's right
  // edge and its middle the button's middle.
  const QRect screen = plus->screen()->geometry();
  if (besidePlus.x() + menuAt.width() <= screen.right() + 1 &&
      besidePlus.y() - menuAt.height() / 2 >= screen.top() &&
      besidePlus.y() + menuAt.height() / 2 <= screen.bottom()) {
    EXPECT_EQ(menuAt.left(), besidePlus.x());
    EXPECT_NEAR(menuAt.center().y(), besidePlus.y(), 1);
  }
  choose(11);  // MMV
  choose(11);
  EXPECT_EQ(Text(kGenre), QStringLiteral("Drama, MMV, MMV"));
}

TEST_F(QtViewTest, ARightPressInsideThePreviewOpensItsMenuWithTheOptionsChecked) {
  Open();
  QWidget* preview = C(kPreview);
  std::vector<bool> checks;
  QPoint menuAt;
  QSize menuSize;
  const auto openAndChoose = [&](QPoint at, int index) {
    checks.clear();
    WhenMenuOpens([&, index](QMenu& menu) {
      menuAt = menu.geometry().topLeft();
      menuSize = menu.size();
      for (int i = 0; i < 3; ++i) checks.push_back(menu.actions().at(i)->isChecked());
      ChooseMenuItem(menu, index);
    });
    RightPress(preview, at);
    QTest::qWait(20);
  };
  openAndChoose(QPoint(5, 6), 0);  // Draw checks
  EXPECT_EQ(checks, (std::vector<bool>{true, true, true}));
  const QPoint pressed = preview->mapToGlobal(QPoint(5, 6));
  if (pressed.x() + menuSize.width() <= preview->screen()->geometry().right() + 1) {
    EXPECT_EQ(menuAt, pressed);
  }
  EXPECT_FALSE(dialog->PreviewOptions().drawChecks);
  openAndChoose(QPoint(preview->width() - 1, preview->height() - 1), 2);  // Fit into 256x256 box
  EXPECT_EQ(checks, (std::vector<bool>{false, true, true}));
  EXPECT_FALSE(dialog->PreviewOptions().fitInto256);

  // Outside the preview, on the background or a label, nothing opens.
  RightPress(view->Window(), QPoint(3, 3));
  RightPress(C(kTitleLabel), QPoint(2, 2));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(QtViewTest, DonateAndTheAboutLinkOpenTheirPagesWithTheQuery) {
  Open();
  Click(kDonate);
  ASSERT_EQ(services.openedUrls.size(), 1u);
  EXPECT_EQ(services.openedUrls[0], n_ui::n_posix::WebAddress(DonationPageAddress()));
  EXPECT_EQ(services.openedUrls[0].query(), QStringLiteral("from=Mivora v1.0.12"));

  QString title, link;
  WhenModalOpens([&](QWidget& modal) {
    title = modal.windowTitle();
    auto* footer = modal.findChild<QLabel*>(QStringLiteral("link"));
    ASSERT_NE(footer, nullptr);
    link = footer->text();
    emit footer->linkActivated(QStringLiteral("ignored"));
    qobject_cast<QDialog*>(&modal)->accept();
  });
  Click(kAbout);
  EXPECT_EQ(title, QStringLiteral("About"));
  EXPECT_TRUE(link.contains(n_ui::n_posix::ToQString(ProductLinkAddress()))) << link.toStdString();
  EXPECT_FALSE(link.contains(QStringLiteral("from=")));
  ASSERT_EQ(services.openedUrls.size(), 2u);
  EXPECT_EQ(services.openedUrls[1], n_ui::n_posix::WebAddress(ProductPageAddress()));
}

// --- Keyboard and screen readers ------------------------------------------------

TEST_F(QtViewTest, ScreenReadersTellTheControlsApartInEveryLanguageWithoutNewVisibleText) {
  struct t_Named {
    int control;
    int name;
    int description;  // 0: none
    QAccessible::Role role;
  };
  const t_Named named[] = {
      {kBrowseVideos, kTextBrowseVideosName, 0, QAccessible::Button},
      {kBrowseCover, kTextBrowseCoverName, 0, QAccessible::Button},
      {kGenreButton, kTextGenrePlusName, 0, QAccessible::Button},
      {kPreview, kTextCoverPreview, kTextCoverPreviewDescription, QAccessible::Graphic},
  };
  for (const t_Language language : kAllLanguages) {
    SCOPED_TRACE(std::string(LanguageTag(language)));
    Open({}, language);
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(view->Window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Dialog);
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Mivora"));
    for (const auto& [control, name, description, role] : named) {
      QAccessibleInterface* item = QAccessible::queryAccessibleInterface(C(control));
      ASSERT_NE(item, nullptr) << control;
      EXPECT_EQ(item->role(), role) << control;
      EXPECT_EQ(item->text(QAccessible::Name), Q(TextUtf8(language, name))) << control;
      EXPECT_EQ(item->text(QAccessible::Description),
                description == 0 ? QString() : Q(TextUtf8(language, description)))
          << control;
      EXPECT_EQ(item->parent()->object(), view->Window()) << control;
    }
    EXPECT_EQ(Text(kBrowseCover), Q(TextUtf8(language, kTextBrowseCover)));
    EXPECT_EQ(Text(kGenreButton), QStringLiteral("+"));
    view.reset();
    dialog.reset();
  }
}

TEST_F(QtViewTest, TheEndOfARunIsToldToScreenReadersThroughTheWindow) {
  // The offscreen platform has no accessibility bus to watch for the alert;
  // what a reader fetches on it is the window's description.
  Open({MakeVideo("one.mp4")});
  QTest::keyClicks(C(kTitle), QStringLiteral("Blue Sky"));
  Click(kApply);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Running(); }, 5000));
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(view->Window());
  EXPECT_EQ(window->text(QAccessible::Description), Q(TextUtf8(t_Language::English, kTextRunDone)));
}

TEST_F(QtViewTest, ShiftF10AndTheMenuKeyOpenThePreviewMenuAtItsCornerButEditsKeepTheirOwn) {
  Open({}, t_Language::Greek);
  // The shortcut acts only in the active window; a closed menu gives activation back by an
  // event that may still be queued when the next key comes.
  const auto activate = [&] {
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(view->Window());
  };
  const QPoint corner = C(kPreview)->mapToGlobal(QPoint(0, 0));
  // The window's shortcut, and the request the platform makes of the menu key.
  const std::function<void(QWidget*)> asks[] = {
      [](QWidget* focused) { QTest::keyClick(focused, Qt::Key_F10, Qt::ShiftModifier); },
      [](QWidget* focused) {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(1, 1),
                                  focused->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(focused, &request);
      },
  };
  for (const auto& ask : asks) {
    for (const int focus : {kBrowseVideos, kRemoveBlank, kAbout}) {
      activate();
      C(focus)->setFocus(Qt::TabFocusReason);
      QMenu* opened = nullptr;
      QPoint at;
      WhenMenuOpens([&](QMenu& menu) {
        opened = &menu;
        at = menu.geometry().topLeft();
        menu.close();
      });
      ask(C(focus));
      EXPECT_EQ(opened, view->PreviewMenu()) << focus;
      if (corner.x() + view->PreviewMenu()->width() <= C(kPreview)->screen()->geometry().right() + 1) {
        EXPECT_EQ(at, corner) << focus;
      }
    }
    // A field's own menu, with Qt's texts in the dialog's language.
    activate();
    C(kTitle)->setFocus(Qt::TabFocusReason);
    QStringList items;
    WhenMenuOpens([&](QMenu& menu) {
      for (const QAction* action : menu.actions()) items << action->text();
      menu.close();
    });
    ask(C(kTitle));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !items.isEmpty(); }, 5000));
    EXPECT_TRUE(items.contains(QStringLiteral("Α&ντιγραφή\tCtrl+C"))) << items.join(u'|').toStdString();
  }
}

TEST_F(QtViewTest, ReadOnlyFieldsAreDrawnOnTheWindowsColourInLightAndDarkPalettes) {
  Open();
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  for (const auto& [role, colour] : {std::pair{QPalette::Window, QColor(0x2d, 0x2d, 0x2d)},
                                     std::pair{QPalette::Base, QColor(0x1e, 0x1e, 0x1e)},
                                     std::pair{QPalette::Text, QColor(0xee, 0xee, 0xee)}})
    dark.setColor(role, colour);
  for (const QPalette& palette : {light, dark, light}) {
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();  // the change reaches the widgets as posted events
    for (const bool enabled : {true, false}) {
      SCOPED_TRACE(enabled ? "enabled" : "disabled");
      for (const int id : {kVideoList, kCoverPath, kTitle}) C(id)->setEnabled(enabled);
      for (const int id : {kVideoList, kCoverPath}) {
        const QPalette& drawn = C(id)->palette();
        const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
        EXPECT_EQ(drawn.color(group, QPalette::Base), palette.color(group, QPalette::Window)) << id;
        // Styles draw a disabled field on the window's colour anyway.
        if (enabled) {
          EXPECT_NE(drawn.color(group, QPalette::Base), C(kTitle)->palette().color(group, QPalette::Base));
        }
      }
    }
  }
  QApplication::setPalette(light);
}

TEST_F(QtViewTest, QtsOwnTextsFollowEveryLanguageOfTheDialog) {
  // Qt's source texts, and what each of our languages shows for them.
  struct t_Case {
    const char* context;
    const char* source;
    const char* shown[4];  // English, Dutch, Russian, Greek
  };
  const t_Case cases[] = {
      {"QLineEdit", "&Copy", {"&Copy", "&Kopiëren", "&Копировать", "Α&ντιγραφή"}},
      {"QWidgetTextControl",
       "Select All",
       {"Select All", "Alles selecteren", "Выделить всё", "Επιλογή όλων"}},
      {"QPlatformTheme", "Cancel", {"Cancel", "Annuleren", "Отмена", "Άκυρο"}},
      {"QFileDialog", "File &name:", {"File &name:", "Bestands&naam:", "&Имя файла:", "Όνομα &αρχείου:"}},
  };
  for (const t_Language language : kAllLanguages) {
    SCOPED_TRACE(std::string(LanguageTag(language)));
    Open({}, language);
    for (const t_Case& c : cases)
      EXPECT_EQ(QCoreApplication::translate(c.context, c.source),
                QString::fromUtf8(c.shown[static_cast<int>(language)]))
          << c.context << " " << c.source;
    view.reset();
    dialog.reset();
  }
}

// --- Drops -------------------------------------------------------------------------

class DropTest : public QtViewTest {
 protected:
  // Drags `data` over the window and drops it; true when the window took the drag.
  bool Drop(const QByteArray& uriList, const char* type = "text/uri-list") {
    QMimeData data;
    data.setData(QString::fromLatin1(type), uriList);
    const QPoint at(view->Window()->width() / 2, 5);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->Window(), &enter);
    if (!enter.isAccepted()) return false;
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "never a move";
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->Window(), &drop);
    return drop.isAccepted();
  }
  static QByteArray Uri(const t_String& path) {
    return QUrl::fromLocalFile(QString::fromUtf8(path.c_str())).toEncoded() + "\r\n";
  }
};

TEST_F(DropTest, DroppedFilesAndFoldersAreTakenInTheirOrder) {
  const t_String one = MakeVideo("one.mp4");
  scratch.MakeFile(ZTEXT("folder/two.mp4"));
  const t_String three = MakeVideo("three.mp4");
  const t_String cover = MakePicture("cover.jpg", 20, 10, Qt::blue, "JPEG");
  Open({MakeVideo("zero.mp4")});
  ASSERT_TRUE(
      Drop("# a comment line\r\n" + Uri(three) + Uri(scratch / ZTEXT("folder")) + Uri(cover) + Uri(one)));
  EXPECT_EQ(TextOf(kVideoList),
            scratch / ZTEXT("zero.mp4") + ";" + three + ";" + scratch / ZTEXT("folder/two.mp4") + ";" + one);
  EXPECT_EQ(TextOf(kCoverPath), cover);
  EXPECT_TRUE(CoverArrives());
}

TEST_F(DropTest, ANameThatIsNotUtf8KeepsItsBytes) {
  const t_String odd = MakeVideo("caf\xe9.mp4");  // Latin-1, not UTF-8
  Open();
  ASSERT_TRUE(Drop("file://" + QByteArray::fromStdString(ToUtf8(scratch.Path())).toPercentEncoding("/") +
                   "caf%E9.mp4\r\n"));
  ASSERT_EQ(dialog->VideoFiles().Size(), 1u);
  EXPECT_EQ(dialog->VideoFiles().DisplayText(), odd);
}

TEST_F(DropTest, DropsDuringARunAndDropsWithoutFilesChangeNothing) {
  Open({MakeVideo("one.mp4")});
  const t_String two = MakeVideo("two.mp4");
  EXPECT_FALSE(Drop("just some text", "text/plain"));
  system.runner.scripts[0] = {1000000, 0};
  QTest::keyClicks(C(kTitle), QStringLiteral("x"));
  Click(kApply);
  ASSERT_TRUE(dialog->Running());
  EXPECT_TRUE(Drop(Uri(two))) << "the drag is still taken as a copy";
  EXPECT_EQ(dialog->VideoFiles().Size(), 1u);
}

TEST_F(DropTest, ASecondStartsPathsAreTakenAsADropExceptDuringARun) {
  const t_String one = MakeVideo("one.mp4"), two = MakeVideo("two.mp4"), three = MakeVideo("three.mp4");
  Open({one});
  ASSERT_TRUE(services.secondStart);
  services.secondStart({two});
  EXPECT_EQ(TextOf(kVideoList), one + ";" + two);
  services.secondStart({});  // only raises the window
  system.runner.scripts[0] = {1000000, 0};
  QTest::keyClicks(C(kTitle), QStringLiteral("x"));
  Click(kApply);
  ASSERT_TRUE(dialog->Running());
  services.secondStart({three});
  EXPECT_EQ(dialog->VideoFiles().Size(), 2u);
}

// --- The preview ---------------------------------------------------------------------

class PreviewTest : public QtViewTest {
 protected:
  QImage Shot() { return C(kPreview)->grab().toImage(); }
  QColor Role(QPalette::ColorRole role, QPalette::ColorGroup group = QPalette::Active) {
    return C(kPreview)->palette().color(group, role);
  }
};

TEST_F(PreviewTest, WithoutACoverThePlaceholderIsCentredOnTheButtonFace) {
  Open();
  const QImage shot = Shot();
  EXPECT_EQ(shot.pixel(3, 3), Role(QPalette::Window).rgb());
  EXPECT_EQ(shot.pixel(0, 0), Role(QPalette::Shadow).rgb()) << "the frame";
  // Some gray text lies just below the middle, nowhere near the top.
  int textPixels = 0, topPixels = 0;
  for (int y = 1; y < shot.height() - 1; ++y)
    for (int x = 1; x < shot.width() - 1; ++x)
      if (shot.pixel(x, y) != Role(QPalette::Window).rgb())
        (y < shot.height() / 2 ? topPixels : textPixels)++;
  EXPECT_GT(textPixels, 20);
  EXPECT_EQ(topPixels, 0);
}

TEST_F(PreviewTest, ALandscapeCoverIsFramedAsAFilmStillOverChecks) {
  Open({MakePicture("cover.jpg", 1920, 1080, QColor(200, 30, 30), "JPEG")});
  ASSERT_TRUE(CoverArrives());
  const QImage shot = Shot();
  const n_preview::t_PreviewLayout layout = dialog->PreviewLayout(shot.width(), shot.height());
  ASSERT_TRUE(layout.overlay.has_value());
  EXPECT_EQ(layout.destination.width, 194);
  EXPECT_EQ(shot.pixel(5, 5), Role(QPalette::Dark).rgb()) << "the cell at the corner is dark";
  EXPECT_EQ(shot.pixel(15, 5), Role(QPalette::Midlight).rgb());
  const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() / 2);
  EXPECT_NEAR(middle.red(), 200, 12);
  EXPECT_NEAR(middle.green(), 30, 12);
  // The strip's opaque black edge stands just left of the picture window.
  const QColor edge = shot.pixelColor(layout.overlay->rect.x + 30, shot.height() / 2);
  EXPECT_LT(edge.lightness(), 40);

  WhenMenuOpens([](QMenu& menu) { ChooseMenuItem(menu, 0); });  // checks off
  RightPress(C(kPreview), QPoint(10, 10));
  QTest::qWait(20);
  EXPECT_EQ(Shot().pixel(5, 5), Role(QPalette::Base).rgb());
}

TEST_F(PreviewTest, RemoveDropsTheCoverAndRefreshReadsTheFileAgain) {
  const t_String cover = MakePicture("cover.png", 100, 100, Qt::green, "PNG");
  Open({cover});
  ASSERT_TRUE(CoverArrives());
  const auto middle = [&] { return Shot().pixelColor(C(kPreview)->width() / 2, C(kPreview)->height() / 2); };
  EXPECT_EQ(middle(), QColor(Qt::green));
  MakePicture("cover.png", 100, 100, Qt::blue, "JPEG");         // replaced on disk, now a JPEG named .png
  WhenMenuOpens([](QMenu& menu) { ChooseMenuItem(menu, 3); });  // Refresh
  RightPress(C(kPreview), QPoint(10, 10));
  EXPECT_TRUE(QTest::qWaitFor([&] { return middle().green() < 40 && middle().blue() > 200; }, 10000));
  WhenMenuOpens([](QMenu& menu) { ChooseMenuItem(menu, 4); });  // Remove
  RightPress(C(kPreview), QPoint(10, 10));
  QTest::qWait(20);
  EXPECT_EQ(TextOf(kCoverPath), t_String());
  EXPECT_EQ(dialog->Cover(), nullptr);
}

// The tag fields take what the Windows fields take: a paste that does not
// fit is cut to the limit (the dialog beeps meanwhile), and a full field
// takes no more typing. Digits, so that the year takes them too; the
// multi-line fields count a line break as the two characters they give.
TEST_F(QtViewTest, TagFieldsTakeAsMuchAsTheWindowsFieldsAndNoMore) {
  Open();
  for (const int id : kTagFields) {
    SCOPED_TRACE(id);
    const bool multiLine = qobject_cast<n_ui::n_posix::t_MultiLineEdit*>(C(id)) != nullptr;
    QString pasted = QString(kFieldLimit + 500, QLatin1Char('7'));
    if (multiLine)
      for (int at = 10; at < pasted.size(); at += 10) pasted[at] = QLatin1Char('\n');
    QApplication::clipboard()->setText(pasted);
    C(id)->setFocus();
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused, Qt::Key_V, Qt::ControlModifier);
    const std::size_t length = TextOf(id).size();
    EXPECT_LE(length, static_cast<std::size_t>(kFieldLimit));
    EXPECT_GE(length, static_cast<std::size_t>(kFieldLimit - 1));  // a break does not fit in one
    QTest::keyClick(focused, Qt::Key_7);
    QTest::keyClick(focused, Qt::Key_7);
    EXPECT_LE(TextOf(id).size(), static_cast<std::size_t>(kFieldLimit));
  }
}

}  // namespace
}  // namespace n_zorbel::n_testing
