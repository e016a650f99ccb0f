// The findings window of the full delivery check: its rows and counts, the
// CSV and PDF it writes (never into the delivery) and the printed layout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QPointer>
#include <QTest>
#include <QTreeView>
#include <QPdfDocument>
#include <QPrinter>
#include <QTimer>

#include <filesystem>

#include "check/report_layout.h"
#include "panes/delivery_check.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"

namespace dlvr {
namespace {

using test::ScriptedPrompts;
using test::ScratchDir;

TFinding Error(std::string medium, std::string path, std::string rule, std::string found) {
  return {TSeverity::Error, std::move(medium), std::move(path), std::move(rule), std::move(found)};
}
TFinding Warning(std::string medium, std::string path, std::string rule, std::string found) {
  return {TSeverity::Warning, std::move(medium), std::move(path), std::move(rule), std::move(found)};
}
TFinding Info(std::string medium, std::string path, std::string rule, std::string found) {
  return {TSeverity::Info, std::move(medium), std::move(path), std::move(rule), std::move(found)};
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

TEST(DeliveryCheckWindow, RowsCountsMarksAndTheMessageForNone) {
  // No findings, or information alone: the message and no window.
  for (const std::vector<TFinding>& none : {std::vector<TFinding>{}, {Info("1", "A.PDF", "r", "2 ページ")}}) {
    ScriptedPrompts prompts;
    EXPECT_EQ(TfrmDeliveryCheck::ShowFindings(nullptr, none, {}), nullptr);
    ASSERT_EQ(prompts.Shown.size(), 1u);
    EXPECT_EQ(prompts.Shown[0].Text, "電子納品チェックで問題は見つかりませんでした。");
    EXPECT_EQ(prompts.Shown[0].Icon, MsgIcon::Information);
  }
  // Findings: a window that does not block its owner, one per owner,
  // filled anew by the next check; a check without problems closes it.
  {
    ScriptedPrompts prompts;
    QWidget owner;
    TfrmDeliveryCheck* w = TfrmDeliveryCheck::ShowFindings(&owner, {Warning("1", "A", "r", "x")}, {});
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(w->List->ShownRows(), 1);
    EXPECT_EQ(w->windowTitle(), "電子納品チェック");
    EXPECT_TRUE(prompts.Shown.empty());
    EXPECT_EQ(TfrmDeliveryCheck::ShowFindings(&owner, {Warning("1", "A", "r", "x"), Error("1", "B", "s", "y")}, {}), w);
    EXPECT_EQ(w->List->ShownRows(), 2);
    // The rule column is the one the rule filter offers and groups by.
    EXPECT_EQ(w->List->cbxRule->itemData(2).toString(), "s");
    // Enter on a finding reports it as the check made it.
    std::vector<TFinding> reported;
    QObject::connect(w, &TfrmDeliveryCheck::FindingActivated,
                     [&](const TFindingRef& f) { reported.push_back(f.Finding); });
    QTreeView* view = w->List->tvwFindings;
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].Path, "A");
    EXPECT_EQ(reported[0].Severity, TSeverity::Warning);
    QPointer<TfrmDeliveryCheck> gone(w);
    EXPECT_EQ(TfrmDeliveryCheck::ShowFindings(&owner, {}, {}), nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
  }
  struct Case {
    const char* Name;
    std::vector<TFinding> Findings;
    const char* Counts;
    int Rows;  // with the header
  };
  const std::vector<Case> cases = {
      {"one error", {Error("1", "OTHRS/Org", "フォルダ名の規則", "フォルダ名は半角英大文字で付けます")},
       "エラー 1 件、警告 0 件", 2},
      {"mixed",
       {Error("", "DRAWINGF/C0CS001Z.P21", "記載ファイルの存在", "ありません"),
        Warning("1", "INDEX_C.XML", "使用文字", "「２」は全角数字"), Error("2", "a\tb\nc", "r", "x\r\ny")},
       "エラー 2 件、警告 1 件", 4},
      {"with information", {Warning("1", "A", "r", "x"), Info("1", "MEET/ORG/A.PDF", "文書ファイル", "3 ページ")},
       "エラー 0 件、警告 1 件、情報 1 件", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TfrmDeliveryCheck w;
    w.Fill(c.Findings);
    ASSERT_EQ(w.List->ShownRows(), c.Rows - 1);
    EXPECT_EQ(w.lblCount->text(), QString::fromUtf8(c.Counts));
    const QStringList titles = {"重要度", "メディア", "ファイル・フォルダ", "規則", "内容"};
    for (int col = 0; col < 5; ++col) EXPECT_EQ(w.List->ShownText(col, -1), titles[col]);
    const QAbstractItemModel* shown = w.List->tvwFindings->model();
    for (std::size_t i = 0; i < c.Findings.size(); ++i) {
      const TFinding& f = c.Findings[i];
      const int row = static_cast<int>(i);
      EXPECT_EQ(w.List->ShownText(0, row), Text(SeverityName(f.Severity)));
      EXPECT_EQ(w.List->ShownText(1, row), Text(f.Medium));
      // A line break or tab of a name shows as a space.
      QString path = Text(f.Path), found = Text(f.Found);
      for (QString* s : {&path, &found})
        for (QChar& ch : *s)
          if (ch < QChar(0x20)) ch = QLatin1Char(' ');
      EXPECT_EQ(w.List->ShownText(2, row), path);
      EXPECT_EQ(w.List->ShownText(3, row), Text(f.Rule));
      EXPECT_EQ(w.List->ShownText(4, row), found);
      // Errors stand out in red; warnings keep the list's colour.
      const QVariant colour = shown->index(row, 0).data(Qt::ForegroundRole);
      if (f.Severity == TSeverity::Error)
        EXPECT_EQ(colour.value<QColor>(), QColor(0xC0, 0, 0));
      else
        EXPECT_FALSE(colour.isValid());
      EXPECT_FALSE(shown->index(row, 4).data(Qt::ForegroundRole).isValid());
    }
    // The last column takes the room the window gives.
    w.resize(1400, 500);
    w.show();
    QApplication::processEvents();
    const QHeaderView* h = w.List->tvwFindings->header();
    int total = 0;
    for (int col = 0; col < 5; ++col) total += h->sectionSize(col);
    EXPECT_GE(total, w.List->tvwFindings->viewport()->width());
  }
}

TEST(DeliveryCheckWindow, CsvIsQuotedWithCrLfAndAByteOrderMark) {
  struct Case {
    const char* Name;
    TFinding Finding;
    const char* Record;
  };
  const std::vector<Case> cases = {
      {"plain", Error("1", "OTHRS/Org", "フォルダ名の規則", "フォルダ名は半角英大文字で付けます"),
       "エラー,1,OTHRS/Org,フォルダ名の規則,フォルダ名は半角英大文字で付けます"},
      {"whole delivery", Warning("", "MEET", "r", "x"), "警告,,MEET,r,x"},
      {"comma and quote", Error("1", "A,B.PDF", "r", "名前は \"A,B\""), "エラー,1,\"A,B.PDF\",r,\"名前は \"\"A,B\"\"\""},
      {"line break", Error("1", "X", "r", "1 行目\r\n2 行目"), "エラー,1,X,r,\"1 行目\r\n2 行目\""},
      {"formula", Error("1", "=HYPERLINK(\"x\")", "r", "+1"), "エラー,1,\"'=HYPERLINK(\"\"x\"\")\",r,'+1"},
      {"minus and at", Warning("1", "-a", "r", "@b"), "警告,1,'-a,r,'@b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const QByteArray csv = TfrmDeliveryCheck::FindingsCsv({c.Finding});
    const QByteArray expected = QByteArray("\xEF\xBB\xBF") + "重要度,メディア,ファイル・フォルダ,規則,内容\r\n" +
                                QByteArray(c.Record) + "\r\n";
    EXPECT_EQ(csv, expected);
  }
}

// The export commands through the toolbar, with the save dialog answered.
TEST(DeliveryCheckWindow, ExportsWriteOutsideTheDeliveryOnly) {
  ScratchDir delivery, elsewhere;
  delivery.WriteBytes("INDEX_C.XML", "<x/>");
  delivery.MakeDir("MEET");
  // A link outside that leads into the delivery counts as the delivery.
  std::filesystem::create_directory_symlink(delivery.Path() + "MEET", elsewhere / "into");
  std::vector<TFinding> many;
  for (int i = 0; i < 60; ++i)
    many.push_back(Error("1", "MEET/ORG/M" + std::to_string(i) + ".PDF", "記載ファイルの存在",
                         "管理ファイルに記載されたファイルが納品物にありません"));
  enum Kind { Csv, Pdf, PrintToFile };
  struct Case {
    const char* Name;
    Kind How;
    std::string Target;
    std::size_t Findings;
    bool Written;
    int Pages;  // of a PDF written
  };
  const std::vector<Case> cases = {
      {"csv elsewhere", Csv, elsewhere / "list.csv", 3, true, 0},
      {"pdf elsewhere", Pdf, elsewhere / "one.pdf", 1, true, 1},
      {"pdf of two pages", Pdf, elsewhere / "two.pdf", 60, true, 2},
      {"printed to a file elsewhere", PrintToFile, elsewhere / "printed.pdf", 60, true, 2},
      {"csv in the media folder", Csv, delivery / "list.csv", 3, false, 0},
      {"pdf in a folder of the delivery", Pdf, delivery / "MEET/r.pdf", 3, false, 0},
      {"printed to a file in the delivery", PrintToFile, delivery / "MEET/p.pdf", 3, false, 0},
      {"csv through a link into it", Csv, elsewhere / "into/list.csv", 3, false, 0},
      {"csv into a missing folder", Csv, elsewhere / "no/such/list.csv", 3, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ScriptedPrompts prompts;
    prompts.Fallback = DialogAnswer::Ok;
    const std::vector<TFinding> findings(many.begin(), many.begin() + static_cast<long>(c.Findings));
    TfrmDeliveryCheck w;
    w.Fill(findings, {QString::fromStdString(delivery.Path())});
    const auto before = test::TreeSnapshot(delivery.Path());
    QString asked;
    TfrmDeliveryCheck::AskSavePath = [&](QWidget*, const QString& caption, const QString&, const QString&) {
      asked = caption;
      return QString::fromStdString(c.Target);
    };
    if (c.How == PrintToFile) {
      QPrinter printer;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(c.Target));
      EXPECT_EQ(w.PrintOn(printer), c.Written);
    } else {
      (c.How == Pdf ? w.tlbPdf : w.tlbCsv)->click();
      EXPECT_EQ(asked, c.How == Pdf ? "PDF 出力" : "CSV 出力");
    }
    TfrmDeliveryCheck::AskSavePath = nullptr;
    EXPECT_EQ(test::TreeSnapshot(delivery.Path()), before);
    const QString target = QString::fromStdString(c.Target);
    EXPECT_EQ(QFile::exists(target), c.Written);
    if (!c.Written) {
      ASSERT_EQ(prompts.Shown.size(), 1u);
      EXPECT_NE(prompts.Shown[0].Icon, MsgIcon::Information);
      continue;
    }
    EXPECT_TRUE(prompts.Shown.empty());
    if (c.How != Csv) {
      QPdfDocument pdf;
      ASSERT_EQ(pdf.load(target), QPdfDocument::Error::None);
      EXPECT_EQ(pdf.pageCount(), c.Pages);
      EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Title).toString(), "電子納品チェック結果");
      // A4 landscape, in points.
      EXPECT_NEAR(pdf.pagePointSize(0).width(), 841.9, 1);
      EXPECT_NEAR(pdf.pagePointSize(0).height(), 595.3, 1);
    } else {
      QFile f(target);
      ASSERT_TRUE(f.open(QIODevice::ReadOnly));
      EXPECT_EQ(f.readAll(), TfrmDeliveryCheck::FindingsCsv(findings));
    }
  }
}

// A check the user stopped: whatever shows its findings says they are those
// made until then (the message for none, the caption, the heading, the
// count line and the written report's title); a check run through does not.
TEST(DeliveryCheckWindow, AStoppedCheckSaysSoEverywhere) {
  ScratchDir elsewhere;
  {
    ScriptedPrompts prompts;
    EXPECT_EQ(TfrmDeliveryCheck::ShowFindings(nullptr, {}, {}, true), nullptr);
    ASSERT_EQ(prompts.Shown.size(), 1u);
    EXPECT_EQ(prompts.Shown[0].Text, "電子納品チェックを中止しました。中止までに問題は見つかりませんでした。");
  }
  for (bool stopped : {true, false}) {
    SCOPED_TRACE(stopped);
    const QString note = stopped ? QStringLiteral("（中止しました）") : QString();
    TfrmDeliveryCheck w;
    w.Fill({Warning("1", "A", "r", "x")}, {}, true);
    w.Fill({Error("1", "A", "r", "x")}, {}, stopped);  // the state follows the last fill
    EXPECT_EQ(w.windowTitle(), "電子納品チェック" + note);
    EXPECT_EQ(w.lblCount->text(), "エラー 1 件、警告 0 件" + note);
    EXPECT_EQ(w.Label1->text().startsWith("電子納品チェックを中止しました。"), stopped);
    const QString target = QString::fromStdString(elsewhere / (stopped ? "stopped.pdf" : "whole.pdf"));
    ASSERT_TRUE(w.ExportPdf(target));
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(target), QPdfDocument::Error::None);
    EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Title).toString(), "電子納品チェック結果" + note);
  }
}

// The report: title, counts and page numbers on every page, long texts
// wrapped in their column, a finding never split across pages.
TEST(DeliveryCheckReport, WrapsLongTextsAndKeepsEachFindingOnOnePage) {
  struct WrapCase {
    std::string Text;
    std::size_t Width, Most;
    std::vector<std::string> Lines;
  };
  const std::vector<WrapCase> wraps = {
      {"", 10, 3, {""}},
      {"ABCDEFGHIJ", 10, 3, {"ABCDEFGHIJ"}},
      {"ABCDEFGHIJK", 10, 3, {"ABCDEFGHIJ", "K"}},
      // Double-byte characters take two columns and are never split.
      {"あいうえおか", 5, 3, {"あい", "うえ", "おか"}},
      // A break after a space or '/' in the second half of the line.
      {"MEET/ORG/M001.PDF", 10, 3, {"MEET/ORG/", "M001.PDF"}},
      {"A/BCDEFGHIJKL", 10, 3, {"A/BCDEFGHI", "JKL"}},
      // Cut at the most lines, ending in "…" within the width.
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 10, 2, {"ABCDEFGHIJ", "KLMNOPQR…"}},
  };
  for (const WrapCase& c : wraps) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(WrapReportText(c.Text, c.Width, c.Most), c.Lines);
  }

  EXPECT_TRUE(LayoutFindingReport({}).empty());
  auto texts = [](const TReportPage& page, double y) {
    std::vector<std::string> out;
    for (const TReportText& t : page.Texts)
      if (t.Y == y) out.push_back(t.Text);
    return out;
  };
  const std::string longFound(400, 'x');
  struct PageCase {
    const char* Name;
    std::vector<TFinding> Findings;
    std::size_t Pages;
  };
  std::vector<TFinding> forty, tall;
  for (int i = 0; i < 40; ++i) forty.push_back(Warning("1", "F" + std::to_string(i), "r", "x"));
  for (int i = 0; i < 7; ++i) tall.push_back(Error("1", "F", "r", longFound));  // six lines each
  std::vector<TFinding> fortyOne = forty;
  fortyOne.push_back(Error("2", "G", "r", "x"));
  const std::vector<PageCase> pages = {
      {"forty fill one page", forty, 1},
      {"forty-one need two", fortyOne, 2},
      {"six findings of six lines fit, the seventh goes over", tall, 2},
  };
  for (const PageCase& c : pages) {
    SCOPED_TRACE(c.Name);
    const auto layout = LayoutFindingReport(c.Findings);
    ASSERT_EQ(layout.size(), c.Pages);
    std::size_t errors = 0;
    for (const TFinding& f : c.Findings) errors += f.Severity == TSeverity::Error;
    const std::string counts =
        "エラー " + std::to_string(errors) + " 件、警告 " + std::to_string(c.Findings.size() - errors) + " 件";
    std::size_t rowsSeen = 0;
    for (std::size_t n = 0; n < layout.size(); ++n) {
      const TReportPage& p = layout[n];
      EXPECT_EQ(texts(p, 2), std::vector<std::string>{"電子納品チェック結果"});
      EXPECT_EQ(texts(p, 3.3), std::vector<std::string>{counts});
      EXPECT_EQ(texts(p, 4.5),
                (std::vector<std::string>{"重要度", "メディア", "ファイル・フォルダ", "規則", "内容"}));
      EXPECT_EQ(texts(p, 46.5),
                std::vector<std::string>{std::to_string(n + 1) + " / " + std::to_string(layout.size())});
      // Every text stays in the table's lines, and each finding's severity
      // starts its row.
      for (const TReportText& t : p.Texts) {
        EXPECT_TRUE(t.Y == 2 || t.Y == 3.3 || t.Y == 4.5 || t.Y == 46.5 || (t.Y > 5 && t.Y < 45)) << t.Y;
        if (t.X == 5.5 && t.Y > 4.5 && t.Y < 45) ++rowsSeen;
      }
    }
    EXPECT_EQ(rowsSeen, c.Findings.size());
  }
  // Information counted apart from warnings; a stopped check says so.
  EXPECT_EQ(texts(LayoutFindingReport({Error("1", "F", "r", "x"), Info("1", "G", "r", "x")}, true)[0], 3.3),
            std::vector<std::string>{"エラー 1 件、警告 0 件、情報 1 件（中止しました）"});
  // A long text wraps to its most lines, the last cut.
  const auto one = LayoutFindingReport({Error("1", "F", "r", longFound)});
  std::vector<std::string> found;
  for (const TReportText& t : one[0].Texts)
    if (t.X == 67.5) found.push_back(t.Text);
  ASSERT_EQ(found.size(), std::size_t(kFindingReportLines));
  EXPECT_EQ(found.back().substr(found.back().size() - 3), "…");
}

}  // namespace
}  // namespace dlvr
