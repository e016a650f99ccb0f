#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

#include <memory>

#include "components/ext_grid.h"
#include "components/ext_registry.h"
#include "components/form_control.h"

namespace dlvr {
namespace {

// ---------------------------------------------------------------------------
// Pure rules

TEST(FormControlRules, StepsCountFromTheMinimumRoundingHalfUp) {
  EXPECT_EQ(TFormControl::Snap(125, 100, 0, 16), 132);
  EXPECT_EQ(TFormControl::Snap(107, 100, 0, 16), 100);
  EXPECT_EQ(TFormControl::Snap(108, 100, 0, 16), 116);  // a half step goes up
  EXPECT_EQ(TFormControl::Snap(100, 100, 0, 16), 100);
  EXPECT_EQ(TFormControl::Snap(301, 276, 0, 17), 293);
  EXPECT_EQ(TFormControl::Snap(284, 276, 0, 17), 276);
  EXPECT_EQ(TFormControl::Snap(123, 100, 0, 1), 123);  // no steps
  EXPECT_EQ(TFormControl::Snap(123, 100, 0, 0), 123);
  // A scroll bar's allowance moves the steps.
  EXPECT_EQ(TFormControl::Snap(140, 100, 0, 16, 17), 133);
  EXPECT_EQ(TFormControl::Snap(124, 100, 0, 16, 17), 117);
}

TEST(FormControlRules, SnappedLengthsStayWithinTheLimits) {
  EXPECT_EQ(TFormControl::Snap(248, 100, 250, 16), 244);  // 260 would pass the maximum
  EXPECT_EQ(TFormControl::Snap(250, 100, 250, 16), 244);
  EXPECT_EQ(TFormControl::Snap(100, 100, 0, 16, 12), 112);  // 96 would pass the minimum
  EXPECT_EQ(TFormControl::Snap(108, 100, 110, 16), 100);
  EXPECT_EQ(TFormControl::Snap(105, 100, 105, 16, 10), 105);  // no step fits: the maximum
}

TEST(FormControlRules, WindowsOffTheScreenComeBackWithin40Pixels) {
  const QRect screen(0, 0, 1280, 1024);
  auto at = [&](int x, int y, int w = 400, int h = 300) {
    return TFormControl::KeepOnScreen(QRect(x, y, w, h), screen).topLeft();
  };
  EXPECT_EQ(at(100, 100), QPoint(100, 100));
  // Beyond the right edge less 40: aligned to the right edge.
  EXPECT_EQ(at(1240, 10), QPoint(1240, 10));
  EXPECT_EQ(at(1241, 10), QPoint(880, 10));
  EXPECT_EQ(at(5000, 10), QPoint(880, 10));
  // Beyond the bottom edge less 40: aligned to the bottom edge.
  EXPECT_EQ(at(10, 984), QPoint(10, 984));
  EXPECT_EQ(at(10, 985), QPoint(10, 724));
  // Less than 40 pixels left of the left edge: at the left edge.
  EXPECT_EQ(at(-360, 10), QPoint(-360, 10));
  EXPECT_EQ(at(-361, 10), QPoint(0, 10));
  EXPECT_EQ(at(-5000, 10), QPoint(0, 10));
  // Above the top edge: at the top edge.
  EXPECT_EQ(at(-350, -5), QPoint(-350, 0));
  EXPECT_EQ(at(2000, -3000), QPoint(880, 0));
  EXPECT_EQ(at(-3000, 3000), QPoint(0, 724));
  // A window wider than the screen, right-aligned, keeps its left part out.
  EXPECT_EQ(at(1300, 0, 1500, 300), QPoint(-220, 0));
  // On a screen that does not start at the origin.
  const QRect second(1280, 100, 1024, 768);
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(2300, 150, 400, 300), second).topLeft(), QPoint(1904, 150));
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(900, 50, 400, 300), second).topLeft(), QPoint(1280, 100));
}

TEST(FormControlRules, MulDivRoundsToTheNearest) {
  EXPECT_EQ(TFormControl::MulDiv(792, 16, 13), 975);
  EXPECT_EQ(TFormControl::MulDiv(5, 1, 2), 3);
  EXPECT_EQ(TFormControl::MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(TFormControl::MulDiv(7, 2, -4), -4);
  EXPECT_EQ(TFormControl::MulDiv(2000000000, 3, 3), 2000000000);  // no overflow on the way
  EXPECT_EQ(TFormControl::MulDiv(7, 2, 0), -1);
}

// ---------------------------------------------------------------------------
// On forms

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

class FormControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = "fc_" + QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    TExtRegistry::SetProgramNameForTests(program_);
    QFile::remove(Stored().fileName());
    area_ = QGuiApplication::primaryScreen()->availableGeometry();
  }
  void TearDown() override { TExtRegistry::SetProgramNameForTests(QString()); }

  QSettings Stored() const { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", program_); }
  void Store(const QString& form, int left, int top, int width, int height, int state = 0) {
    QSettings s = Stored();
    s.setValue("WinPos/" + form + "/Left", left);
    s.setValue("WinPos/" + form + "/Top", top);
    s.setValue("WinPos/" + form + "/Width", width);
    s.setValue("WinPos/" + form + "/Height", height);
    s.setValue("WinPos/" + form + "/WindowState", state);
  }

  // A sizeable form named `name` with a form control (no limits).
  struct Form {
    std::unique_ptr<QDialog> Dialog;
    TFormControl* Control;
  };
  static Form MakeForm(const QString& name, QSize size = QSize(300, 200)) {
    Form f{std::make_unique<QDialog>(), nullptr};
    f.Dialog->setObjectName(name);
    f.Dialog->resize(size);
    f.Control = new TFormControl(f.Dialog.get());
    f.Control->MinClientWidth = f.Control->MinClientHeight = 0;
    f.Control->MaxClientWidth = f.Control->MaxClientHeight = 0;
    return f;
  }

  QString program_;
  QRect area_;
};

TEST_F(FormControlTest, PlacementIsSavedOnHideAndRestoredOnFirstShow) {
  {
    Form f = MakeForm("frmTest");
    EXPECT_EQ(f.Control->PlacementKeyPath(), "Software\\Tavrin\\" + program_ + "\\WinPos\\frmTest");
    f.Dialog->show();
    f.Dialog->move(50, 60);
    f.Dialog->resize(420, 330);
    f.Dialog->hide();
  }
  QSettings s = Stored();
  EXPECT_EQ(s.value("WinPos/frmTest/Left").toInt(), 50);
  EXPECT_EQ(s.value("WinPos/frmTest/Top").toInt(), 60);
  EXPECT_EQ(s.value("WinPos/frmTest/Width").toInt(), 420);
  EXPECT_EQ(s.value("WinPos/frmTest/Height").toInt(), 330);
  EXPECT_EQ(s.value("WinPos/frmTest/WindowState").toInt(), 0);

  Form f = MakeForm("frmTest");
  f.Dialog->show();
  EXPECT_EQ(f.Dialog->pos(), QPoint(50, 60));
  EXPECT_EQ(f.Dialog->size(), QSize(420, 330));
  // Shown again after hiding, the form stays where it was put.
  f.Dialog->hide();
  f.Dialog->move(70, 80);
  f.Dialog->show();
  EXPECT_EQ(f.Dialog->pos(), QPoint(70, 80));
}

TEST_F(FormControlTest, AFormDestroyedWhileShownSavesItsPlacement) {
  {
    Form f = MakeForm("frmGone");
    f.Dialog->show();
    f.Dialog->move(33, 44);
  }
  EXPECT_EQ(Stored().value("WinPos/frmGone/Left").toInt(), 33);
  EXPECT_EQ(Stored().value("WinPos/frmGone/Top").toInt(), 44);
}

TEST_F(FormControlTest, WithoutRegistWinPosNothingIsKept) {
  Store("frmFree", 50, 60, 420, 330);
  Form f = MakeForm("frmFree");
  f.Control->RegistWinPos = false;
  f.Dialog->move(7, 8);
  f.Dialog->show();
  EXPECT_EQ(f.Dialog->pos(), QPoint(7, 8));
  f.Dialog->hide();
  EXPECT_EQ(Stored().value("WinPos/frmFree/Left").toInt(), 50);
}

TEST_F(FormControlTest, AMaximisedWindowKeepsItsStoredNormalPlacement) {
  Store("frmMax", 50, 60, 420, 330);
  {
    Form f = MakeForm("frmMax");
    f.Dialog->show();
    f.Dialog->setWindowState(Qt::WindowMaximized);
    Settle();
    f.Dialog->hide();
  }
  QSettings s = Stored();
  EXPECT_EQ(s.value("WinPos/frmMax/WindowState").toInt(), 2);
  EXPECT_EQ(s.value("WinPos/frmMax/Left").toInt(), 50);
  EXPECT_EQ(s.value("WinPos/frmMax/Width").toInt(), 420);

  Form f = MakeForm("frmMax");
  f.Dialog->show();
  Settle();
  EXPECT_TRUE(f.Dialog->windowState().testFlag(Qt::WindowMaximized));
  f.Dialog->setWindowState(Qt::WindowNoState);
  Settle();
  EXPECT_EQ(f.Dialog->pos(), QPoint(50, 60));
  EXPECT_EQ(f.Dialog->size(), QSize(420, 330));
}

TEST_F(FormControlTest, AWindowStoredMinimisedOpensNormal) {
  Store("frmMin", 50, 60, 420, 330, 1);
  Form f = MakeForm("frmMin");
  f.Dialog->show();
  Settle();
  EXPECT_FALSE(f.Dialog->windowState().testFlag(Qt::WindowMinimized));
  EXPECT_EQ(f.Dialog->pos(), QPoint(50, 60));
}

TEST_F(FormControlTest, WindowsStoredOffTheScreenAreBroughtBack) {
  const QSize size(300, 200);
  const int right = area_.right() + 1, bottom = area_.bottom() + 1;
  struct Case {
    QPoint Stored, Shown;
  };
  const Case cases[] = {
      {{area_.x() + 20, area_.y() + 30}, {area_.x() + 20, area_.y() + 30}},
      {{right + 500, area_.y() + 30}, {right - size.width(), area_.y() + 30}},
      {{area_.x() + 20, bottom + 10}, {area_.x() + 20, bottom - size.height()}},
      {{area_.x() - 290, area_.y() + 30}, {area_.x(), area_.y() + 30}},  // 10 pixels on the screen
      {{area_.x() - 260, area_.y() + 30}, {area_.x() - 260, area_.y() + 30}},  // 40 pixels: enough
      {{area_.x() + 20, area_.y() - 100}, {area_.x() + 20, area_.y()}},
      {{right + 500, bottom + 500}, {right - size.width(), bottom - size.height()}},
  };
  for (const Case& c : cases) {
    Store("frmOff", c.Stored.x(), c.Stored.y(), size.width(), size.height());
    Form f = MakeForm("frmOff", QSize(100, 100));
    f.Dialog->show();
    EXPECT_EQ(f.Dialog->pos(), c.Shown) << c.Stored.x() << "," << c.Stored.y();
    EXPECT_EQ(f.Dialog->size(), size);
    f.Control->RegistWinPos = false;
  }
}

TEST_F(FormControlTest, WithoutAUsablePlacementTheDefaultPositionHolds) {
  const QSize size(300, 200);
  const QPoint centre = area_.topLeft() + QPoint((area_.width() - 300) / 2, (area_.height() - 200) / 2);
  {
    Form f = MakeForm("frmNew", size);
    f.Dialog->show();
    EXPECT_EQ(f.Dialog->pos(), centre);
    f.Control->RegistWinPos = false;
  }
  {
    Form f = MakeForm("frmNew", size);
    f.Control->DefaultLeft = 30;
    f.Control->DefaultTop = 40;
    f.Dialog->show();
    EXPECT_EQ(f.Dialog->pos(), area_.topLeft() + QPoint(30, 40));
    f.Control->RegistWinPos = false;
  }
  {
    Form f = MakeForm("frmNew", size);
    f.Control->DefaultLeft = 100000;  // limited to the screen
    f.Control->DefaultTop = -1;
    f.Dialog->show();
    EXPECT_EQ(f.Dialog->pos(), QPoint(area_.right() + 1 - 300, centre.y()));
    f.Control->RegistWinPos = false;
  }
  // A damaged value: the default position, the size as designed.
  Store("frmBad", 50, 60, 420, 330);
  {
    QSettings s = Stored();
    s.setValue("WinPos/frmBad/Width", "wide");
  }
  Form f = MakeForm("frmBad", size);
  f.Dialog->show();
  EXPECT_EQ(f.Dialog->pos(), centre);
  EXPECT_EQ(f.Dialog->size(), size);
}

TEST_F(FormControlTest, AFixedSizeFormKeepsItsDesignedSize) {
  Store("dlgFixed", 50, 60, 900, 700);
  {
    Form f = MakeForm("dlgFixed", QSize(300, 200));
    f.Control->MinClientWidth = f.Control->MaxClientWidth = 300;
    f.Control->MinClientHeight = f.Control->MaxClientHeight = 200;
    f.Dialog->show();
    EXPECT_EQ(f.Dialog->pos(), QPoint(50, 60));
    EXPECT_EQ(f.Dialog->size(), QSize(300, 200));
    f.Dialog->move(70, 80);
    f.Dialog->hide();
  }
  EXPECT_EQ(Stored().value("WinPos/dlgFixed/Left").toInt(), 70);
  EXPECT_EQ(Stored().value("WinPos/dlgFixed/Width").toInt(), 900);  // not written
}

TEST_F(FormControlTest, LimitsStartAtTheSizedFormAndHoldTheClientArea) {
  QDialog unsized;
  TFormControl none(&unsized);
  EXPECT_EQ(none.MinClientWidth, 0);
  EXPECT_EQ(none.MaxClientHeight, 0);

  QDialog d;
  d.resize(480, 420);
  auto* fc = new TFormControl(&d);
  EXPECT_EQ(fc->MinClientWidth, 480);
  EXPECT_EQ(fc->MaxClientWidth, 480);
  EXPECT_EQ(fc->MinClientHeight, 420);
  EXPECT_EQ(fc->MaxClientHeight, 420);
  fc->RegistWinPos = false;
  fc->MinClientWidth = 407;
  fc->MinClientHeight = 357;
  fc->MaxClientWidth = 0;
  fc->MaxClientHeight = 500;
  int resizing = 0;
  QObject::connect(fc, &TFormControl::FormResizing, [&] { ++resizing; });
  fc->ApplyLimits();
  EXPECT_EQ(resizing, 1);
  d.show();
  d.resize(100, 100);
  EXPECT_EQ(d.size(), QSize(407, 357));
  d.resize(3000, 3000);
  EXPECT_EQ(d.size(), QSize(3000, 500));
}

TEST_F(FormControlTest, UserSizesSnapToTheSteps) {
  Form f = MakeForm("frmSteps");
  f.Control->RegistWinPos = false;
  f.Control->MinClientWidth = 200;
  f.Control->MinClientHeight = 100;
  f.Control->MaxClientHeight = 200;
  f.Control->StepV = 16;
  f.Control->StepH = 10;
  f.Control->ApplyLimits();
  int resized = 0;
  QObject::connect(f.Control, &TFormControl::FormResize, [&] { ++resized; });
  f.Dialog->show();
  Settle();
  f.Dialog->resize(300, 125);
  Settle();
  EXPECT_EQ(f.Dialog->size(), QSize(300, 132));
  EXPECT_GT(resized, 0);
  f.Dialog->resize(254, 107);
  Settle();
  EXPECT_EQ(f.Dialog->size(), QSize(250, 100));
  f.Dialog->resize(255, 300);  // height held at the maximum, then on a step
  Settle();
  EXPECT_EQ(f.Dialog->size(), QSize(260, 196));
  // A maximised window is left as the desktop sizes it (no step, no
  // client limit).
  f.Dialog->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  f.Dialog->setWindowState(Qt::WindowMaximized);
  Settle();
  EXPECT_GT(f.Dialog->height(), 200);
}

TEST_F(FormControlTest, StepsAllowForTheGridsHorizontalScrollBar) {
  QDialog d;
  auto* layout = new QVBoxLayout(&d);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* grid = new TExtGrid3(&d);
  layout->addWidget(grid);
  grid->SetColCount(40);
  grid->SetRowCount(3);
  grid->SetDefaultColWidth(80);
  d.resize(400, 200);
  auto* fc = new TFormControl(&d);
  fc->RegistWinPos = false;
  fc->MinClientWidth = 200;
  fc->MinClientHeight = 100;
  fc->MaxClientWidth = fc->MaxClientHeight = 0;
  const int bar = TFormControl::ScrollBarExtent(grid);
  ASSERT_GT(bar, 0);
  fc->StepV = bar + 3;  // a step the bar's height is no multiple of
  fc->StringGrid = grid;
  fc->ApplyLimits();
  d.show();
  Settle();
  ASSERT_GT(grid->horizontalScrollBar()->maximum(), grid->horizontalScrollBar()->minimum());
  d.resize(400, 100 + bar + 2 * fc->StepV + 1);
  Settle();
  EXPECT_EQ(d.height(), 100 + bar + 2 * fc->StepV);
  // With every column shown there is no bar to allow for.
  grid->SetColCount(2);
  d.resize(400, 100 + 2 * fc->StepV + 1);
  Settle();
  EXPECT_EQ(d.height(), 100 + 2 * fc->StepV);
}

TEST_F(FormControlTest, AFontChangeRescalesTheLimits) {
  QDialog d;
  QFont small = d.font();
  small.setPixelSize(12);
  d.setFont(small);
  d.resize(300, 200);
  auto* fc = new TFormControl(&d);
  fc->RegistWinPos = false;
  fc->MinClientWidth = 300;
  fc->MinClientHeight = 200;
  fc->MaxClientWidth = 0;
  fc->MaxClientHeight = 400;
  fc->ApplyLimits();
  d.show();
  QFont large = small;
  large.setPixelSize(24);
  d.setFont(large);
  EXPECT_GT(fc->MinClientWidth, 450);
  EXPECT_LT(fc->MinClientWidth, 750);
  EXPECT_EQ(fc->MaxClientWidth, 0);  // no limit stays no limit
  EXPECT_GT(fc->MaxClientHeight, 600);
  EXPECT_EQ(d.minimumSize(), QSize(fc->MinClientWidth, fc->MinClientHeight));
  EXPECT_EQ(d.size(), d.minimumSize());  // the client area grew with it
  d.setFont(small);
  EXPECT_NEAR(fc->MinClientWidth, 300, 2);
  EXPECT_NEAR(fc->MaxClientHeight, 400, 2);
}

TEST_F(FormControlTest, GridsEditAgainAfterThePlacementAndReportTheirLine) {
  // Shows a form with an editing, focused grid; returns how often the grid
  // reported entering its line, and whether it was editing while placed.
  auto showForm = [](const QString& name, bool& editingWhilePlaced) {
    Form f = MakeForm(name);
    auto* grid = new TExtGrid3(f.Dialog.get());
    grid->SetColCount(3);
    grid->SetRowCount(3);
    grid->SetEditing(true);
    int entered = 0;
    grid->OnCRLIn = [&](int, int, int) { ++entered; };
    grid->setFocus();
    struct Probe : QObject {
      TExtGrid3* Grid = nullptr;
      bool* Editing = nullptr;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Move) *Editing = Grid->Editing();
        return false;
      }
    } probe;
    probe.Grid = grid;
    probe.Editing = &editingWhilePlaced;
    f.Dialog->installEventFilter(&probe);
    f.Dialog->show();
    EXPECT_TRUE(grid->Editing());
    EXPECT_TRUE(f.Dialog->focusWidget() == grid || grid->isAncestorOf(f.Dialog->focusWidget()));
    f.Dialog->removeEventFilter(&probe);
    grid->OnCRLIn = nullptr;
    return entered;
  };
  bool editingWithout = false, editingWith = true;
  const int without = showForm("frmGridNew", editingWithout);
  Store("frmGrid", 50, 60, 420, 330);
  const int with = showForm("frmGrid", editingWith);
  EXPECT_TRUE(editingWithout);  // nothing stored: the grids are left alone
  EXPECT_FALSE(editingWith);
  EXPECT_EQ(with, without + 1);
}

}  // namespace
}  // namespace dlvr
