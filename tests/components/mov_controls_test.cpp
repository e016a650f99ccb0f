// The focus-moving edit and combos: key masks, focus moves by link and along
// the focus chain, Space on drop-down lists, and the history combo's file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <memory>

#include "components/mov_controls.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

TEST(MovKeyMask, EachMaskAcceptsItsCharactersOnly) {
  struct Case {
    TKeyMask Mask;
    const char* Accepted;
    const char* Rejected;
  };
  const Case cases[] = {
      {TKeyMask::mkDefault, "aZ9 -./", ""},
      {TKeyMask::mkNumeric, "0259", "a-.+/ "},
      {TKeyMask::mkExtNumeric, "09+-.", "a/e "},
      {TKeyMask::mkCharcter, "aAzZ", "0-. @["},
      {TKeyMask::mkDate, "09/", "-.a"},
      {TKeyMask::mkInteger, "09-", "+.a"},
      {TKeyMask::mkIntegerPlus, "09", "-+.a"},
      {TKeyMask::mkReal, "09-.", "+/a"},
      {TKeyMask::mkRealPlus, "09.", "-+a"},
  };
  for (const Case& c : cases) {
    for (char ch : std::string(c.Accepted)) EXPECT_TRUE(KeyMaskAccepts(c.Mask, QChar(ch))) << int(c.Mask) << " " << ch;
    for (char ch : std::string(c.Rejected)) EXPECT_FALSE(KeyMaskAccepts(c.Mask, QChar(ch))) << int(c.Mask) << " " << ch;
    EXPECT_TRUE(KeyMaskAccepts(c.Mask, QChar('\b')));
    EXPECT_TRUE(KeyMaskAccepts(c.Mask, QChar('\r')));
  }
  // Full-width digits and letters are not ASCII.
  EXPECT_FALSE(KeyMaskAccepts(TKeyMask::mkNumeric, QChar(0xFF11)));
  EXPECT_FALSE(KeyMaskAccepts(TKeyMask::mkCharcter, QChar(0xFF21)));
}

TEST(MovEdit, TypedAndPastedTextKeepsOnlyWhatTheMaskAccepts) {
  TMovEdit edit;
  edit.KeyMask = TKeyMask::mkNumeric;
  QTest::keyClicks(&edit, QStringLiteral("1a2-3"));
  EXPECT_EQ(edit.text(), "123");
  QApplication::clipboard()->setText(QStringLiteral("4x5\n6"));
  QTest::keySequence(&edit, QKeySequence::Paste);
  EXPECT_EQ(edit.text(), "123456");
  // The context menu's paste goes through the mask too.
  QApplication::clipboard()->setText(QStringLiteral("7y8"));
  QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(1, 1), QPoint(1, 1));
  QApplication::sendEvent(&edit, &menuEvent);
  QMenu* menu = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible()) menu = m;
  ASSERT_NE(menu, nullptr);
  QAction* paste = nullptr;
  for (QAction* a : menu->actions())
    if (a->text().startsWith(QStringLiteral("&Paste"))) paste = a;
  ASSERT_NE(paste, nullptr);
  paste->trigger();
  menu->close();
  EXPECT_EQ(edit.text(), "12345678");
  // Tab, line feed and CR never become characters, whatever the mask.
  TMovEdit free;
  QTest::keyClicks(&free, QStringLiteral("a b"));
  QApplication::clipboard()->setText(QStringLiteral("c\td\r\ne"));
  QTest::keySequence(&free, QKeySequence::Paste);
  QTest::keyClick(&free, Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(free.text(), "a bcde");
  // Ctrl+C still copies under a mask.
  edit.selectAll();
  QTest::keySequence(&edit, QKeySequence::Copy);
  EXPECT_EQ(QApplication::clipboard()->text(), "12345678");
}

// A window of controls in focus order: e1, e2, cbx (drop-down list), hist (history combo), e3.
class MovFocusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win_ = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(win_.get());
    e1 = Add<TMovEdit>(layout, "e1");
    e2 = Add<TMovEdit>(layout, "e2");
    cbx = Add<TMovComboBox>(layout, "cbx");
    cbx->addItems({"A", "B", "C"});
    hist = Add<TMovComboAddHist>(layout, "hist");
    e3 = Add<TMovEdit>(layout, "e3");
    win_->show();
    win_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win_.get()));
  }
  template <class T>
  T* Add(QVBoxLayout* layout, const char* name) {
    auto* w = new T(win_.get());
    w->setObjectName(name);
    layout->addWidget(w);
    return w;
  }
  void Press(QWidget* from, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    from->setFocus();
    QTest::keyClick(from, key, mods);
  }
  QWidget* Focused() const { return QApplication::focusWidget(); }

  std::unique_ptr<QWidget> win_;
  TMovEdit *e1 = nullptr, *e2 = nullptr, *e3 = nullptr;
  TMovComboBox* cbx = nullptr;
  TMovComboAddHist* hist = nullptr;
};

TEST_F(MovFocusTest, KeysMoveToTheNamedControls) {
  e1->Links.ExitByEnter = "e3";
  e1->Links.ExitByUp = "cbx";
  e1->Links.ExitByDown = "hist";
  Press(e1, Qt::Key_Return);
  EXPECT_EQ(Focused(), e3);
  Press(e1, Qt::Key_Up);
  EXPECT_EQ(Focused(), cbx);
  Press(e1, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(Focused(), hist);

  // Ctrl+Left leaves only from the start, Ctrl+Right only from the end or with all selected.
  cbx->Links.ExitByLeft = "e1";
  cbx->Links.ExitByRight = "e2";
  hist->Links = cbx->Links;
  hist->setEditText("abc def");
  hist->setFocus();
  hist->lineEdit()->setCursorPosition(3);
  QTest::keyClick(hist, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(Focused(), hist);
  EXPECT_EQ(hist->lineEdit()->cursorPosition(), 0);
  QTest::keyClick(hist, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(Focused(), e1);
  hist->setFocus();
  hist->lineEdit()->selectAll();
  QTest::keyClick(hist, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(Focused(), e2);
  // A drop-down list has no caret: both ends at once.
  Press(cbx, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(Focused(), e2);
}

TEST_F(MovFocusTest, UnusableTargetsAndDefaultMoveFollowTheFocusChain) {
  e2->Links.ExitByEnter = "e3";
  e2->Links.ExitByUp = "missing";
  e3->setEnabled(false);
  Press(e2, Qt::Key_Return);  // disabled target: the next control
  EXPECT_EQ(Focused(), cbx);
  Press(e2, Qt::Key_Up);  // no such control: the previous one
  EXPECT_EQ(Focused(), e1);
  e3->setEnabled(true);
  e3->hide();
  Press(e2, Qt::Key_Return);
  EXPECT_EQ(Focused(), cbx);

  // Nothing named: DefaultMove decides.
  Press(cbx, Qt::Key_Down);
  EXPECT_EQ(Focused(), cbx);
  cbx->Links.DefaultMove = true;
  Press(cbx, Qt::Key_Down);
  EXPECT_EQ(Focused(), hist);
  Press(cbx, Qt::Key_Up);
  EXPECT_EQ(Focused(), e2);
  Press(cbx, Qt::Key_Return);
  EXPECT_EQ(Focused(), hist);
  // The disabled control is passed over on the way back.
  e2->setEnabled(false);
  Press(cbx, Qt::Key_Up);
  EXPECT_EQ(Focused(), e1);

  // A target that already has the focus: nothing moves.
  e1->Links.ExitByEnter = "e1";
  e1->Links.DefaultMove = true;
  Press(e1, Qt::Key_Return);
  EXPECT_EQ(Focused(), e1);
}

TEST_F(MovFocusTest, UpDownAreConsumedAndSpaceStepsADropDownList) {
  cbx->setCurrentIndex(1);
  Press(cbx, Qt::Key_Down);
  Press(cbx, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(cbx->currentIndex(), 1);
  int activated = -1;
  QObject::connect(cbx, &QComboBox::activated, [&](int i) { activated = i; });
  Press(cbx, Qt::Key_Space);
  EXPECT_EQ(cbx->currentIndex(), 2);
  Press(cbx, Qt::Key_Space);
  EXPECT_EQ(cbx->currentIndex(), 0);  // after the last, the first
  EXPECT_EQ(activated, 0);
  // An editable combo keeps the blank as text; Enter adds no item.
  hist->setFocus();
  QTest::keyClicks(hist, QStringLiteral("a b"));
  QTest::keyClick(hist, Qt::Key_Return);
  EXPECT_EQ(hist->currentText(), "a b");
  EXPECT_EQ(hist->count(), 0);
}

// History combos over a scratch folder.
class MovHistoryTest : public ::testing::Test {
 protected:
  QString Dir() const { return QString::fromStdString(scratch.Path()) + "hist"; }
  void Enter(TMovComboAddHist& c, const QString& text) {
    c.setEditText(text);
    c.AddHistory();
  }
  QStringList Items(const TMovComboAddHist& c) const {
    QStringList out;
    for (int i = 0; i < c.count(); ++i) out << c.itemText(i);
    return out;
  }
  test::ScratchDir scratch;
};

TEST_F(MovHistoryTest, NewestFirstWithoutRepeatsOrBlanksUpToMaxData) {
  TMovComboAddHist c;
  for (int i = 1; i <= 11; ++i) Enter(c, QString("t%1").arg(i));
  ASSERT_EQ(c.count(), 10);
  EXPECT_EQ(c.itemText(0), "t11");
  EXPECT_EQ(c.itemText(9), "t2");  // t1 pushed out
  Enter(c, "t5");
  EXPECT_EQ(c.count(), 10);
  EXPECT_EQ(Items(c).mid(0, 3), QStringList({"t5", "t11", "t10"}));
  EXPECT_EQ(Items(c).count("t5"), 1);
  EXPECT_EQ(c.currentIndex(), 0);
  Enter(c, "T5");  // a different text
  EXPECT_EQ(c.itemText(0), "T5");
  Enter(c, "   ");
  EXPECT_EQ(c.itemText(0), "T5");
  EXPECT_EQ(c.count(), 10);
}

TEST_F(MovHistoryTest, SaveAndLoadKeepJapaneseEntries) {
  const QString dir = Dir() + "/sub";
  {
    TMovComboAddHist c;
    c.SetHistoryDir(dir);
    EXPECT_TRUE(QDir(dir).exists());  // made when missing
    c.SetHistoryFile("FindOrg.DAT");
    Enter(c, QStringLiteral("打合せ簿"));
    c.setEditText(QStringLiteral("施工 計画"));
    ASSERT_TRUE(c.SaveHistory());
  }
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile((dir + "/FindOrg.DAT").toStdString(), bytes));
  EXPECT_EQ(bytes, "施工 計画\n打合せ簿\n");
  // Written through a temporary file that does not stay.
  EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList({"FindOrg.DAT"}));

  TMovComboAddHist loaded;
  loaded.setEditText("typed");
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(Dir());  // a file name alone is looked up here
  loaded.SetHistoryFile("FindOrg.DAT");  // no folder yet: nothing found
  QDir::setCurrent(cwd);
  EXPECT_EQ(loaded.count(), 0);
  loaded.SetHistoryDir(dir);
  EXPECT_EQ(Items(loaded), QStringList({"施工 計画", "打合せ簿"}));
  EXPECT_EQ(loaded.currentText(), "typed");
}

TEST_F(MovHistoryTest, ShiftJisFilesAreReadAndLeavingTheControlAddsTheText) {
  scratch.WriteSjis("hist/old.dat", "協議\n\n承諾\n協議\n");
  TMovComboAddHist c;
  c.SetHistoryDir(Dir());
  c.SetHistoryFile("old.dat");
  EXPECT_EQ(Items(c), QStringList({"協議", "承諾"}));

  QWidget win;
  auto* layout = new QVBoxLayout(&win);
  auto* h = new TMovComboAddHist(&win);
  auto* other = new QLineEdit(&win);
  layout->addWidget(h);
  layout->addWidget(other);
  win.show();
  win.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&win));
  h->setFocus();
  h->setEditText(QStringLiteral("報告"));
  other->setFocus();
  EXPECT_EQ(Items(*h), QStringList({"報告"}));
}

TEST_F(MovHistoryTest, AFailedWriteKeepsTheOldFile) {
  const std::string path = scratch.WriteBytes("hist/h.dat", "old\n");
  TMovComboAddHist c;
  c.SetHistoryDir(Dir());
  c.SetHistoryFile("h.dat");
  Enter(c, QString(200, 'x'));

  // A file size limit makes the write fail, even for a privileged user.
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const bool saved1 = c.SaveHistory();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved1);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "old\n");
  EXPECT_EQ(QDir(Dir()).entryList(QDir::Files), QStringList({"h.dat"}));

  if (::geteuid() != 0) {
    test::SetTreeReadOnly(Dir().toStdString(), true);
    EXPECT_FALSE(c.SaveHistory());
    test::SetTreeReadOnly(Dir().toStdString(), false);
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, "old\n");
  }
  // A folder removed after it was set is not written to.
  ASSERT_TRUE(QDir(Dir()).removeRecursively());
  EXPECT_FALSE(c.SaveHistory());
  EXPECT_FALSE(QDir(Dir()).exists());
}

}  // namespace
}  // namespace dlvr
