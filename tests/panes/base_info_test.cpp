// The base information dialog: labels and values of the management record,
// wrapping of long values at whole characters, the category panels that
// scroll with the rows, closing and the kept placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <sstream>

#include "check/extended_check.h"
#include "check/viewer_model.h"
#include "components/ext_registry.h"
#include "panes/base_info.h"
#include "panes/xml_err.h"
#include "platform/drive.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/qstring_print.h"

namespace dlvr {
namespace {

using test::ScratchDir;
using test::ScriptedPrompts;

// Mixed widths on purpose: half-width katakana are one byte in Shift-JIS but
// three in UTF-8, and the odd ASCII runs shift the double-byte characters so
// that some line ends fall on a lead byte.
const std::string kLongContact =
    "株式会社サンプルシステム　ｻﾎﾟｰﾄｾﾝﾀｰ TEL 000-000-0000 FAX 000-000-0001 受付時間は平日の９時から１７時まで"
    "（土日祝日と年末年始を除きます）。 E-mail: support@example.jp 所在地：見本県見本市中町一丁目２番３号"
    " サンプルビル５階 担当：電子納品サポート係 ｺｰﾙｾﾝﾀｰ直通 000-111-2222 までお問い合わせください。"
    " 休日の緊急連絡先：000-333-4444（保守契約のお客様に限ります） ﾌﾘｰﾀﾞｲﾔﾙ 0120-000-000 "
    "ホームページ https://www.example.jp/support/ からもお問い合わせを受け付けております。";
const std::string kLongSoftName = "A電子納品作成支援システム・プロフェッショナル版（ネットワークライセンス）"
                                  "Ｂ工事写真と図面の一括管理オプション付き";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void ReplaceElement(std::string& xml, const std::string& tag, const std::string& value) {
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  const std::size_t from = xml.find(open);
  const std::size_t to = xml.find(close);
  ASSERT_NE(from, std::string::npos) << tag;
  ASSERT_NE(to, std::string::npos) << tag;
  xml.replace(from + open.size(), to - from - open.size(), value);
}

class BaseInfoTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;

  // A copy of the clean sample whose maker contact and software name are
  // long; the management file stays Shift-JIS.
  void LoadLongDelivery() {
    const std::string folder = dir / "clean";
    test::CopyTree(test::SamplePath("clean"), folder);
    std::string xml = Cp932ToUtf8(ReadAll(folder + "/INDEX_C.XML"));
    ReplaceElement(xml, "メーカ連絡先", kLongContact);
    ReplaceElement(xml, "ソフトウェア名", kLongSoftName);
    dir.WriteSjis("clean/INDEX_C.XML", xml, false);
    m.View.Load(folder);
  }

  // Characters ("0"s) per line of the value column.
  static std::size_t LineChars(const TfrmBaseInfo& w) {
    return static_cast<std::size_t>((w.grdBase->ColWidth(2) - 4) / w.grdBase->TextWidth0(1));
  }

  // Every shown value is the front of its value, cut into lines of exactly
  // the column's bytes, one fewer only where the next character is
  // double-byte; a row shows at most its own number of lines.
  static void ExpectWrappedAtWholeCharacters(const TfrmBaseInfo& w) {
    const std::size_t chars = LineChars(w);
    for (int row = 1; row <= TfrmBaseInfo::kDataRows; ++row) {
      SCOPED_TRACE(row);
      const QString value = w.Values()[static_cast<std::size_t>(row - 1)];
      const QStringList pieces = w.WrapValue(value, w.grdBase->ColWidth(2));
      EXPECT_EQ(pieces.join(QString()), value);
      if (pieces.size() > 1) {
        for (qsizetype i = 0; i < pieces.size(); ++i) {
          const std::string piece = pieces[i].toStdString();
          EXPECT_FALSE(pieces[i].contains(QChar(0xFFFD)));
          const std::size_t bytes = Cp932Length(piece);
          EXPECT_LE(bytes, chars) << i;
          if (i + 1 < pieces.size() && bytes != chars) {
            EXPECT_EQ(bytes + 1, chars) << i;
            EXPECT_EQ(Cp932Length(pieces[i + 1].left(1).toStdString()), 2u) << i;
          }
        }
      }
      const int shown = std::min<int>(static_cast<int>(pieces.size()), TfrmBaseInfo::RowLines(row));
      for (int line = 0; line < 4; ++line)
        EXPECT_EQ(w.grdBase->LineText(2, row, line), line < shown ? pieces[line] : QString()) << line;
      EXPECT_EQ(w.grdBase->CellAtr(2, row).LineCount, TfrmBaseInfo::RowLines(row));
    }
  }

  ScratchDir dir;
  ScriptedPrompts prompts;
  TViewerModel m;
};

TEST_F(BaseInfoTest, DialogHasItsControlsAndSizeLimits) {
  DeliveryStore empty;  // nothing loaded: every value empty
  TViewerModel fresh(empty);
  TfrmBaseInfo w(fresh.View);
  EXPECT_EQ(w.windowTitle(), "基礎情報");
  TExtGrid3* g = w.findChild<TExtGrid3*>("grdBase");
  ASSERT_EQ(g, w.grdBase);
  EXPECT_EQ(QSize(g->ColCount(), g->RowCount()), QSize(3, 18));
  for (const char* name : {"pnlDispFxd", "pnlFixdShadow", "pnlButton"}) EXPECT_NE(w.findChild<QWidget*>(name), nullptr);
  EXPECT_EQ(w.findChild<QPushButton*>("btnClose")->text(), "閉じる");
  // Rows of n lines are n x (text height + 2) + 2 pixels.
  const int line = g->TextHeight0() + 2;
  for (int row : {0, 2, 3, 15, 16, 17}) EXPECT_EQ(g->RowHeight(row), TfrmBaseInfo::RowLines(row) * line + 2) << row;
  EXPECT_EQ(TfrmBaseInfo::RowLines(16), 3);
  for (int row = 1; row <= 17; ++row) EXPECT_EQ(g->Cell(2, row), "") << row;
  const int minWidth = 733 + TFormControl::ScrollBarExtent(&w);
  EXPECT_EQ(w.minimumSize(), QSize(minWidth, 406));
  EXPECT_GT(w.maximumWidth(), minWidth);
}

TEST_F(BaseInfoTest, LabelsAndValuesOfTheLoadedDelivery) {
  m.View.Load(test::SamplePath("clean"));
  TfrmBaseInfo w(m.View);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  TExtGrid3* g = w.grdBase;
  for (int row = 1; row <= 17; ++row) {
    SCOPED_TRACE(row);
    const QString value = QString::fromStdString(m.View.GetIndexItem(row - 1));
    EXPECT_FALSE(value.isEmpty());
    // The sample's values are short: one line each, whatever the row holds.
    EXPECT_EQ(g->Cell(2, row), value);
    EXPECT_EQ(g->LineText(2, row, 1), "");
  }
  EXPECT_EQ(g->Cell(2, 16), "サポート窓口 TEL 000-000-0000");

  // A label with "\r" shows as two centred lines; a one-line label stands in
  // the middle of its row.
  EXPECT_EQ(g->LineText(1, 4, 0), "特記仕様書オリジナル");
  EXPECT_EQ(g->LineText(1, 4, 1), "ファイルフォルダ名");
  for (int row = 1; row <= 17; ++row) {
    const TCellAtr a = g->CellAtr(1, row);
    const bool twoLineLabel = row == 4 || row == 6 || row == 8 || row == 12;
    EXPECT_EQ(a.LineCount, twoLineLabel ? 2 : 1) << row;
    EXPECT_EQ(a.Line[a.LineCount - 1].Alignment, taCenter) << row;
    EXPECT_EQ(a.Line[0].Position, twoLineLabel ? 0.0 : (TfrmBaseInfo::RowLines(row) - 1) / 2.0) << row;
  }
  // Only the value column takes the cursor.
  EXPECT_FALSE(g->CanSelect(1, 5));
  EXPECT_TRUE(g->CanSelect(2, 5));
}

TEST_F(BaseInfoTest, LongValuesWrapAtWholeCharactersAndFollowTheWidth) {
  LoadLongDelivery();
  TfrmBaseInfo w(m.View);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.resize(1100, 500);
  QApplication::processEvents();
  // The value column fills the client width beside the scroll bar.
  TExtGrid3* g = w.grdBase;
  EXPECT_EQ(g->ColWidth(0) + g->ColWidth(1) + g->ColWidth(2) + 3, g->ClientWidth());
  const std::size_t wideChars = LineChars(w);
  const QStringList contact = w.WrapValue(QString::fromStdString(kLongContact), g->ColWidth(2));
  ASSERT_GT(contact.size(), 3);
  // The maker contact shows its first three lines only.
  EXPECT_EQ(g->LineText(2, 16, 0), contact[0]);
  EXPECT_EQ(g->LineText(2, 16, 2), contact[2]);
  EXPECT_EQ(g->LineText(2, 16, 3), "");
  EXPECT_EQ(g->CellAtr(2, 16).LineCount, 3);
  EXPECT_TRUE(QString::fromStdString(kLongContact).startsWith(g->LineText(2, 16, 0) + g->LineText(2, 16, 1)));
  ExpectWrappedAtWholeCharacters(w);

  // Narrowing the dialog wraps every value again at the new width.
  w.resize(w.minimumWidth(), w.minimumHeight());
  QApplication::processEvents();
  ASSERT_LT(LineChars(w), wideChars);
  EXPECT_EQ(g->ColWidth(0) + g->ColWidth(1) + g->ColWidth(2) + 3, g->ClientWidth());
  ExpectWrappedAtWholeCharacters(w);
  EXPECT_NE(g->LineText(2, 13, 1), "");  // the software name no longer fits one line
  EXPECT_EQ(g->LineText(2, 14, 1), "");  // a short value stays one line
}

TEST(BaseInfoWrapTest, ValueFittingTheColumnStaysWholeAndNarrowColumnsStillAdvance) {
  TViewerModel model;
  TfrmBaseInfo w(model.View);
  const QString value = QStringLiteral("あいうえお");
  const int fits = QFontMetrics(w.grdBase->font()).horizontalAdvance(value) + 4;
  EXPECT_EQ(w.WrapValue(value, fits), QStringList{value});
  // One pixel less: cut by bytes, two double-byte characters a line (5
  // "0"s) with the odd byte left over.
  const int five = 4 + w.grdBase->TextWidth0(5);
  EXPECT_EQ(w.WrapValue(value, five), QStringList({"あい", "うえ", "お"}));
  EXPECT_EQ(w.WrapValue(QStringLiteral("aあbい"), 4 + w.grdBase->TextWidth0(2)),
            QStringList({"a", "あ", "b", "い"}));
  // A column of one "0" cannot hold a double-byte character: one a line.
  EXPECT_EQ(w.WrapValue(value, 4 + w.grdBase->TextWidth0(1)), QStringList({"あ", "い", "う", "え", "お"}));
  EXPECT_EQ(w.WrapValue(QString(), 100), QStringList{QString()});
}

TEST_F(BaseInfoTest, CategoryPanelsScrollWithTheRows) {
  LoadLongDelivery();
  TfrmBaseInfo w(m.View);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.resize(w.minimumWidth(), w.minimumHeight());
  QApplication::processEvents();
  TExtGrid3* g = w.grdBase;
  QWidget* viewport = g->viewport();
  const int header = g->RowHeight(0) + g->GridLineWidth();
  auto topIn = [&](QWidget* panel) { return panel->mapTo(viewport, QPoint(0, 0)).y(); };
  auto bottomIn = [&](QWidget* panel) { return panel->mapTo(viewport, QPoint(0, panel->height())).y(); };

  ASSERT_GT(g->verticalScrollBar()->maximum(), 1) << "the rows must not all fit";
  EXPECT_EQ(topIn(w.pnlFxdBase), g->CellRect(0, 1).top());
  EXPECT_EQ(bottomIn(w.pnlFxdBase), g->CellRect(0, 12).bottom() + 1);
  EXPECT_EQ(w.pnlDispFxd->geometry(), QRect(0, header, g->ColWidth(0), g->ClientHeight() - header));

  // Scrolling by the scroll bar, as the user does.
  g->verticalScrollBar()->setValue(6);
  QApplication::processEvents();
  ASSERT_EQ(g->TopRow(), 6);
  EXPECT_EQ(topIn(w.pnlFxdSoft), g->CellRect(0, 13).top());
  EXPECT_EQ(bottomIn(w.pnlFxdBase), g->CellRect(0, 12).bottom() + 1);
  EXPECT_EQ(w.pnlDispFxd->y(), header);  // the clip stays below the header

  // At the end the panel ends with the last row.
  g->SetTopRow(g->verticalScrollBar()->maximum());
  QApplication::processEvents();
  EXPECT_EQ(bottomIn(w.pnlFxdSoft), g->CellRect(0, 17).bottom() + 1);
  EXPECT_LE(w.pnlDispFxd->geometry().bottom(), g->ClientHeight());

  // Growing the dialog until every row fits brings the rows back to the top.
  w.resize(w.width(), 1000);
  QApplication::processEvents();
  EXPECT_EQ(g->TopRow(), 1);
  EXPECT_EQ(topIn(w.pnlFxdBase), g->CellRect(0, 1).top());
  EXPECT_EQ(w.pnlDispFxd->geometry().bottom() + 1, g->CellRect(0, 17).bottom() + 1 + g->GridLineWidth());
}

TEST_F(BaseInfoTest, ShownModallyClosedByEscapeAndPlacementKept) {
  m.View.Load(test::SamplePath("clean"));
  TExtRegistry placement;
  placement.SetSection("WinPos\\frmBaseInfo");
  bool modal = false, found = false, closedByEscape = false;
  QString value;
  QTimer::singleShot(0, [&] {
    auto* w = qobject_cast<TfrmBaseInfo*>(QApplication::activeModalWidget());
    if (!w) return;
    found = true;
    modal = w->isModal();
    value = w->grdBase->Cell(2, 1);
    w->resize(900, 450);
    QApplication::processEvents();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w->grdBase;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    closedByEscape = !w->isVisible();
    // Should Escape not close the dialog, the close button still ends the test.
    if (w->isVisible()) w->btnClose->click();
  });
  TfrmBaseInfo::ShowBaseInfo(nullptr, m.View);
  EXPECT_TRUE(found);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(closedByEscape);
  EXPECT_EQ(value, "1");
  // Released: no dialog is left behind.
  for (QWidget* top : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TfrmBaseInfo*>(top), nullptr);
  EXPECT_EQ(placement.ReadInteger("Width", 0), 900);
  EXPECT_EQ(placement.ReadInteger("Height", 0), 450);
}

// A screenshot for a person to look at: written only when
// DLVR_SCREENSHOT_DIR names a folder.
// The edition of the guideline a delivery follows: told in the dialog for
// the first edition and a later one; above the error list only for a later
// one, whose data check findings may not apply.
TEST_F(BaseInfoTest, EditionInTheDialogAndAboveTheErrorList) {
  struct TRow {
    const char* Standard;  // 適用要領基準 put after メディア総枚数 ("" none)
    const char* Dialog;
    bool Notice;
  };
  const TRow rows[] = {
      {"", "要領: 平成13年8月版（DTD_version 02）", false},
      {"土木201603-01", "要領: 平成28年3月版（適用要領基準 土木201603-01）", true},
  };
  int n = 0;
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Dialog);
    const std::string folder = dir / ("edition" + std::to_string(++n));
    test::CopyTree(test::SamplePath("clean"), folder);
    if (*row.Standard) {
      std::string xml = Cp932ToUtf8(ReadAll(folder + "/INDEX_C.XML"));
      const std::string after = "</メディア総枚数>";
      xml.insert(xml.find(after) + after.size(), std::string("<適用要領基準>") + row.Standard + "</適用要領基準>");
      dir.WriteSjis("edition" + std::to_string(n) + "/INDEX_C.XML", xml, false);
    }
    DeliveryStore store;
    TViewerModel model(store);
    model.View.Load(folder);
    TfrmBaseInfo w(model.View);
    EXPECT_EQ(w.lblEdition->text().toStdString(), row.Dialog);
    TfrmXMLErr errors;
    errors.SetEditionNotice(QString::fromStdString(EditionNotice(DeliveryEdition(model.View.MediaFolder()))));
    EXPECT_EQ(errors.lblEditionNotice->isVisibleTo(&errors), row.Notice);
    if (row.Notice) {
      EXPECT_NE(errors.lblEditionNotice->text().indexOf(QStringLiteral("平成28年3月版")), -1);
    }
  }
}

TEST_F(BaseInfoTest, Screenshot) {
  const QString folder = qEnvironmentVariable("DLVR_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "set DLVR_SCREENSHOT_DIR to write screenshots";
  QDir().mkpath(folder);
  LoadLongDelivery();
  TfrmBaseInfo w(m.View);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.resize(w.minimumWidth(), w.minimumHeight());
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(folder + "/base_info.png"));
  w.grdBase->verticalScrollBar()->setValue(6);
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(folder + "/base_info_scrolled.png"));
  w.resize(1000, 700);
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(folder + "/base_info_wide.png"));
}

}  // namespace
}  // namespace dlvr
