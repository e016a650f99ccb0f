// Journeys of the window itself: the start page without a delivery, and a
// change of the program's language with its restart.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTreeView>

#include "app/main_window.h"
#include "components/ext_registry.h"
#include "model/doc_tree.h"
#include "panes/delivery_check.h"
#include "panes/xml_err.h"
#include "support/journey.h"

namespace dlvr {
namespace {

class JourneyWindow : public ::testing::TestWithParam<test::JourneyLanguage> {};

TEST_P(JourneyWindow, TheStartPageOffersOnlyWhatNeedsNoDelivery) {
  test::TJourney j(GetParam().Lang);
  TExtRegistry("frmMain").WriteString("MediaPath", QString());  // no delivery shown last
  TfrmMain& w = j.Open({});
  ASSERT_EQ(w.VisiblePane(), w.pnlStart);
  EXPECT_FALSE(w.miFileCheck->isEnabled());
  EXPECT_FALSE(w.miFileDeliveryCheck->isEnabled());
  EXPECT_FALSE(w.miProgExplorer->isEnabled());
  EXPECT_TRUE(w.miFileSelFld->isEnabled());
  // Triggered anyway (a shortcut), they say nothing about a folder ''.
  w.miFileCheck->trigger();
  w.miProgExplorer->trigger();
  EXPECT_TRUE(j.Prompts.Shown.empty());
  // Once a delivery is open, they are there.
  w.LoadMedia(test::QSample("clean"));
  EXPECT_TRUE(w.miFileCheck->isEnabled());
  EXPECT_TRUE(w.miFileDeliveryCheck->isEnabled());
  EXPECT_TRUE(w.miProgExplorer->isEnabled());
}

TEST_P(JourneyWindow, ChoosingTheOtherLanguageAsksInItAndRestartsOnTheSameItem) {
  const bool japanese = GetParam().Lang == UiLanguage::Japanese;
  const QStringList folders{test::QSample("multi/MEDIA1"),
                            test::QSample("multi/MEDIA2")};
  WriteUiLanguageChoice(japanese ? TUiLanguageChoice::Japanese : TUiLanguageChoice::English);
  QStringList restartedWith;
  TfrmMainHooks::StartProgram = [&](const QString&, const QStringList& arguments) {
    restartedWith = arguments;
    return true;
  };
  {
    test::TJourney j(GetParam().Lang);
    TfrmMain& w = j.Open(folders);
    j.Click({"施工計画書", "出水期施工計画書", "P002_02.TIF"});
    j.Prompts.Answers = {DialogAnswer::Yes};
    (japanese ? w.miViewUiLangEn : w.miViewUiLangJa)->trigger();
    ASSERT_EQ(j.Prompts.Shown.size(), 1u);
    const QString asked = QString::fromStdString(j.Prompts.Shown[0].Text);
    EXPECT_EQ(asked, japanese ? QStringLiteral("The display language changes at the next start. Restart now?")
                              : QStringLiteral("表示言語は次回の起動から変わります。今すぐ再起動しますか？"));
    ASSERT_EQ(restartedWith.size(), 2);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(QDir::cleanPath(restartedWith[i]), QDir::cleanPath(folders[i]));
  }
  // The new start, in the language chosen, shows the same item.
  test::TJourney again(japanese ? UiLanguage::English : UiLanguage::Japanese);
  TfrmMain& w = again.Open(restartedWith);
  TTreeItem* shown = w.SelectedItem();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown, again.Item({"施工計画書", "出水期施工計画書", "P002_02.TIF"}));
  EXPECT_EQ(w.VisiblePane(), w.pnlFiles);
  TfrmMainHooks::StartProgram = nullptr;
  WriteUiLanguageChoice(TUiLanguageChoice::Automatic);
}

TEST_P(JourneyWindow, TheFindingsOfADeliveryGoWhenAnotherIsOpened) {
  test::TJourney j(GetParam().Lang);
  TfrmMainHooks::ShowErrors = [](QWidget* parent, TMdlTreeView& view) { TfrmXMLErr::ShowErrors(parent, view); };
  TfrmMain& w = j.Open({test::QSample("errors")});
  w.miFileCheck->trigger();
  w.miFileDeliveryCheck->trigger();
  auto shown = [&w] {
    int n = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
      if ((qobject_cast<TfrmXMLErr*>(top) || qobject_cast<TfrmDeliveryCheck*>(top)) && top->isVisible()) ++n;
    return n;
  };
  ASSERT_EQ(shown(), 2);
  w.LoadMedia(test::QSample("errors"));  // the same delivery again: they stay
  EXPECT_EQ(shown(), 2);
  w.LoadMedia(test::QSample("clean"));
  EXPECT_EQ(shown(), 0);
  TfrmMainHooks::ShowErrors = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyWindow, ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
