// The program's language: the main window's captions switch with the
// language installed, the user's choice is kept for the next start, and in
// English no text of the main window or of the error list stays Japanese but
// the delivery's own data (the values, file and folder names read from it).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <set>

#include "app/main_window.h"
#include "check/data_check.h"
#include "check/viewer_model.h"
#include "components/ext_grid.h"
#include "components/ext_registry.h"
#include "i18n/ui_language.h"
#include "panes/xml_err.h"
#include "platform/drive.h"
#include "support/fixtures.h"
#include "support/main_window.h"

namespace dlvr {
namespace {


bool HasJapanese(const QString& text) {
  static const QRegularExpression japanese(
      QStringLiteral("[\\x{3040}-\\x{30ff}\\x{3400}-\\x{9fff}\\x{ff01}-\\x{ff9f}]"));
  return japanese.match(text).hasMatch();
}

// English installed for a test's lifetime; Japanese again after it.
struct TEnglish {
  TEnglish() { InstallUiTranslations(UiLanguage::English); }
  ~TEnglish() { InstallUiTranslations(UiLanguage::Japanese); }
};

// The captions a user meets first: the window's title, the menu bar's menus
// and the titles of the window's own dialogs, by object name.
std::map<QString, QString> TopCaptions(TfrmMain& w) {
  std::map<QString, QString> out{{"frmMain", w.windowTitle()}};
  for (QAction* a : w.menuBar()->actions())
    if (a->menu()) out[a->menu()->objectName()] = a->text();
  for (QDialog* d : w.findChildren<QDialog*>()) out[d->objectName()] = d->windowTitle();
  return out;
}

TEST(UiLanguageTest, TopCaptionsSwitchToEnglish) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  test::ScriptedPrompts prompts;
  prompts.Fallback = DialogAnswer::Ok;
  std::map<QString, QString> japanese, english;
  {
    TfrmMain w;
    japanese = TopCaptions(w);
  }
  {
    TEnglish en;
    TfrmMain w;
    english = TopCaptions(w);
  }
  SetDriveTypeOverride(nullptr);
  ASSERT_EQ(english.size(), japanese.size());
  // The window, its six menus and its three search dialogs at least.
  EXPECT_GE(english.size(), 10u);
  for (const auto& [name, text] : english) {
    SCOPED_TRACE(name.toStdString() + ": " + text.toStdString());
    EXPECT_FALSE(text.isEmpty());
    EXPECT_NE(text, japanese[name]);
    EXPECT_FALSE(HasJapanese(text));
  }
  // The way back: the program's language menu reads alike in both.
  TfrmMain w;
  EXPECT_EQ(w.miViewUiLanguage->title(), "Language / 言語");
  EXPECT_EQ(w.miViewUiLanguage->parent(), w.miView);
}

// The program's language is kept for the next start; on "はい" the program
// starts anew on the media loaded and the window closes.
TEST(UiLanguageTest, LanguageChoiceIsStoredAndRestartsOnRequest) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  QStringList started;
  int starts = 0;
  TfrmMainHooks::StartProgram = [&](const QString& program, const QStringList& arguments) {
    ++starts;
    started = arguments;
    return !program.isEmpty();
  };
  struct Case {
    const char* What;
    QAction* TfrmMain::*Item;
    DialogAnswer Answer;
    TUiLanguageChoice Stored;
    bool Restarted;
  };
  const Case cases[] = {
      {"English, later", &TfrmMain::miViewUiLangEn, DialogAnswer::No, TUiLanguageChoice::English, false},
      {"English again: nothing asked", &TfrmMain::miViewUiLangEn, DialogAnswer::Yes, TUiLanguageChoice::English, false},
      {"Japanese, now", &TfrmMain::miViewUiLangJa, DialogAnswer::Yes, TUiLanguageChoice::Japanese, true},
      {"automatic, now", &TfrmMain::miViewUiLangAuto, DialogAnswer::Yes, TUiLanguageChoice::Automatic, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    test::ScriptedPrompts prompts;
    prompts.Answers = {DialogAnswer::Yes, c.Answer};  // the other medium loaded too
    starts = 0;
    started.clear();
    const TUiLanguageChoice before = ReadUiLanguageChoice();
    TfrmMain w(test::QSample("multi") + "/MEDIA1");
    w.show();
    w.FirstLoad();
    const std::size_t asked = prompts.Shown.size();
    ASSERT_EQ(asked, 1u);
    (w.*c.Item)->trigger();
    EXPECT_TRUE((w.*c.Item)->isChecked());
    EXPECT_EQ(ReadUiLanguageChoice(), c.Stored);
    EXPECT_EQ(prompts.Shown.size() - asked, before == c.Stored ? 0u : 1u);
    EXPECT_EQ(starts, c.Restarted ? 1 : 0);
    EXPECT_EQ(w.isVisible(), !c.Restarted);
    if (c.Restarted) {
      // Every medium loaded, once each, in the order they were read.
      QStringList loaded;
      for (const auto& m : w.Model().View.ReachableMedia()) loaded << QString::fromStdString(m.Folder);
      EXPECT_EQ(started, loaded);
      EXPECT_TRUE(started.value(0).endsWith("MEDIA1/"));
      EXPECT_GE(started.size(), 2);
    }
  }
  TfrmMainHooks::StartProgram = nullptr;
  SetDriveTypeOverride(nullptr);
}

// The texts read from a delivery: every text and attribute value of its XML
// files and the names of its files and folders.
std::set<QString> DeliveryTexts(const QString& folder) {
  std::set<QString> out;
  for (QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString path = it.next();
    out.insert(it.fileName());
    if (!path.endsWith(".XML", Qt::CaseInsensitive)) continue;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) continue;
    for (QXmlStreamReader xml(&f); !xml.atEnd();) {
      xml.readNext();
      if (xml.isCharacters() && !xml.isWhitespace()) out.insert(xml.text().toString().trimmed());
      for (const QXmlStreamAttribute& a : xml.attributes()) out.insert(a.value().toString());
    }
  }
  out.erase(QString());
  return out;
}

// Collects the Japanese texts of a window but the delivery's data, each with
// the object name of its widget (or of its parent when it has none).
class TJapaneseFinder {
 public:
  explicit TJapaneseFinder(const std::set<QString>& data) : data_(data.begin(), data.end()) {
    std::sort(data_.begin(), data_.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
  }
  // Texts that are no caption of the program: the language menu's own.
  std::set<QString> Allowed = {"Language / 言語", "日本語"};
  std::set<QString> Found;

  void Walk(QWidget* window) {
    Text(window, window->windowTitle());
    for (QWidget* w : window->findChildren<QWidget*>()) {
      Text(w, w->toolTip());
      if (auto* l = qobject_cast<QLabel*>(w)) Text(l, l->text());
      if (auto* b = qobject_cast<QAbstractButton*>(w)) Text(b, b->text());
      if (auto* g = qobject_cast<QGroupBox*>(w)) Text(g, g->title());
      if (auto* t = qobject_cast<QTabBar*>(w))
        for (int i = 0; i < t->count(); ++i) Text(t, t->tabText(i)), Text(t, t->tabToolTip(i));
      if (auto* s = qobject_cast<QStatusBar*>(w)) Text(s, s->currentMessage());
      if (auto* d = qobject_cast<QDialog*>(w)) Text(d, d->windowTitle());
      if (auto* m = qobject_cast<QMenu*>(w)) Menu(m);
      if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
        for (int c = 0; c < v->model()->columnCount(); ++c)
          Text(v, v->model()->headerData(c, Qt::Horizontal).toString());
      }
      if (auto* g = qobject_cast<TExtGrid3*>(w)) {
        for (int r = 0; r < g->RowCount(); ++r)
          for (int c = 0; c < g->ColCount(); ++c) Text(g, g->Cell(c, r));
      }
    }
    if (auto* main = qobject_cast<QMainWindow*>(window)) Menu(main->menuBar());
  }

 private:
  void Menu(QWidget* menu) {
    for (QAction* a : menu->actions()) {
      Text(menu, a->text(), a);
      Text(menu, a->toolTip(), a);
      if (a->menu()) Menu(a->menu());
    }
  }
 public:
  // A text shown by `owner`: noted when it holds Japanese beyond the delivery's data.
  void Text(const QObject* owner, const QString& text, const QObject* named = nullptr) {
    if (!HasJapanese(text) || Allowed.count(text)) return;
    QString rest = text;
    for (const QString& d : data_)
      if (d.size() >= 2 || rest == d) rest.remove(d);
    if (!HasJapanese(rest)) return;
    const QObject* o = named && !named->objectName().isEmpty() ? named : owner;
    while (o && o->objectName().isEmpty()) o = o->parent();
    Found.insert((o ? o->objectName() : QString("?")) + ": " + text);
  }

 private:
  std::vector<QString> data_;
};

TEST(UiLanguageTest, NoProgramTextStaysJapaneseInEnglish) {
  SetDriveTypeOverride([](const std::string&) { return DriveType::Fixed; });
  test::ScriptedPrompts prompts;
  prompts.Fallback = DialogAnswer::Ok;
  TEnglish en;
  std::set<QString> found;
  {
    TfrmMain w(test::QSample("clean"));
    test::ShowLoaded(w, 1024, 700);
    w.miViewLangE->trigger();  // the tree's captions in English too
    TJapaneseFinder finder(DeliveryTexts(test::QSample("clean")));
    TTreeItem* root = w.Model().View.Tree().Root();
    // Each kind of pane: the construction, a class, a record, its file, a drawing.
    const std::vector<std::pair<const char*, TTreeItem*>> items = {
        {"root", root},
        {"meeting class", root->Item(1)},
        {"meeting", root->Item(1)->Item(0)},
        {"meeting file", root->Item(1)->Item(0)->Item(0)},
        {"drawing", root->Item(0)->Item(0)},
    };
    for (const auto& [what, item] : items) {
      SCOPED_TRACE(what);
      ASSERT_NE(item, nullptr);
      w.SelectItem(item);
      QApplication::processEvents();
      finder.Walk(&w);
    }
    found.insert(finder.Found.begin(), finder.Found.end());
    w.miViewLangJ->trigger();
  }
  // The error list of a delivery with errors.
  {
    TViewerModel m;
    m.View.Load(test::QSample("errors").toStdString());
    RunDataCheck(m.View);
    ASSERT_FALSE(m.View.ErrorList.empty());
    TJapaneseFinder finder(DeliveryTexts(test::QSample("errors")));
    TfrmXMLErr* errors = TfrmXMLErr::ShowErrors(nullptr, m.View);
    ASSERT_NE(errors, nullptr);
    finder.Walk(errors);
    // The rows as shown: the check's words around the delivery's names.
    const QAbstractItemModel* rows = errors->List->tvwFindings->model();
    for (int r = 0; r < rows->rowCount(); ++r)
      for (int c = 0; c < rows->columnCount(); ++c)
        finder.Text(errors->List->tvwFindings, rows->index(r, c).data().toString());
    errors->close();
    found.insert(finder.Found.begin(), finder.Found.end());
  }
  SetDriveTypeOverride(nullptr);
  std::string list;
  for (const QString& f : found) list += "\n  " + f.toStdString();
  EXPECT_TRUE(found.empty()) << found.size() << " Japanese texts:" << list;
}

}  // namespace
}  // namespace dlvr
