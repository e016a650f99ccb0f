// The finding list shared by the check windows: what its filter row leaves,
// how a header click orders the rows, the groups by rule with their counts,
// what Enter and a double-click report, its colours and column widths.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTest>

#include "components/finding_list.h"
#include "components/legible_color.h"
#include "support/dark_palette.h"

namespace dlvr {
namespace {

// Severity, medium, path, rule, text: the shape of the delivery check's list.
TFindingColumns Columns() {
  TFindingColumns c;
  c.Headers = {"重要度", "メディア", "ファイル", "規則", "内容"};
  c.Severity = 0;
  c.Medium = 1;
  c.Rule = 3;
  c.SeverityNames = {"エラー", "警告", "情報"};
  return c;
}

TFindingRow Row(int severity, const char* medium, const char* path, const char* rule, const char* found) {
  static const char* names[] = {"エラー", "警告", "情報"};
  return {{names[severity], medium, path, rule, found}, severity};
}

std::vector<TFindingRow> Rows() {
  return {
      Row(1, "1", "MEET/ORG/A.PDF", "名前", "小文字"),     // 0
      Row(0, "2", "PLAN/ORG/B.PDF", "存在", "ありません"),  // 1
      Row(2, "1", "MEET/ORG/C.PDF", "文書", "3 ページ"),    // 2
      Row(0, "10", "OTHRS/Org", "名前", "小文字"),          // 3
      Row(1, "2", "BACKUP", "規定外", "Backup folder"),      // 4
  };
}

// The findings shown, top to bottom (groups expanded in place).
std::vector<int> ShownRows(const TFindingList& list) {
  std::vector<int> out;
  const QAbstractItemModel* m = list.tvwFindings->model();
  for (int r = 0; r < m->rowCount(); ++r) {
    const QModelIndex top = m->index(r, 0);
    if (m->rowCount(top) == 0) out.push_back(list.FindingAtRow(r));
    for (int c = 0; c < m->rowCount(top); ++c)
      out.push_back(top.model()->index(c, 0, top).data(TFindingModel::FindingRole).toInt());
  }
  return out;
}

class FindingListTest : public ::testing::Test {
 protected:
  FindingListTest() {
    list.SetColumns(Columns());
    list.SetRows(Rows());
  }
  void Choose(QComboBox* box, const QVariant& data) {
    box->setCurrentIndex(box->findData(data));
    emit box->activated(box->currentIndex());
  }
  TFindingList list;
};

TEST_F(FindingListTest, TheFilterRowLeavesWhatItAsksFor) {
  struct Case {
    const char* Name;
    int Severity;
    const char* Rule;
    const char* Medium;
    const char* Text;
    std::vector<int> Shown;
    const char* Count;
  };
  const Case cases[] = {
      {"nothing asked", -1, nullptr, nullptr, "", {0, 1, 2, 3, 4}, "5件"},
      {"errors", 0, nullptr, nullptr, "", {1, 3}, "5件中 2件を表示"},
      {"a rule", -1, "名前", nullptr, "", {0, 3}, "5件中 2件を表示"},
      {"a medium, not its prefix", -1, nullptr, "1", "", {0, 2}, "5件中 2件を表示"},
      {"text in any column, any case", -1, nullptr, nullptr, "backup", {4}, "5件中 1件を表示"},
      {"text with blanks around", -1, nullptr, nullptr, "  ORG/ ", {0, 1, 2}, "5件中 3件を表示"},
      {"all at once", 0, "名前", "10", "org", {3}, "5件中 1件を表示"},
      {"nothing left", 2, "名前", nullptr, "", {}, "5件中 0件を表示"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Choose(list.cbxSeverity, c.Severity);
    Choose(list.cbxRule, c.Rule ? QVariant(QString::fromUtf8(c.Rule)) : QVariant());
    Choose(list.cbxMedium, c.Medium ? QVariant(QString::fromUtf8(c.Medium)) : QVariant());
    list.edtFilter->setText(QString::fromUtf8(c.Text));
    QTest::keyClick(list.edtFilter, Qt::Key_Return);
    EXPECT_EQ(ShownRows(list), c.Shown);
    EXPECT_EQ(list.lblShown->text(), QString::fromUtf8(c.Count));
  }
  // The choices offer what the rows hold, with their counts.
  EXPECT_EQ(list.cbxMedium->count(), 4);
  EXPECT_EQ(list.cbxMedium->itemText(3), "10（1件）");  // numbers in their order, not as texts
  EXPECT_EQ(list.cbxSeverity->itemText(1), "エラー（2件）");
  // New rows keep a choice that still applies.
  Choose(list.cbxRule, QStringLiteral("名前"));
  list.edtFilter->clear();
  QTest::keyClick(list.edtFilter, Qt::Key_Return);
  Choose(list.cbxSeverity, -1);
  Choose(list.cbxMedium, QVariant());
  std::vector<TFindingRow> more = Rows();
  more.push_back(Row(1, "3", "X", "名前", "y"));
  list.SetRows(more);
  EXPECT_EQ(ShownRows(list), (std::vector<int>{0, 3, 5}));
  // Rules in the order they first come, media by number.
  list.SetRows({Row(0, "10", "a", "zz", "x"), Row(0, "9", "b", "a", "y")});
  EXPECT_EQ(list.cbxRule->itemData(1).toString(), "zz");
  EXPECT_EQ(list.cbxMedium->itemData(1).toString(), "9");
}

TEST_F(FindingListTest, AHeaderClickSortsAscendingThenDescendingThenAsGiven) {
  struct Case {
    const char* Name;
    int Column;
    std::vector<int> Ascending, Descending;  // ties keep the order given either way
  };
  const Case cases[] = {
      {"severity by its rank, not its name", 0, {1, 3, 0, 4, 2}, {2, 0, 4, 1, 3}},
      {"medium", 1, {0, 2, 3, 1, 4}, {1, 4, 3, 0, 2}},
      {"text by code point", 3, {0, 3, 1, 2, 4}, {4, 2, 1, 0, 3}},
  };
  QHeaderView* header = list.tvwFindings->header();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const QPoint at(header->sectionViewportPosition(c.Column) + 5, header->height() / 2);
    list.show();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(ShownRows(list), c.Ascending);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(ShownRows(list), c.Descending);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(ShownRows(list), (std::vector<int>{0, 1, 2, 3, 4}));
  }
  // Numbers sort as numbers.
  TFindingColumns numbered;
  numbered.Headers = {"NO.", "x"};
  numbered.Number = 0;
  TFindingList n;
  n.SetColumns(numbered);
  n.SetRows({{{"9", "a"}, -1}, {{"10", "b"}, -1}, {{"2", "c"}, -1}});
  n.tvwFindings->sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(ShownRows(n), (std::vector<int>{2, 0, 1}));
}

TEST_F(FindingListTest, GroupsByRuleCountWhatTheFilterLeaves) {
  QAbstractItemModelTester tester(list.tvwFindings->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  list.chkGroup->setChecked(true);
  const QAbstractItemModel* m = list.tvwFindings->model();
  ASSERT_EQ(m->rowCount(), 4);
  EXPECT_TRUE(list.SelectFinding(0));
  EXPECT_EQ(list.CurrentFinding(), 0);
  // In the order the rules first come, each with its count.
  EXPECT_EQ(list.ShownText(0, 0), "名前（2件）");
  EXPECT_EQ(list.ShownText(0, 1), "存在（1件）");
  EXPECT_EQ(list.ShownText(0, 3), "規定外（1件）");
  EXPECT_EQ(ShownRows(list), (std::vector<int>{0, 3, 1, 2, 4}));
  EXPECT_EQ(list.FindingAtRow(0), -1);
  // Filtered: groups without a finding left go, counts follow.
  Choose(list.cbxSeverity, 0);
  ASSERT_EQ(m->rowCount(), 2);
  EXPECT_EQ(list.ShownText(0, 0), "名前（1件）");
  EXPECT_EQ(list.lblShown->text(), "5件中 2件を表示");
  // A finding is selected inside its group, which opens.
  EXPECT_TRUE(list.SelectFinding(3));
  EXPECT_EQ(list.CurrentFinding(), 3);
  EXPECT_TRUE(list.tvwFindings->isExpanded(m->index(0, 0)));
  EXPECT_FALSE(list.SelectFinding(4));  // filtered out
  // Back to the flat list, the same finding stays current.
  list.chkGroup->setChecked(false);
  EXPECT_EQ(list.CurrentFinding(), 3);
  EXPECT_EQ(ShownRows(list), (std::vector<int>{1, 3}));
}

TEST_F(FindingListTest, EnterAndDoubleClickReportAFindingAndOpenAGroup) {
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  QSignalSpy activated(&list, &TFindingList::Activated);
  QTreeView* view = list.tvwFindings;
  view->sortByColumn(2, Qt::DescendingOrder);  // PLAN, OTHRS, MEET C, MEET A, BACKUP
  view->setFocus();
  view->setCurrentIndex(view->model()->index(1, 0));
  QTest::keyClick(view, Qt::Key_Return);
  const QPoint third = view->visualRect(view->model()->index(2, 2)).center();
  QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, third);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, third);
  ASSERT_EQ(activated.size(), 2);
  EXPECT_EQ(activated[0][0].toInt(), 3);
  EXPECT_EQ(activated[1][0].toInt(), 2);
  // Enter on a group opens and closes it; nothing is reported.
  list.SetGrouped(true);
  const QModelIndex group = view->model()->index(0, 0);
  view->setCurrentIndex(group);
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_TRUE(view->isExpanded(group));
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_FALSE(view->isExpanded(group));
  EXPECT_EQ(activated.size(), 2);
}

TEST(FindingList, PathsLoseTheirMiddleOtherTextsTheirEnd) {
  TFindingColumns c = Columns();
  c.PathColumns = {2};
  TFindingList list;
  list.SetColumns(c);
  list.SetRows({Row(0, "1", "PHOTO/PIC/SUBFOLDER/ANOTHER/P0000001.JPG", "rule", "a long text about what was found")});
  QTreeView* view = list.tvwFindings;
  // A cell as the list draws it, 90 pixels wide, and as a plain delegate
  // draws it with the given shortening.
  auto draw = [&](QAbstractItemDelegate* delegate, int col, Qt::TextElideMode mode) {
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.rect = QRect(0, 0, 90, 20);
    option.textElideMode = mode;
    QImage image(90, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    delegate->paint(&painter, option, view->model()->index(0, col));
    return image;
  };
  QStyledItemDelegate plain;
  EXPECT_EQ(draw(view->itemDelegate(), 2, Qt::ElideRight), draw(&plain, 2, Qt::ElideMiddle));
  EXPECT_NE(draw(view->itemDelegate(), 2, Qt::ElideRight), draw(&plain, 2, Qt::ElideRight));
  EXPECT_EQ(draw(view->itemDelegate(), 4, Qt::ElideMiddle), draw(&plain, 4, Qt::ElideRight));
}

TEST(FindingList, ErrorsReadOnLightAndDarkPalettes) {
  const QPalette saved = QApplication::palette();
  // The list follows a palette changed while it is open.
  TFindingList list;
  list.SetColumns(Columns());
  list.SetRows(Rows());
  for (const QPalette& palette : {test::DarkPalette(), saved}) {
    QApplication::setPalette(palette);
    QApplication::processEvents();
    const QAbstractItemModel* m = list.tvwFindings->model();
    const QColor base = list.tvwFindings->palette().color(QPalette::Base);
    const QColor error = m->index(1, 0).data(Qt::ForegroundRole).value<QColor>();
    EXPECT_GE(ContrastRatio(error, base), 3.0) << error.name().toStdString() << " on " << base.name().toStdString();
    EXPECT_TRUE(m->index(1, 0).data(Qt::FontRole).value<QFont>().bold());
    // Only the severity of an error is marked.
    EXPECT_FALSE(m->index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(m->index(1, 4).data(Qt::ForegroundRole).isValid());
  }
  QApplication::setPalette(saved);
}

TEST(FindingList, ColumnsFitTheirLongestTextsAndHeadings) {
  TFindingColumns c = Columns();
  c.SeverityNames = {"Error", "Warning", "Information"};
  TFindingList list;
  list.SetColumns(c);
  list.SetRows({Row(0, "1", "DRAWINGS/D0PF01Z.P21", "Drawing file name rule", "x")});
  list.resize(300, 200);
  list.show();
  QApplication::processEvents();
  const QHeaderView* h = list.tvwFindings->header();
  const QFontMetrics fm(list.tvwFindings->font());
  QFont bold = list.tvwFindings->font();
  bold.setBold(true);
  // A severity no row has yet still fits; so do the longest texts.
  EXPECT_GE(h->sectionSize(0), QFontMetrics(bold).horizontalAdvance("Information"));
  EXPECT_GE(h->sectionSize(2), fm.horizontalAdvance("DRAWINGS/D0PF01Z.P21"));
  EXPECT_GE(h->sectionSize(3), fm.horizontalAdvance("Drawing file name rule"));
  // The window wanted for them holds every column.
  int sum = 0;
  for (int i = 0; i < h->count(); ++i) sum += h->sectionSize(i);
  EXPECT_GE(list.WantedWidth(), sum);
  // Widened, the last column takes the room.
  list.resize(1400, 200);
  QApplication::processEvents();
  sum = 0;
  for (int i = 0; i < h->count(); ++i) sum += h->sectionSize(i);
  EXPECT_GE(sum, list.tvwFindings->viewport()->width());
}

}  // namespace
}  // namespace dlvr
