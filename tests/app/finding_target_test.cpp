// Where the findings of the sample with mistakes lead in its tree: a data
// check row to its record, original file or drawing (a record told apart
// from others of the same name by the rows before it), a delivery check
// finding to its file, and what has no item to the nearest one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/data_check.h"
#include "check/finding_target.h"
#include "check/viewer_model.h"
#include "model/tree_view.h"
#include "platform/drive.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

class FindingTargetTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  FindingTargetTest() {
    m.View.Load(test::SamplePath("errors"));
    RunDataCheck(m.View);
  }

  // The item's captions from below the root down to it ("" for the root).
  std::string Path(const TTreeItem* item) const {
    if (!item) return "(none)";
    std::vector<std::string> steps;
    for (; item->Parent(); item = item->Parent()) steps.insert(steps.begin(), item->Caption());
    std::string out;
    for (const std::string& s : steps) out += (out.empty() && &s == &steps.front() ? "" : " > ") + s;
    return out;
  }
  // The index of the first error list row with these texts in columns
  // 1, 2, 3 (section, naming value, file) and 4 (item), after `from`.
  std::size_t RowOf(const TCheckErrorRow& texts, std::size_t from = 0) const {
    for (std::size_t i = from; i < m.View.ErrorList.size(); ++i) {
      const TCheckErrorRow& r = m.View.ErrorList[i];
      if (r[0] == texts[0] && r[1] == texts[1] && r[2] == texts[2] && r[3] == texts[3]) return i;
    }
    ADD_FAILURE() << "no row " << texts[0] << " / " << texts[1] << " / " << texts[2] << " / " << texts[3];
    return 0;
  }

  test::ScriptedPrompts prompts;
  TViewerModel m;
};

TEST_F(FindingTargetTest, DataCheckRowsLeadToTheirRecordFileOrDrawing) {
  struct Case {
    const char* Name;
    TCheckErrorRow Texts;  // 状態 unused
    int Occurrence;        // the row among those with the same texts (0 the first)
    const char* Item;
    bool Exact;
  };
  const Case cases[] = {
      {"construction", {"工事管理", "", "INDEX_C.XML", "工期開始日", ""}, 0, "", true},
      {"a drawing", {"発注図面管理", "", "D0CS001Z.P21", "図面番号", ""}, 0, "発注図面 > D0CS001Z.P21", true},
      {"the management file's software", {"打合せ簿管理", "", "MEET.XML", "メーカ名", ""}, 0, "打合せ簿", true},
      {"the first record of a name", {"打合せ簿管理", "提出", "MEET.XML", "発行日付", ""}, 0,
       "打合せ簿 > 提出(施工管理)", true},
      // 提出 names records 1 and 6; only the sixth has these errors.
      {"a later record of the same name", {"打合せ簿管理", "提出", "MEET.XML", "シリアル番号", ""}, 0,
       "打合せ簿 > 提出(出来形管理)", true},
      {"an original file", {"打合せ簿管理", "協議", "0003_01.pdf", "打合せ簿オリジナルファイル名", ""}, 0,
       "打合せ簿 > 協議(工程管理) > 0003_01.pdf", true},
      {"a later original file of its record", {"打合せ簿管理", "協議", "0008_02.PDF", "オリジナルファイル内容", ""}, 0,
       "打合せ簿 > 協議(原価管理) > 0008_02.PDF", true},
      {"a record without a name", {"施工計画書管理", "", "PLAN.XML", "施工計画書名称", ""}, 0, "施工計画書 > ", true},
      {"a record of the other documents", {"その他管理", "工事履行報告書（１０月分）", "OTHRS.XML", "資料名", ""}, 0,
       "その他 > 工事履行報告書（１０月分）", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::size_t row = RowOf(c.Texts);
    for (int i = 0; i < c.Occurrence; ++i) row = RowOf(c.Texts, row + 1);
    const TFindingTarget t = FindFindingTarget(m.View, TFindingRef::OfDataCheck(row, m.View.ErrorList[row]));
    EXPECT_EQ(Path(t.Item), c.Item);
    EXPECT_EQ(t.Exact, c.Exact);
    EXPECT_TRUE(t.PhotoPath.empty());
  }
  // A row the list no longer holds at its index is taken as the first of
  // its kind; one of a section no longer known leads to the root.
  const std::size_t later = RowOf({"打合せ簿管理", "提出", "MEET.XML", "シリアル番号", ""});
  TCheckErrorRow moved = m.View.ErrorList[later];
  EXPECT_EQ(Path(FindFindingTarget(m.View, TFindingRef::OfDataCheck(0, moved)).Item), "打合せ簿 > 提出(出来形管理)");
  moved[0] = "どこか";
  const TFindingTarget lost = FindFindingTarget(m.View, TFindingRef::OfDataCheck(later, moved));
  EXPECT_EQ(Path(lost.Item), "");
  EXPECT_FALSE(lost.Exact);
}

TEST_F(FindingTargetTest, DeliveryFindingsLeadToTheirFileOrTheNearestItem) {
  struct Case {
    const char* Medium;
    const char* Path;
    const char* Item;
    bool Exact;
    const char* Photo;
  };
  const Case cases[] = {
      {"", "DRAWINGF/C0CS001Z.P21", "完成図面 > C0CS001Z.P21", true, ""},          // named, missing
      {"1", "OTHRS/ORG/O001_01.PDF", "その他 > 段階確認書（路盤） > O001_01.PDF", true, ""},  // another case
      {"1", "MEET/ORG/MEETING_04.PDF", "打合せ簿 > 指示(安全管理) > MEETING_04.PDF", true, ""},
      {"1", "MEET/MEET.XML", "打合せ簿", true, ""},
      {"1", "INDEX_C.XML", "", true, ""},
      {"1", "MEET/ORG/Thumbs.db", "打合せ簿", false, ""},  // stray: its class
      {"1", "OTHRS/Org", "その他", false, ""},
      {"1", "BACKUP", "", false, ""},
      {"", "PHOTO/PIC/P0000008.JPG", "写真", false, "PHOTO/PIC/P0000008.JPG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Path);
    const TFindingTarget t = FindFindingTarget(m.View, TFindingRef::OfDelivery({TSeverity::Error, c.Medium, c.Path, "r", "x"}));
    EXPECT_EQ(Path(t.Item), c.Item);
    EXPECT_EQ(t.Exact, c.Exact);
    EXPECT_EQ(t.Named, c.Path);
    EXPECT_EQ(t.PhotoPath, c.Photo);
  }
}

}  // namespace
}  // namespace dlvr
