// The panes and their windows with the English translation installed: what
// they say (captions, headers, labels, buttons, tips, status and count lines,
// the captions of the definition tables in their grids) holds no Japanese,
// placeholders are filled, and what the panes reckon from a caption (line
// counts, the composed drawing name) does not change with the language.
// Delivery data and the findings the core makes are left out.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTableWidget>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "check/data_check.h"
#include "check/viewer_model.h"
#include "components/ext_grid.h"
#include "components/ext_registry.h"
#include "i18n/ui_language.h"
#include "model/tree_view.h"
#include "panes/base_info.h"
#include "panes/cad_files_pane.h"
#include "panes/delivery_check.h"
#include "panes/files_pane.h"
#include "panes/find_files.h"
#include "panes/folder_view.h"
#include "panes/info_panes.h"
#include "panes/photo_view.h"
#include "panes/seldir.h"
#include "panes/xml_err.h"
#include "panes/xml_pane.h"
#include "platform/drive.h"
#include "support/fixtures.h"
#include "support/qt_paths.h"
#include "support/wait.h"

namespace dlvr {
namespace {

// What a window shows, by where: "title", an object's name ("btnClose",
// "btnClose/tip", "cbxSort/0"), a grid cell ("Grid[3,0]").
using Texts = std::map<QString, QString>;

// Every text of a window's own: its title, labels, buttons and their tips,
// group boxes, the hints of edits, the items of combo boxes, the headers of
// tables and lists and the header row of grids. The children named in
// `skip`, and everything inside them, hold data and are left out.
Texts OwnTexts(QWidget* window, const QStringList& skip) {
  Texts out;
  out[QStringLiteral("title")] = window->windowTitle();
  auto skipped = [&](const QWidget* w) {
    for (; w && w != window; w = w->parentWidget())
      if (skip.contains(w->objectName())) return true;
    return false;
  };
  int unnamed = 0;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (skipped(w)) continue;
    const QString name = w->objectName().isEmpty() ? QStringLiteral("#%1").arg(++unnamed) : w->objectName();
    if (auto* l = qobject_cast<QLabel*>(w)) out[name] = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      out[name] = b->text();
      out[name + "/tip"] = b->toolTip();
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) out[name] = g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w); e && !qobject_cast<QComboBox*>(w->parentWidget()))
      out[name + "/hint"] = e->placeholderText();
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) out[name + "/" + QString::number(i)] = c->itemText(i);
    if (auto* t = qobject_cast<QTableWidget*>(w))
      for (int c = 0; c < t->columnCount(); ++c)
        if (t->horizontalHeaderItem(c)) out[name + "/" + QString::number(c)] = t->horizontalHeaderItem(c)->text();
    if (auto* t = qobject_cast<QTreeWidget*>(w); t && !t->isHeaderHidden())
      for (int c = 0; c < t->columnCount(); ++c) out[name + "/" + QString::number(c)] = t->headerItem()->text(c);
    if (auto* g = qobject_cast<TExtGrid3*>(w))
      for (int c = 0; c < g->ColCount(); ++c) out[QStringLiteral("%1[%2,0]").arg(name).arg(c)] = g->Cell(c, 0);
    if (auto* v = qobject_cast<QTreeView*>(w); v && !qobject_cast<QTreeWidget*>(w) && v->model() && !v->isHeaderHidden())
      for (int c = 0; c < v->model()->columnCount(); ++c)
        out[name + "/" + QString::number(c)] = v->model()->headerData(c, Qt::Horizontal).toString();
  }
  return out;
}

// The cells of one column of a grid below its header ("<prefix><grid>[c,r]").
void AddColumn(Texts& out, const TExtGrid3& grid, int col, const QString& prefix = QString()) {
  for (int r = 1; r < grid.RowCount(); ++r)
    out[QStringLiteral("%1%2[%3,%4]").arg(prefix, grid.objectName()).arg(col).arg(r)] = grid.Cell(col, r);
}

bool HasJapanese(const QString& s) {
  static const QRegularExpression japanese(
      QStringLiteral("[\\x{3000}-\\x{30ff}\\x{3400}-\\x{9fff}\\x{ff01}-\\x{ff9f}]"));
  return s.contains(japanese);
}

class EnglishUiTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  EnglishUiTest() {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrin", TExtRegistry::ProgramName()).remove("WinPos");
    InstallUiTranslations(UiLanguage::English);
    clean.View.Load(test::SamplePath("clean"));
  }
  ~EnglishUiTest() override {
    InstallUiTranslations(UiLanguage::Japanese);
  }

  TTreeItem* FirstItem(TViewerModel& m, int level, int cls) {
    for (TTreeItem* item : m.View.Tree().AllItems())
      if (m.View.NodeLevel(item) == level && m.View.NodeClass(item) == cls) return item;
    return nullptr;
  }

  test::ScriptedPrompts prompts;
  TViewerModel clean;  // the clean sample
};

TEST_F(EnglishUiTest, WindowsAndPanesSayNothingOfTheirOwnInJapanese) {
  ASSERT_EQ(InstalledUiLanguage(), UiLanguage::English);
  struct Case {
    const char* Name;
    // Opens the window, reads its texts, and checks what only it knows.
    std::function<Texts()> Open;
    // Texts that must read exactly so (a few of each window).
    Texts Expected;
  };
  const std::vector<Case> cases = {
      {"base information",
       [&] {
         TfrmBaseInfo form(clean.View);
         Texts t = OwnTexts(&form, {"lblEdition"});
         AddColumn(t, *form.grdBase, 1);
         EXPECT_TRUE(form.lblEdition->text().startsWith("Guideline: ")) << form.lblEdition->text().toStdString();
         // A label's two lines are its own, not a row's.
         EXPECT_EQ(TfrmBaseInfo::RowLabel(4), "Special specifications\roriginal files folder");
         return t;
       },
       {{"title", "Base Information"},
        {"btnClose", "Close"},
        {"grdBase[1,0]", "Item"},
        {"grdBase[1,1]", "Medium number"},
        {"grdBase[1,4]", "Special specifications\r\noriginal files folder"},
        {"pnlFxdSoft", "Software\ninformation"}}},
      {"information panes",
       [&] {
         QWidget host;
         host.resize(900, 700);
         auto* koj = new TfrmKojInfo(clean, &host);
         auto* info = new TfrmInfo(clean, &host);
         host.show();
         koj->Fill();
         info->Fill(FirstItem(clean, nlRecord, 2));
         EXPECT_GT(info->Grid->RowCount(), 2);
         // Captions, their explanations and representations.
         Texts t = OwnTexts(koj, {});
         for (int c : {0, 1, 4}) AddColumn(t, *koj->Grid, c);
         for (const auto& [where, text] : OwnTexts(info, {})) t["info/" + where] = text;
         for (int c : {0, 1, 4}) AddColumn(t, *info->Grid, c, "info/");
         return t;
       },
       {{"Grid[0,0]", "Item"},
        {"grpUnknown", "Items not read"},
        {"grdUnknown[1,0]", "Value"},
        {"info/Grid[4,0]", "Format"}}},
      {"drawing pane",
       [&] {
         TfrmCADFiles pane(clean);
         pane.resize(700, 600);
         Texts t = OwnTexts(&pane, {"cbxDrawKind", "cbxSoftware", "edtFileName", "webBrowser"});
         AddColumn(t, *pane.Grid, 0);
         AddColumn(t, *pane.Grid, 4);
         // The name is composed of the life cycle's letter, whatever the
         // language of the list.
         EXPECT_TRUE(pane.edtFileName->text().startsWith('S')) << pane.edtFileName->text().toStdString();
         // A full-width field of 128 characters takes 256 bytes' lines.
         EXPECT_EQ(pane.RowLines[28], 255 / pane.LineChars() + 1);
         EXPECT_EQ(pane.RowLines[27], 10 / pane.LineChars() + 1);  // 11 half-width characters
         return t;
       },
       {{"Grid[4,1]", "Full-width"},
        {"Grid[4,4]", "Alphanumeric"},
        {"Grid[4,5]", "Numeric"},
        {"cbxLifeCycle/0", "S-Survey"},
        {"rgpKubun", " Division "}}},
      {"files pane",
       [&] {
         TfrmFiles pane(clean);
         pane.resize(700, 500);
         pane.ShowNode(FirstItem(clean, nlFile, 2));
         Texts t = OwnTexts(&pane, {"cbxSoftware", "webBrowser"});
         AddColumn(t, *pane.Grid, 0);
         AddColumn(t, *pane.Grid, 4);
         EXPECT_EQ(pane.RowLines[1], 127 / pane.LineChars() + 1);  // 64 full-width characters
         return t;
       },
       {{"Grid[0,1]", "Original file software version"}, {"Grid[4,2]", "Full-width"}}},
      {"XML pane",
       [&] {
         TfrmXML pane(clean);
         pane.resize(700, 500);
         pane.show();
         pane.ShowNode(clean.View.FindClassNode(5));
         return OwnTexts(&pane, {"webBrowser", "memSource"});
       },
       {{"rbtXMLSource", "XML code"}, {"pnlMsg", "Please see them in the photo viewing program."}}},
      {"data check list",
       [&] {
         TViewerModel m;
         m.View.Load(test::SamplePath("errors"));
         RunDataCheck(m.View);
         EXPECT_FALSE(m.View.ErrorList.empty());
         TfrmXMLErr w;
         w.Fill(m.View.ErrorList);
         // The rows and the edition's notice are the check's.
         return OwnTexts(&w, {"lblEditionNotice"});
       },
       {{"title", "Data Check"},
        {"tlbPrint", "    Print    "},
        {"tlbPrint/tip", "Print (Ctrl+P)"},
        {"tblClose", "Close"},
        {"tvwFindings/0", "No."},
        {"tvwFindings/1", "Management file"},
        {"tvwFindings/5", "Status"}}},
      {"delivery check",
       [&] {
         TfrmDeliveryCheck w;
         w.Fill({{TSeverity::Error, "1", "MEET/ORG/M001_01.PDF", "Drawing file name rule", "found"}}, {}, true);
         // The count line is the check's; the note after it the window's.
         EXPECT_TRUE(w.lblCount->text().endsWith(" (stopped)")) << w.lblCount->text().toStdString();
         // The CSV's header row is the grid's.
         EXPECT_TRUE(
             TfrmDeliveryCheck::FindingsCsv({}).startsWith("\xEF\xBB\xBF"
                                                           "Severity,Medium,File or folder,Rule,Finding\r\n"));
         // The severity column is as wide as its longest English name.
         const QTreeView* list = w.List->tvwFindings;
         QFont bold = list->font();
         bold.setBold(true);
         EXPECT_GE(list->header()->sectionSize(0), QFontMetrics(bold).horizontalAdvance("Information") + 4);
         // The rule column as wide as the longest rule shown.
         EXPECT_GE(list->header()->sectionSize(3),
                   QFontMetrics(list->font()).horizontalAdvance("Drawing file name rule") + 4);
         return OwnTexts(&w, {"lblCount"});
       },
       {{"title", "Delivery Check (stopped)"},
        {"Label1", "The delivery check was stopped. Until then it found the following problems."},
        {"tlbCsv", "Export CSV"},
        {"tlbPdf/tip", "Writes the findings to a PDF file"},
        {"tvwFindings/2", "File or folder"}}},
      {"folder dialog",
       [&] {
         TfrmSelDir form;
         form.SetInitialPath(QDir::cleanPath(test::QSample("multi/MEDIA1")));
         form.resize(900, 420);
         form.show();
         return OwnTexts(&form, {"EdtDir", "fvlSelDir"});
       },
       {{"title", "Select Folder"},
        {"btnOK", "OK"},
        {"btnCancel", "Cancel"},
        {"lblSiblings", "Media of the same construction: MEDIA2 (medium number 2)"},
        {"StatusBar1Text", "A folder whose path is longer than 240 characters cannot be the data folder."}}},
      {"file search",
       [&] {
         TfrmFindFiles w;
         w.SetGeneralMode(true);
         EXPECT_EQ(FormatFileSize(10), "10 bytes");
         return OwnTexts(&w, {"lblFindFolder", "lblFindInfo", "edtPattern"});
       },
       {{"title", "Search for Data Files"}, {"bbtFind", "Start search"}, {"lvwFind/4", "Modified"}}},
      {"photo viewer",
       [&] {
         TfrmPhotoView view(clean);
         view.resize(1100, 760);
         view.show();
         view.Refresh();
         EXPECT_TRUE(test::WaitUntil([&] { return !view.Busy(); }));
         // The first photo's details, its image's facts read last.
         EXPECT_TRUE(test::WaitUntil(
             [&] { return !view.tblDetails->findItems(QStringLiteral("Pixels"), Qt::MatchExactly).isEmpty(); }));
         Texts t = OwnTexts(&view, {"lblPeriod", "lblNotice", "lblFullTitle", "lblFullNote", "pvwPhoto", "tvwGroups",
                                    "lstReferences", "tblChecks", "tblDetails"});
         t.erase("title");  // names the construction
         EXPECT_TRUE(view.windowTitle().startsWith("Photo Viewer - ")) << view.windowTitle().toStdString();
         EXPECT_TRUE(view.lblPeriod->text().startsWith("Construction period: "));
         for (int c = 0; c < 3; ++c)
           t[QStringLiteral("tblChecks/%1").arg(c)] = view.tblChecks->horizontalHeaderItem(c)->text();
         for (int r = 0; r < view.tblDetails->rowCount(); ++r)
           t[QStringLiteral("tblDetails[0,%1]").arg(r)] = view.tblDetails->item(r, 0)->text();
         t["tvwGroups/root"] = view.tvwGroups->topLevelItem(0)->text(0);
         return t;
       },
       {{"lblDetails", "Photo information"},
        {"tblDetails[0,0]", "Serial number"},
        {"tblChecks/2", "Status"},
        {"chkFrequency", "Fre&quency photos only"},
        {"cbxSort/1", "By date taken"},
        {"tvwGroups/root", "All photos (33)"},
        {"lblCount", "Showing 33 of 33"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const Texts texts = c.Open();
    for (const auto& [where, text] : texts)
      EXPECT_FALSE(HasJapanese(text)) << where.toStdString() << ": " << text.toStdString();
    for (const auto& [where, text] : c.Expected) {
      if (!texts.count(where)) {
        ADD_FAILURE() << "not shown: " << where.toStdString();
        continue;
      }
      EXPECT_EQ(texts.at(where), text) << where.toStdString();
    }
  }
  EXPECT_EQ(TFolderViewLT::RootFolders().front().Label, "Home");

  // Back in Japanese, a window shows its own texts again.
  InstallUiTranslations(UiLanguage::Japanese);
  TfrmXMLErr w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("データチェック"));
  EXPECT_EQ(w.List->ShownText(5, -1), QStringLiteral("状態"));
}

}  // namespace
}  // namespace dlvr
