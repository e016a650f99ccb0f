// Journeys through the media of a delivery: media copied to disk side by
// side, a corrected copy of a medium opened over the original, and a walk
// through the tree by keyboard past files that are not there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QTreeView>

#include <algorithm>
#include <filesystem>
#include <cstdio>

#include "app/kkt_tree_model.h"
#include "app/main_window.h"
#include "components/preview_view.h"
#include "model/doc_tree.h"
#include "platform/fileio.h"
#include "support/journey.h"
#include "support/wait.h"

namespace dlvr {
namespace {


// The note a pane shows in place of a file that is not there ("" when
// none is shown).
QString ShownMissingNote(TfrmMain& w) {
  for (QLabel* l : w.findChildren<QLabel*>(QStringLiteral("lblMissingFile")))
    if (l->isVisible()) return l->text();
  return QString();
}

// The captions the tree shows for the children of an item.
QStringList ShownCaptions(TfrmMain& w, TTreeItem* parent) {
  QStringList out;
  const QModelIndex p = w.TreeModel()->IndexOf(parent);
  for (int r = 0; r < w.TreeModel()->rowCount(p); ++r) out << w.TreeModel()->index(r, 0, p).data().toString();
  return out;
}

class JourneyMedia : public ::testing::TestWithParam<test::JourneyLanguage> {};

TEST_P(JourneyMedia, FilesOfEveryMediumOnDiskOpenWithoutAPrompt) {
  test::TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("multi/MEDIA1"), test::QSample("multi/MEDIA2")});
  const struct {
    QStringList Path;
    const char* File;
  } files[] = {{{"打合せ簿", "提出(施工管理)", "0001_01.PDF"}, "multi/MEDIA1/MEET/ORG/0001_01.PDF"},
               {{"その他", "工事履行報告書", "O001_01.PDF"}, "multi/MEDIA2/OTHRS/ORG/O001_01.PDF"},
               {{"施工計画書", "施工計画書（当初）", "P001_02.PDF"}, "multi/MEDIA1/PLAN/ORG/P001_02.PDF"}};
  QString previous;
  for (const auto& f : files) {
    j.Click(f.Path);
    EXPECT_EQ(ShownMissingNote(w), QString()) << f.File;
    TPreviewView* preview = j.VisiblePreview();
    ASSERT_NE(preview, nullptr) << f.File;
    auto* pdf = preview->findChild<QWidget*>(QStringLiteral("PdfView"));
    ASSERT_NE(pdf, nullptr);
    const QString file = test::QSample(f.File);
    test::WaitUntil([&] { return test::PdfPageLikeness(test::TJourney::Grab(pdf), file, 0) > 0.98; }, 10000);
    const double own = test::PdfPageLikeness(test::TJourney::Grab(pdf), file, 0);
    EXPECT_GT(own, 0.98) << f.File;
    if (!previous.isEmpty()) {
      EXPECT_LT(test::PdfPageLikeness(test::TJourney::Grab(pdf), previous, 0), own - 0.03) << f.File << " " << own;
    }
    previous = file;
    j.Shot(QStringLiteral("media_on_disk_%1").arg(QFileInfo(file).baseName()));
    // The tree marks none of them as missing.
    EXPECT_FALSE(w.TreeModel()->MissingMark(j.Item(f.Path))) << f.File;
  }
  EXPECT_TRUE(j.Prompts.Shown.empty());
}

TEST_P(JourneyMedia, AMediumTakenAwayIsAskedForInThePane) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("multi/MEDIA1"), d / "MEDIA1");
  test::CopyTree(test::SamplePath("multi/MEDIA2"), d / "MEDIA2");
  test::TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({QString::fromStdString(d / "MEDIA1"), QString::fromStdString(d / "MEDIA2")});
  std::filesystem::remove_all(d / "MEDIA1");  // the first disc taken out
  j.Click({"打合せ簿", "提出(施工管理)", "0001_01.PDF"});
  QString insert = QCoreApplication::translate(
                       "TfrmMain",
                       "現在挿入されているメディアにファイルがありません。\n\r%1番目のメディアを挿入し、更新(F5)を行ってください。")
                       .arg(1);
  insert.remove(QLatin1Char('\r'));
  EXPECT_TRUE(ShownMissingNote(w).startsWith(insert)) << ShownMissingNote(w).toStdString();
  EXPECT_TRUE(j.Prompts.Shown.empty());
}

TEST_P(JourneyMedia, WalkingTheTreeByKeyboardNeverStopsOnAMissingFile) {
  test::TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("errors")});
  w.tvwKKT->setFocus();
  w.tvwKKT->expandAll();
  QStringList notes;
  for (int step = 0; step < 200; ++step) {
    const QModelIndex before = w.tvwKKT->currentIndex();
    j.Key(Qt::Key_Down);
    // No box to answer, and the keyboard stays in the tree.
    ASSERT_TRUE(j.Prompts.Shown.empty()) << j.Prompts.Shown.front().Text;
    ASSERT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(QApplication::focusWidget(), w.tvwKKT);
    const QString note = ShownMissingNote(w);
    if (!note.isEmpty()) {
      notes << note;
      j.Shot(QStringLiteral("missing_file_%1").arg(notes.size()));
    }
    if (w.tvwKKT->currentIndex() == before) break;  // the last item
  }
  // Both files the sample lacks were explained where their preview would be.
  ASSERT_EQ(notes.size(), 2) << notes.join("\n").toStdString();
  const QString why = QCoreApplication::translate("TfrmMain", "このファイルは納品データの中にありません。");
  EXPECT_TRUE(notes[0].contains(why)) << notes[0].toStdString();
  EXPECT_TRUE(notes[0].contains(QStringLiteral("C0CS001Z.P21")) || notes[1].contains(QStringLiteral("C0CS001Z.P21")));
  EXPECT_TRUE(notes[0].contains(QStringLiteral("0005_02.JPG")) || notes[1].contains(QStringLiteral("0005_02.JPG")));
  EXPECT_TRUE(notes[0].contains(test::QSample("errors")));  // where it was looked for
}

TEST_P(JourneyMedia, ACorrectedCopyOfTheMediumOpensAsADeliveryOfItsOwn) {
  test::ScratchDir d;
  const std::string copy = d / "resubmitted";
  test::CopyTree(test::SamplePath("clean"), copy);
  // The contractor renamed a drawing in the corrected copy.
  std::string drawings;
  ASSERT_TRUE(ReadWholeFile(copy + "/DRAWINGS/DRAWINGS.XML", drawings));
  ASSERT_NE(drawings.find("D0LC001Z.P21"), std::string::npos);
  drawings.replace(drawings.find("D0LC001Z.P21"), 12, "D0LC009Z.P21");
  ASSERT_TRUE(WriteWholeFile(copy + "/DRAWINGS/DRAWINGS.XML", drawings));
  std::rename((copy + "/DRAWINGS/D0LC001Z.P21").c_str(), (copy + "/DRAWINGS/D0LC009Z.P21").c_str());

  test::TJourney j(GetParam().Lang);
  TfrmMain& w = j.Open({test::QSample("clean")});
  const QString question = QCoreApplication::translate(
                               "TfrmMain", "同じ工事の媒体 %1 が既に読み込まれています。新しい納品物として開き直しますか？")
                               .arg(1);
  TfrmMainHooks::SelectFolder = [&](QWidget*, const QString&, QString& chosen) {
    chosen = QString::fromStdString(copy);
    return true;
  };
  // "No" keeps the delivery open as it was.
  j.Prompts.Answers = {DialogAnswer::No};
  j.Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(j.Prompts.Shown.size(), 1u);
  EXPECT_EQ(QString::fromStdString(j.Prompts.Shown[0].Text), question);
  j.Shot(QStringLiteral("corrected_copy_kept"));
  EXPECT_EQ(ShownCaptions(w, j.Item({"発注図面"})).value(0), QStringLiteral("D0LC001Z.P21"));
  // "Yes" opens the copy alone: its drawing, there, and nothing of the old one.
  j.Prompts.Shown.clear();
  j.Prompts.Answers = {DialogAnswer::Yes};
  j.Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(j.Prompts.Shown.size(), 1u);
  const QStringList drawn = ShownCaptions(w, j.Item({"発注図面"}));
  EXPECT_EQ(drawn.value(0), QStringLiteral("D0LC009Z.P21"));
  EXPECT_FALSE(drawn.contains(QStringLiteral("D0LC001Z.P21")));
  j.Click({"発注図面", "D0LC009Z.P21"});
  j.Shot(QStringLiteral("corrected_copy_opened"));
  EXPECT_FALSE(w.TreeModel()->MissingMark(j.Item({"発注図面", "D0LC009Z.P21"})));
  TfrmMainHooks::SelectFolder = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Languages, JourneyMedia, ::testing::Values(test::kJourneyJapanese, test::kJourneyEnglish),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dlvr
