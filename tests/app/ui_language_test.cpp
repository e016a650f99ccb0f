// The program's language: the main window's captions switch with the
// language installed, and the user's choice is kept for the next start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

#include <map>

#include "app/main_window.h"
#include "components/ext_registry.h"
#include "i18n/ui_language.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

QString Sample(const char* name) { return QString::fromStdString(test::SamplePath(name)); }

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
    TfrmMain w(Sample("multi") + "/MEDIA1");
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
      // Every medium loaded, once each, the first one first.
      QStringList loaded = {QString::fromStdString(w.Model().View.MediaFolder())};
      for (const auto& m : w.Model().View.ReachableMedia())
        if (!loaded.contains(QString::fromStdString(m.Folder))) loaded << QString::fromStdString(m.Folder);
      EXPECT_EQ(started, loaded);
      EXPECT_GE(started.size(), 2);
    }
  }
  TfrmMainHooks::StartProgram = nullptr;
  SetDriveTypeOverride(nullptr);
}

}  // namespace
}  // namespace dlvr
