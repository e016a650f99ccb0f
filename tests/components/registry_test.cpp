#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <cstring>

#include "components/ext_registry.h"

namespace dlvr {
namespace {

QSettings Conf(const QString& app) { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", app); }

// Each test keeps its settings under its own program name, emptied first.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    TExtRegistry::SetProgramNameForTests(program_);
    QFile::remove(Conf(program_).fileName());
  }
  void TearDown() override { TExtRegistry::SetProgramNameForTests(QString()); }
  QString program_;
};

TEST_F(RegistryTest, KeysAreRootProgramAndSectionInTheProgramsFile) {
  TExtRegistry r("frmMain");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\" + program_ + "\\frmMain");
  r.SetSection("");
  EXPECT_EQ(r.Section(), "（なし）");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\" + program_);
  EXPECT_EQ(TExtRegistry().Section(), "（なし）");

  TExtRegistry("frmMain").WriteInteger("ViewLang", 3);
  TExtRegistry().WriteString("InsFolder", "/opt/viewer/");
  EXPECT_EQ(Conf(program_).value("frmMain/ViewLang").toInt(), 3);
  EXPECT_EQ(Conf(program_).value("InsFolder").toString(), "/opt/viewer/");

  // Without the program name the section's first part names the file.
  TExtRegistry other("RegMapViewer\\FrmViewer");
  other.UseAppName = false;
  EXPECT_EQ(other.KeyPath(), "Software\\Tavrin\\RegMapViewer\\FrmViewer");
  other.WriteString("Directory", "/data/photos");
  EXPECT_EQ(Conf("RegMapViewer").value("FrmViewer/Directory").toString(), "/data/photos");
}

TEST_F(RegistryTest, ReadsGiveTheValueWrittenOrTheDefault) {
  TExtRegistry r("frmMain");
  EXPECT_FALSE(r.KeyExists());
  EXPECT_EQ(r.ReadString("MediaPath", "/home/u/"), "/home/u/");
  EXPECT_EQ(r.ReadInteger("ViewFileMode", 2), 2);
  EXPECT_TRUE(r.ReadBool("HintCont", true));
  EXPECT_FALSE(QFileInfo::exists(Conf(program_).fileName()));  // reading creates nothing

  for (const QString t : {"C:\\Program Files\\ビューア\\", "a, b; c", " padded ", "@ByteArray(xy)", "#x", "k=v", ""}) {
    r.WriteString("Text", t);
    EXPECT_EQ(r.ReadString("Text", "default"), t) << t.toStdString();
  }
  for (int i : {0, -1, 2147483647, -2147483647 - 1}) {
    r.WriteInteger("LeftWidth", i);
    EXPECT_EQ(r.ReadInteger("LeftWidth", 7), i);
  }
  r.WriteBool("HintCont", false);
  EXPECT_FALSE(r.ReadBool("HintCont", true));
  r.WriteInteger("HintCont", 2);  // a double word for a Boolean: non-zero is true
  EXPECT_TRUE(r.ReadBool("HintCont", false));

  // Values of another kind give the default.
  for (const char* text : {"wide", "12px", "99999999999"}) {
    r.WriteString("LeftWidth", text);
    EXPECT_EQ(r.ReadInteger("LeftWidth", 225), 225) << text;
  }
  r.WriteString("HintCont", "perhaps");
  EXPECT_TRUE(r.ReadBool("HintCont", true));
  r.WriteBinary("MediaPath", QByteArray("\x01\x02", 2));
  EXPECT_EQ(r.ReadString("MediaPath", "dflt"), "dflt");
  EXPECT_EQ(r.ReadInteger("MediaPath", 5), 5);
}

TEST_F(RegistryTest, BinaryValuesComeBackOnlyAtTheirSize) {
  TExtRegistry r("frmFindFiles");
  const int widths[4] = {100, 50, -1, 0x7fffffff};
  r.WriteBinary("Widths", widths, sizeof widths);
  const QByteArray back = r.ReadBinary("Widths", QByteArray(), sizeof widths);
  ASSERT_EQ(back.size(), static_cast<int>(sizeof widths));
  EXPECT_EQ(std::memcmp(back.constData(), widths, sizeof widths), 0);
  EXPECT_EQ(r.ReadBinary("Widths", "d", sizeof widths - 1), QByteArray("d"));
  r.WriteString("Looks", "@ByteArray(ab)");  // text comes back as text
  EXPECT_EQ(r.ReadBinary("Looks", "d", 2), QByteArray("@ByteArray(ab)"));
}

TEST_F(RegistryTest, OnlyTheUsersOwnKeyIsReadAndNamesIgnoreCase) {
  QFile::remove(Conf("RegCaseViewer").fileName());
  Conf("RegCaseViewer").setValue("FrmViewer/Directory", "/data/");
  TExtRegistry r("regcaseviewer\\FRMVIEWER");
  r.UseAppName = false;
  EXPECT_TRUE(r.KeyExists());
  EXPECT_EQ(r.ReadString("directory", ""), "/data/");
  r.WriteString("DIRECTORY", "/other/");  // the stored value, no second one
  EXPECT_FALSE(QFileInfo::exists(Conf("REGCASEVIEWER").fileName()));
  EXPECT_EQ(Conf("RegCaseViewer").value("FrmViewer/Directory").toString(), "/other/");
  EXPECT_EQ(Conf("RegCaseViewer").allKeys().size(), 1);

  // An organisation-wide value is no value of the program's key.
  QSettings org(QSettings::NativeFormat, QSettings::UserScope, "Tavrin");
  org.setValue("frmMain/LeftWidth", 300);
  EXPECT_EQ(TExtRegistry("frmMain").ReadInteger("LeftWidth", 225), 225);
  org.clear();

  TExtRegistry::SetProgramNameForTests(QString());
  EXPECT_EQ(TExtRegistry::ProgramName(), "components_tests");
}

TEST_F(RegistryTest, WindowPlacementUnderFormNameWinPos) {
  QDialog d;
  d.setObjectName("frmTest");
  d.move(70, 80);
  d.resize(420, 330);
  TExtRegistry().SaveWindowPlacement(&d);
  EXPECT_EQ(Conf(program_).value("frmTest/WinPos/Left").toInt(), 70);
  EXPECT_EQ(Conf(program_).value("frmTest/WinPos/Height").toInt(), 330);

  d.move(0, 0);
  d.resize(200, 100);
  TExtRegistry r;
  ASSERT_TRUE(r.LoadWindowPlacement(&d));
  EXPECT_EQ(QRect(d.pos(), d.size()), QRect(70, 80, 420, 330));
  EXPECT_FALSE(r.LoadWindowPlacement(&d));  // once per component
  d.setFixedSize(300, 200);  // a fixed-size form keeps its size
  ASSERT_TRUE(TExtRegistry().LoadWindowPlacement(&d));
  EXPECT_EQ(QRect(d.pos(), d.size()), QRect(70, 80, 300, 200));

  // Nothing usable stored: Load fails and leaves the form, Restore centres.
  Conf(program_).setValue("frmTest/WinPos/Left", "left");
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  d.move(3, 3);
  EXPECT_FALSE(TExtRegistry().LoadWindowPlacement(&d));
  EXPECT_EQ(d.pos(), QPoint(3, 3));
  TExtRegistry().RestoreWindowPlacement(&d);
  EXPECT_EQ(d.pos(), area.topLeft() + QPoint((area.width() - 300) / 2, (area.height() - 200) / 2));
}

}  // namespace
}  // namespace dlvr
