#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <cstring>

#include "components/ext_registry.h"

namespace dlvr {
namespace {

// Each test keeps its settings under its own program name, emptied first.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    TExtRegistry::SetProgramNameForTests(program_);
    QFile::remove(File(program_));
  }
  void TearDown() override { TExtRegistry::SetProgramNameForTests(QString()); }

  // The settings file of an application name under Tavrin.
  static QString File(const QString& application) {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", application).fileName();
  }
  QSettings Stored() const { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", program_); }

  QString program_;
};

TEST_F(RegistryTest, KeyIsRootProgramAndSection) {
  TExtRegistry r("frmMain");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\" + program_ + "\\frmMain");
  r.SetSection("（なし）");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\" + program_);
  r.SetSection("");
  EXPECT_EQ(r.Section(), "（なし）");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\" + program_);
  r.UseAppName = false;
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin");
  r.SetSection("QLNXMLViewer\\FrmViewer");
  EXPECT_EQ(r.KeyPath(), "Software\\Tavrin\\QLNXMLViewer\\FrmViewer");
  // Without an owner the section starts as none.
  EXPECT_EQ(TExtRegistry().Section(), "（なし）");
  EXPECT_EQ(TExtRegistry("ExRgInst").Section(), "ExRgInst");
}

TEST_F(RegistryTest, KeysMapOntoSettingsFilesAndGroups) {
  TExtRegistry section("frmMain");
  section.WriteInteger("ViewLang", 3);
  TExtRegistry none;
  none.WriteString("InsFolder", "/opt/viewer/");
  EXPECT_EQ(Stored().value("frmMain/ViewLang").toInt(), 3);
  EXPECT_EQ(Stored().value("InsFolder").toString(), "/opt/viewer/");
  EXPECT_TRUE(QFileInfo::exists(File(program_)));
  EXPECT_EQ(QFileInfo(File(program_)).dir().dirName(), "Tavrin");

  // Without the program name the first section part names the file.
  QFile::remove(File("RegMapViewer"));
  TExtRegistry other;
  other.UseAppName = false;
  other.SetSection("RegMapViewer\\FrmViewer");
  other.WriteString("Directory", "/data/photos");
  EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "RegMapViewer")
                .value("FrmViewer/Directory")
                .toString(),
            "/data/photos");
}

TEST_F(RegistryTest, MissingKeysAndValuesGiveDefaultsWithoutCreatingAnything) {
  TExtRegistry r("frmMain");
  EXPECT_FALSE(r.KeyExists());
  EXPECT_EQ(r.ReadString("MediaPath", "/home/u/"), "/home/u/");
  EXPECT_EQ(r.ReadInteger("ViewFileMode", 2), 2);
  EXPECT_TRUE(r.ReadBool("HintCont", true));
  EXPECT_FALSE(r.ReadBool("HintCont", false));
  EXPECT_EQ(r.ReadBinary("Options", "dflt", 4), QByteArray("dflt"));
  int value = 42;
  EXPECT_FALSE(r.TryReadInteger("LeftWidth", value));
  EXPECT_EQ(value, 42);
  EXPECT_FALSE(QFileInfo::exists(File(program_)));

  // Another section of the same program has its own values.
  TExtRegistry("frmXML").WriteInteger("ViewStyle", 1);
  EXPECT_TRUE(TExtRegistry("frmXML").KeyExists());
  EXPECT_FALSE(r.KeyExists());
  EXPECT_EQ(r.ReadInteger("ViewStyle", 0), 0);
}

TEST_F(RegistryTest, TypedValuesComeBackAsWritten) {
  TExtRegistry r("frmMain");
  const QString texts[] = {"/media/cd/", "C:\\Program Files\\ビューア\\", "a, b; c", " padded ", "@ByteArray(xy)",
                           "\"quoted\"", "", "行1\n行2", "#not a comment", "key=value"};
  for (const QString& t : texts) {
    r.WriteString("Text", t);
    EXPECT_EQ(r.ReadString("Text", "default"), t) << t.toStdString();
  }
  for (int i : {0, 3, -1, 225, 2147483647, -2147483647 - 1}) {
    r.WriteInteger("LeftWidth", i);
    EXPECT_EQ(r.ReadInteger("LeftWidth", 7), i);
  }
  r.WriteBool("HintCont", true);
  EXPECT_TRUE(r.ReadBool("HintCont", false));
  r.WriteBool("HintCont", false);
  EXPECT_FALSE(r.ReadBool("HintCont", true));
}

TEST_F(RegistryTest, ValuesOfAnotherKindGiveTheDefault) {
  TExtRegistry r("frmMain");
  r.WriteString("LeftWidth", "wide");
  EXPECT_EQ(r.ReadInteger("LeftWidth", 225), 225);
  r.WriteString("LeftWidth", "12px");
  EXPECT_EQ(r.ReadInteger("LeftWidth", 225), 225);
  r.WriteString("LeftWidth", "99999999999");  // beyond 32 bits
  EXPECT_EQ(r.ReadInteger("LeftWidth", 225), 225);
  r.WriteString("HintCont", "perhaps");
  EXPECT_TRUE(r.ReadBool("HintCont", true));
  EXPECT_FALSE(r.ReadBool("HintCont", false));
  // A double word stored for a Boolean: non-zero is true.
  r.WriteInteger("HintCont", 2);
  EXPECT_TRUE(r.ReadBool("HintCont", false));
  r.WriteInteger("HintCont", 0);
  EXPECT_FALSE(r.ReadBool("HintCont", true));
  // A binary value is no text and no number.
  r.WriteBinary("MediaPath", QByteArray("\x01\x02", 2));
  EXPECT_EQ(r.ReadString("MediaPath", "dflt"), "dflt");
  EXPECT_EQ(r.ReadInteger("MediaPath", 5), 5);
  EXPECT_TRUE(r.ReadBool("MediaPath", true));
}

TEST_F(RegistryTest, BinaryValuesKeepTheirBytesAndSize) {
  TExtRegistry r("frmFindFiles");
  const QByteArray bytes("\x00\xff\x10\x80\r\n=\"", 8);
  r.WriteBinary("Columns", bytes);
  EXPECT_EQ(r.ReadBinary("Columns", "d", 8), bytes);
  EXPECT_EQ(r.ReadBinary("Columns", "d", 7), QByteArray("d"));  // a size other than stored
  EXPECT_EQ(r.ReadBinary("Columns", "d", 9), QByteArray("d"));

  const int widths[4] = {100, 50, -1, 0x7fffffff};
  r.WriteBinary("Widths", widths, sizeof widths);
  const QByteArray back = r.ReadBinary("Widths", QByteArray(), sizeof widths);
  ASSERT_EQ(back.size(), static_cast<int>(sizeof widths));
  EXPECT_EQ(std::memcmp(back.constData(), widths, sizeof widths), 0);

  r.WriteBinary("Empty", nullptr, 0);
  EXPECT_EQ(r.ReadBinary("Empty", "d", 0), QByteArray());
  // A text value comes back as its text, whatever the size asked.
  r.WriteString("Folder", "/media/ｃｄ/");
  EXPECT_EQ(r.ReadBinary("Folder", "d", 2), QString("/media/ｃｄ/").toUtf8());
  r.WriteString("Looks", "@ByteArray(ab)");
  EXPECT_EQ(r.ReadBinary("Looks", "d", 2), QByteArray("@ByteArray(ab)"));
}

TEST_F(RegistryTest, NamesMatchWithoutRegardToCase) {
  // A value written by another program with other capitals.
  QFile::remove(File("RegCaseViewer"));
  QFile::remove(File("REGCASEVIEWER"));
  {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "RegCaseViewer");
    s.setValue("InsFolder", "/opt/photo/");
    s.setValue("FrmViewer/Directory", "/data/");
  }
  TExtRegistry upper;
  upper.UseAppName = false;
  upper.SetSection("REGCASEVIEWER");
  EXPECT_EQ(upper.ReadString("insfolder", ""), "/opt/photo/");
  TExtRegistry group;
  group.UseAppName = false;
  group.SetSection("regcaseviewer\\FRMVIEWER");
  EXPECT_TRUE(group.KeyExists());
  EXPECT_EQ(group.ReadString("Directory", ""), "/data/");
  // Writing under other capitals changes the stored value, no second one.
  group.WriteString("DIRECTORY", "/other/");
  EXPECT_FALSE(QFileInfo::exists(File("REGCASEVIEWER")));
  QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", "RegCaseViewer");
  EXPECT_EQ(s.value("FrmViewer/Directory").toString(), "/other/");
  EXPECT_EQ(s.allKeys().size(), 2);
}

TEST_F(RegistryTest, SettingsOutsideTheUsersOwnFileAreNotRead) {
  // An organisation-wide value is no value of the program's key.
  const QString orgFile = QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin").fileName();
  {
    QSettings org(QSettings::NativeFormat, QSettings::UserScope, "Tavrin");
    org.setValue("frmMain/LeftWidth", 300);
  }
  EXPECT_EQ(TExtRegistry("frmMain").ReadInteger("LeftWidth", 225), 225);
  EXPECT_FALSE(TExtRegistry("frmMain").KeyExists());
  QFile::remove(orgFile);
}

TEST_F(RegistryTest, ProgramNameIsTheExecutablesBaseName) {
  TExtRegistry::SetProgramNameForTests(QString());
  EXPECT_EQ(TExtRegistry::ProgramName(), "components_tests");
}

TEST_F(RegistryTest, FormNamesAndSizeability) {
  QDialog d;
  EXPECT_EQ(TExtRegistry::FormName(&d), "QDialog");  // no object name: the class
  d.setObjectName("FrmDirSel");
  EXPECT_EQ(TExtRegistry::FormName(&d), "FrmDirSel");
  EXPECT_TRUE(TExtRegistry::IsSizeable(&d));
  d.setFixedSize(300, 200);
  EXPECT_FALSE(TExtRegistry::IsSizeable(&d));
  d.setMaximumHeight(400);  // height alone still sizes
  EXPECT_TRUE(TExtRegistry::IsSizeable(&d));
}

// ---------------------------------------------------------------------------
// Window placement through the settings component

TEST_F(RegistryTest, WindowPlacementRoundTripUnderFormNameWinPos) {
  {
    QDialog d;
    d.setObjectName("frmTest");
    d.move(70, 80);
    d.resize(420, 330);
    TExtRegistry().SaveWindowPlacement(&d);
  }
  QSettings s = Stored();
  EXPECT_EQ(s.value("frmTest/WinPos/Left").toInt(), 70);
  EXPECT_EQ(s.value("frmTest/WinPos/Top").toInt(), 80);
  EXPECT_EQ(s.value("frmTest/WinPos/Width").toInt(), 420);
  EXPECT_EQ(s.value("frmTest/WinPos/Height").toInt(), 330);
  EXPECT_EQ(s.value("frmTest/WinPos/WindowState").toInt(), 0);

  QDialog d;
  d.setObjectName("frmTest");
  d.resize(200, 100);
  TExtRegistry r;
  ASSERT_TRUE(r.LoadWindowPlacement(&d));
  EXPECT_EQ(d.pos(), QPoint(70, 80));
  EXPECT_EQ(d.size(), QSize(420, 330));
  // Once per component: a second load leaves the form alone.
  d.move(5, 5);
  EXPECT_FALSE(r.LoadWindowPlacement(&d));
  EXPECT_EQ(d.pos(), QPoint(5, 5));
  TExtRegistry again;
  again.RestoreWindowPlacement(&d);
  EXPECT_EQ(d.pos(), QPoint(70, 80));
}

TEST_F(RegistryTest, FixedSizeFormsKeepTheirSize) {
  {
    QSettings s = Stored();
    s.setValue("dlgFixed/WinPos/Left", 10);
    s.setValue("dlgFixed/WinPos/Top", 20);
    s.setValue("dlgFixed/WinPos/Width", 900);
    s.setValue("dlgFixed/WinPos/Height", 700);
    s.setValue("dlgFixed/WinPos/WindowState", 0);
  }
  QDialog d;
  d.setObjectName("dlgFixed");
  d.setFixedSize(300, 200);
  EXPECT_TRUE(TExtRegistry().LoadWindowPlacement(&d));
  EXPECT_EQ(d.pos(), QPoint(10, 20));
  EXPECT_EQ(d.size(), QSize(300, 200));
}

TEST_F(RegistryTest, WithoutAStoredPlacementTheFormIsCentred) {
  {
    QSettings s = Stored();
    s.setValue("frmDamaged/WinPos/Left", "left");  // damaged
    s.setValue("frmDamaged/WinPos/Top", 20);
  }
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  for (const char* name : {"frmDamaged", "frmNever"}) {
    QDialog d;
    d.setObjectName(name);
    d.resize(200, 100);
    d.move(3, 3);
    EXPECT_FALSE(TExtRegistry().LoadWindowPlacement(&d)) << name;
    EXPECT_EQ(d.pos(), QPoint(3, 3)) << name;
    TExtRegistry().RestoreWindowPlacement(&d);
    EXPECT_EQ(d.pos(), area.topLeft() + QPoint((area.width() - 200) / 2, (area.height() - 100) / 2)) << name;
  }
  // A form larger than the screen starts at the screen's corner.
  QDialog big;
  big.setObjectName("frmBig");
  big.resize(area.width() + 300, area.height() + 300);
  TExtRegistry().RestoreWindowPlacement(&big);
  EXPECT_EQ(big.pos(), area.topLeft());
}

}  // namespace
}  // namespace dlvr
