#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include "components/ext_registry.h"
#include "components/form_control.h"

namespace dlvr {
namespace {

TEST(Registry, KeysComposeFromProgramAndSection) {
  TExtRegistry::SetProgramNameForTests("viewer");
  TExtRegistry r("frmMain");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\viewer\\frmMain");
  r.SetSection("（なし）");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\viewer");
  r.SetSection("");
  EXPECT_EQ(r.Section(), "（なし）");
  r.UseAppName = false;
  r.SetSection("QLNXMLVIEWER");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\QLNXMLVIEWER");
  TExtRegistry none;
  EXPECT_EQ(none.Section(), "（なし）");
  TExtRegistry::SetProgramNameForTests("");
}

TEST(Registry, TypedValuesAndDefaults) {
  TExtRegistry::SetProgramNameForTests("regtest");
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "regtest").clear();
  TExtRegistry r("frmMain");
  EXPECT_EQ(r.ReadString("MediaPath", "def"), "def");
  EXPECT_EQ(r.ReadInteger("ViewLang", 7), 7);
  EXPECT_TRUE(r.ReadBool("HintCont", true));
  r.WriteString("MediaPath", "/media/cd/");
  r.WriteInteger("ViewLang", 3);
  r.WriteBool("HintCont", false);
  EXPECT_EQ(r.ReadString("MediaPath", ""), "/media/cd/");
  EXPECT_EQ(r.ReadInteger("ViewLang", 0), 3);
  EXPECT_FALSE(r.ReadBool("HintCont", true));
  // A value of another type gives the default.
  r.WriteString("LeftWidth", "wide");
  EXPECT_EQ(r.ReadInteger("LeftWidth", 225), 225);
  QByteArray bin("\x01\x02\x03\x04", 4);
  r.WriteBinary("Options", bin);
  EXPECT_EQ(r.ReadBinary("Options", "d", 4), bin);
  EXPECT_EQ(r.ReadBinary("Options", "d", 3), QByteArray("d"));
  EXPECT_EQ(r.ReadBinary("MediaPath", "d", 4), QByteArray("/media/cd/"));  // text comes back as text
  // The values live under Tavrin/<program>, group frmMain.
  QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "regtest");
  EXPECT_EQ(s.value("frmMain/ViewLang").toInt(), 3);
  TExtRegistry::SetProgramNameForTests("");
}

TEST(FormControl, StepsSnapRoundingHalfUp) {
  EXPECT_EQ(TFormControl::Snap(125, 100, 16), 132);
  EXPECT_EQ(TFormControl::Snap(107, 100, 16), 100);
  EXPECT_EQ(TFormControl::Snap(108, 100, 16), 116);
  EXPECT_EQ(TFormControl::Snap(276, 276, 17), 276);
  EXPECT_EQ(TFormControl::Snap(301, 276, 17), 293);
  EXPECT_EQ(TFormControl::Snap(286, 276, 17), 293);
  EXPECT_EQ(TFormControl::Snap(123, 100, 1), 123);
}

TEST(FormControl, WindowsArePulledBackOnScreen) {
  QRect screen(0, 0, 1280, 1024);
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(1250, 10, 400, 300), screen).topLeft(), QPoint(880, 10));
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(10, 1000, 400, 300), screen).topLeft(), QPoint(10, 724));
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(-380, 10, 400, 300), screen).topLeft(), QPoint(0, 10));
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(-350, -5, 400, 300), screen).topLeft(), QPoint(-350, 0));
  EXPECT_EQ(TFormControl::KeepOnScreen(QRect(100, 100, 400, 300), screen).topLeft(), QPoint(100, 100));
}

TEST(FormControl, PlacementIsSavedOnHideAndRestoredOnShow) {
  TExtRegistry::SetProgramNameForTests("placetest");
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "placetest").clear();
  {
    QDialog d;
    d.setObjectName("frmTest");
    d.resize(400, 300);
    TFormControl fc(&d);
    fc.MinClientWidth = 300;
    fc.MaxClientWidth = 0;
    fc.MaxClientHeight = 0;
    fc.MinClientHeight = 200;
    fc.ApplyLimits();
    d.show();
    d.setGeometry(50, 60, 420, 330);
    d.hide();
  }
  QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "placetest");
  EXPECT_EQ(s.value("WinPos/frmTest/Left").toInt(), 50);
  EXPECT_EQ(s.value("WinPos/frmTest/Width").toInt(), 420);
  EXPECT_EQ(s.value("WinPos/frmTest/WindowState").toInt(), 0);
  {
    QDialog d;
    d.setObjectName("frmTest");
    d.resize(400, 300);
    TFormControl fc(&d);
    fc.MaxClientWidth = fc.MaxClientHeight = 0;
    fc.MinClientWidth = fc.MinClientHeight = 0;
    fc.ApplyLimits();
    d.show();
    EXPECT_EQ(d.geometry(), QRect(50, 60, 420, 330));
    d.hide();
  }
  TExtRegistry::SetProgramNameForTests("");
}

}  // namespace
}  // namespace dlvr
