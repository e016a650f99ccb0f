#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>

#include <memory>
#include <utility>

#include "components/ext_grid.h"
#include "components/ext_registry.h"
#include "components/form_control.h"

namespace dlvr {
namespace {

TEST(FormControlRules, StepsCountFromTheMinimumWithinTheLimits) {
  EXPECT_EQ(TFormControl::Snap(125, 100, 0, 16), 132);
  EXPECT_EQ(TFormControl::Snap(107, 100, 0, 16), 100);
  EXPECT_EQ(TFormControl::Snap(108, 100, 0, 16), 116);  // half a step goes up
  EXPECT_EQ(TFormControl::Snap(123, 100, 0, 1), 123);   // no steps
  EXPECT_EQ(TFormControl::Snap(140, 100, 0, 16, 17), 133);  // a scroll bar's allowance
  EXPECT_EQ(TFormControl::Snap(250, 100, 250, 16), 244);    // 260 would pass the maximum
  EXPECT_EQ(TFormControl::Snap(100, 100, 0, 16, 12), 112);  // 96 would pass the minimum
  EXPECT_EQ(TFormControl::Snap(105, 100, 105, 16, 10), 105);  // no step fits
}

TEST(FormControlRules, WindowsOffTheScreenComeBackWithin40Pixels) {
  const QRect screen(0, 0, 1280, 1024);
  const std::pair<QPoint, QPoint> cases[] = {
      {{1240, 10}, {1240, 10}}, {{1241, 10}, {880, 10}},  {{10, 984}, {10, 984}},     {{10, 985}, {10, 724}},
      {{-360, 10}, {-360, 10}}, {{-361, 10}, {0, 10}},    {{-350, -5}, {-350, 0}},    {{5000, -3000}, {880, 0}},
      {{-3000, 3000}, {0, 724}}};
  for (const auto& [from, to] : cases)
    EXPECT_EQ(TFormControl::KeepOnScreen(QRect(from, QSize(400, 300)), screen).topLeft(), to) << from.x() << "," << from.y();
  const QRect second(1280, 100, 1024, 768);
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(2300, 150, 400, 300), second).topLeft(), QPoint(1904, 150));
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(900, 50, 400, 300), second).topLeft(), QPoint(1280, 100));
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

QRect Placed(const QWidget& w) { return QRect(w.pos(), w.size()); }

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
  int StoredValue(const QString& form, const char* name) const {
    return Stored().value("WinPos/" + form + "/" + name).toInt();
  }
  void Store(const QString& form, QRect r, int state = 0) {
    QSettings s = Stored();
    s.beginGroup("WinPos/" + form);
    for (auto [name, v] : {std::pair{"Left", r.x()}, {"Top", r.y()}, {"Width", r.width()}, {"Height", r.height()},
                           {"WindowState", state}})
      s.setValue(name, v);
  }
  // A sizeable 300 x 200 dialog with a form control without limits.
  static std::unique_ptr<QDialog> MakeForm(const QString& name, TFormControl** control = nullptr) {
    auto d = std::make_unique<QDialog>();
    d->setObjectName(name);
    d->resize(300, 200);
    auto* fc = new TFormControl(d.get());
    fc->MinClientWidth = fc->MinClientHeight = fc->MaxClientWidth = fc->MaxClientHeight = 0;
    if (control) *control = fc;
    return d;
  }

  QString program_;
  QRect area_;
};

TEST_F(FormControlTest, PlacementIsSavedWhenHiddenOrDestroyedAndRestoredWhenShown) {
  {
    auto d = MakeForm("frmTest");
    d->show();
    d->move(50, 60);
    d->resize(420, 330);
    d->hide();
    EXPECT_EQ(StoredValue("frmTest", "Left"), 50);
    EXPECT_EQ(StoredValue("frmTest", "Height"), 330);
    d->show();  // shown again: stays where it was
    d->move(33, 44);
  }  // destroyed while shown
  auto d = MakeForm("frmTest");
  d->show();
  EXPECT_EQ(Placed(*d), QRect(33, 44, 420, 330));

  // Maximised: the stored normal placement stays and comes back under it.
  d->setWindowState(Qt::WindowMaximized);
  Settle();
  d->hide();
  EXPECT_EQ(StoredValue("frmTest", "WindowState"), 2);
  auto again = MakeForm("frmTest");
  again->show();
  Settle();
  EXPECT_TRUE(again->windowState().testFlag(Qt::WindowMaximized));
  again->setWindowState(Qt::WindowNoState);
  Settle();
  EXPECT_EQ(Placed(*again), QRect(33, 44, 420, 330));
}

TEST_F(FormControlTest, PlacementsComeBackOnTheScreenOrAtTheDefaults) {
  const int right = area_.right() + 1, bottom = area_.bottom() + 1;
  const std::pair<QPoint, QPoint> stored[] = {
      {{right + 500, bottom + 10}, {right - 300, bottom - 200}},
      {{area_.x() - 260, area_.y() - 100}, {area_.x() - 260, area_.y()}},  // 40 pixels on screen
  };
  for (const auto& [from, to] : stored) {
    Store("frmOff", QRect(from, QSize(300, 200)), 1);  // minimised opens normal
    TFormControl* fc;
    auto d = MakeForm("frmOff", &fc);
    d->show();
    EXPECT_EQ(d->pos(), to) << from.x() << "," << from.y();
    EXPECT_FALSE(d->windowState().testFlag(Qt::WindowMinimized));
    fc->RegistWinPos = false;
  }
  // Nothing stored, or a damaged value: the default position, the size kept.
  const QPoint centre = area_.topLeft() + QPoint((area_.width() - 300) / 2, (area_.height() - 200) / 2);
  Store("frmBad", QRect(50, 60, 420, 330));
  Stored().setValue("WinPos/frmBad/Width", "wide");
  const std::tuple<const char*, QPoint, QPoint> defaults[] = {
      {"frmNew", {-1, -1}, centre},
      {"frmNew", {100000, 40}, {right - 300, area_.y() + 40}},
      {"frmBad", {-1, -1}, centre}};
  for (const auto& [name, given, shown] : defaults) {
    TFormControl* fc;
    auto d = MakeForm(name, &fc);
    fc->DefaultLeft = given.x();
    fc->DefaultTop = given.y();
    d->show();
    EXPECT_EQ(Placed(*d), QRect(shown, QSize(300, 200))) << name;
    fc->RegistWinPos = false;
  }
  // A fixed-size form keeps its designed size and stores none.
  Store("dlgFixed", QRect(50, 60, 900, 700));
  TFormControl* fc;
  auto d = MakeForm("dlgFixed", &fc);
  fc->MinClientWidth = fc->MaxClientWidth = 300;
  fc->MinClientHeight = fc->MaxClientHeight = 200;
  d->show();
  EXPECT_EQ(Placed(*d), QRect(50, 60, 300, 200));
  d->hide();
  EXPECT_EQ(StoredValue("dlgFixed", "Width"), 900);
}

TEST_F(FormControlTest, TheClientAreaKeepsItsLimitsAndSteps) {
  QDialog unsized;
  EXPECT_EQ(TFormControl(&unsized).MinClientWidth, 0);  // limits start at a sized form only
  TFormControl* fc;
  auto d = MakeForm("frmSteps", &fc);
  EXPECT_EQ(TFormControl(d.get()).MaxClientHeight, 200);
  fc->RegistWinPos = false;
  fc->MinClientWidth = 200;
  fc->MinClientHeight = 100;
  fc->MaxClientHeight = 200;
  fc->StepV = 16;
  fc->StepH = 10;
  int resizing = 0, resized = 0;
  QObject::connect(fc, &TFormControl::FormResizing, [&] { ++resizing; });
  QObject::connect(fc, &TFormControl::FormResize, [&] { ++resized; });
  d->show();  // applies the limits
  EXPECT_EQ(resizing, 1);
  const std::pair<QSize, QSize> cases[] = {
      {{300, 125}, {300, 132}}, {{254, 107}, {250, 100}}, {{50, 50}, {200, 100}}, {{255, 300}, {260, 196}}};
  for (const auto& [asked, shown] : cases) {
    d->resize(asked);
    Settle();
    EXPECT_EQ(d->size(), shown) << asked.width() << "x" << asked.height();
  }
  EXPECT_GT(resized, 0);
  d->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  d->setWindowState(Qt::WindowMaximized);  // sized by the desktop: no steps, no limits
  Settle();
  EXPECT_GT(d->height(), 200);
}

TEST_F(FormControlTest, StepsAllowForTheGridsScrollBarAndFontsRescaleTheLimits) {
  TFormControl* fc;
  auto d = MakeForm("frmGrid", &fc);
  auto* grid = new TExtGrid3(d.get());
  (new QVBoxLayout(d.get()))->addWidget(grid);
  d->layout()->setContentsMargins(0, 0, 0, 0);
  grid->SetColCount(40);
  grid->SetDefaultColWidth(80);
  const int bar = TFormControl::ScrollBarExtent(grid);
  fc->RegistWinPos = false;
  fc->MinClientWidth = 200;
  fc->MinClientHeight = 100;
  fc->StepV = bar + 3;
  fc->StringGrid = grid;
  d->show();
  Settle();
  ASSERT_GT(grid->horizontalScrollBar()->maximum(), grid->horizontalScrollBar()->minimum());
  d->resize(400, 100 + bar + 2 * fc->StepV + 1);
  Settle();
  EXPECT_EQ(d->height(), 100 + bar + 2 * fc->StepV);
  grid->SetColCount(2);  // every column shown: no bar to allow for
  d->resize(400, 100 + 2 * fc->StepV + 1);
  Settle();
  EXPECT_EQ(d->height(), 100 + 2 * fc->StepV);

  fc->StepV = 1;
  QFont font = d->font();
  font.setPixelSize(12);
  d->setFont(font);
  const int minWidth = fc->MinClientWidth;
  font.setPixelSize(24);
  d->setFont(font);
  EXPECT_GT(fc->MinClientWidth, minWidth * 3 / 2);
  EXPECT_EQ(fc->MaxClientWidth, 0);             // no limit stays none
  EXPECT_EQ(d->height(), fc->MinClientHeight);  // the client area grew with its limits
}

}  // namespace
}  // namespace dlvr
