#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <initializer_list>

#include "model/tree_view.h"
#include "platform/drive.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/tempfs.h"
#include "platform/text.h"
#include "support/delivery_builder.h"
#include "support/fixtures.h"

namespace dlvr {
namespace {

namespace fs = std::filesystem;

class TreeViewTest : public ::testing::Test {
 protected:
  test::FixedDrives drives;
  TreeViewTest() {
    model.Services.StylesheetText = [](int cls) { return "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\n<!-- " + std::to_string(cls) + " -->\n"; };
    model.Services.FillFieldTables = [this](const DeliveryStore&) { ++fills; };
  }
  ~TreeViewTest() override {
    SetMediaReadyOverride(nullptr);
  }

  TTreeItem* Root() { return model.Tree().Root(); }
  TTreeItem* Class(int index) { return Root() ? Root()->Item(index) : nullptr; }
  // The item at a path of child indexes from the root (the class first);
  // nullptr when any step is missing, for the test to assert on before it
  // uses the item.
  TTreeItem* At(std::initializer_list<int> path) {
    TTreeItem* item = Root();
    for (int i : path) item = item ? item->Item(i) : nullptr;
    return item;
  }
  static TTreeItem* Child(TTreeItem* parent, int index) { return parent ? parent->Item(index) : nullptr; }
  static TTreeItem* Last(TTreeItem* parent) { return parent ? parent->GetLastChild() : nullptr; }
  // Facts of an item that may be missing: a missing one fails the
  // comparison instead of crashing the test.
  static std::string CaptionOf(TTreeItem* item) { return item ? item->Caption() : "(no item)"; }
  static int CountOf(TTreeItem* item) { return item ? item->Count() : -1; }
  static int ImageOf(TTreeItem* item) { return item ? item->ImageIndex() : -2; }
  std::vector<std::string> Captions(TTreeItem* parent) {
    std::vector<std::string> out;
    if (!parent) return {"(no item)"};
    for (int i = 0; i < parent->Count(); ++i) out.push_back(parent->Item(i)->Caption());
    return out;
  }

  DeliveryStore store;
  TMdlTreeView model{store};
  int fills = 0;
};

TEST_F(TreeViewTest, CleanSampleBuildsEveryClassInOrder) {
  model.Load(test::SamplePath("clean"));
  ASSERT_NE(Root(), nullptr);
  EXPECT_EQ(Root()->Caption(), "工事完成図書");
  EXPECT_TRUE(Root()->Expanded());
  EXPECT_EQ(Captions(Root()),
            (std::vector<std::string>{"発注図面", "打合せ簿", "施工計画書", "完成図面", "写真", "その他"}));
  // Drawings first, the special specifications always last.
  TTreeItem* cls1 = Class(0);
  ASSERT_NE(cls1, nullptr);
  ASSERT_EQ(cls1->Count(), 7);
  EXPECT_EQ(CaptionOf(cls1->Item(0)), store.OrderDrawings[0].DrawFile);
  TTreeItem* spec = cls1->GetLastChild();
  ASSERT_NE(spec, nullptr);
  EXPECT_EQ(spec->Caption(), "特記仕様書");
  EXPECT_EQ(model.NodeClass(spec), 13);
  // Attachments in name order, captioned without extension.
  EXPECT_EQ(Captions(spec), (std::vector<std::string>{"SURYO01", "TOKKI01", "TOKKI02"}));
  EXPECT_EQ(model.GetFileItem(spec->Item(1), 0), "TOKKI01.PDF");
  EXPECT_EQ(model.GetFileItem(spec->Item(1), 3), "TOKKI01.PDF");
  EXPECT_TRUE(FileExists(model.GetFileItem(spec->Item(1), 1)));

  TTreeItem* meet = Class(1);
  ASSERT_NE(meet, nullptr);
  EXPECT_EQ(meet->Count(), static_cast<int>(store.Meetings.size()));
  EXPECT_EQ(CaptionOf(meet->Item(0)), "提出(施工管理)");
  EXPECT_EQ(CaptionOf(meet->Item(11)), "提出");  // no 管理区分: kind alone
  TTreeItem* file = Child(Child(meet, 0), 2);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Caption(), "0001_03.TXT");
  EXPECT_EQ(model.NodeLevel(file), nlFile);
  EXPECT_EQ(model.NodeNumber(file), 2);
  EXPECT_EQ(model.NodeMedia(file), 1);
  EXPECT_GE(file->ImageIndex(), model.SysIconBase);
  EXPECT_EQ(model.NodeClass(file), 2);
  EXPECT_EQ(model.NodeClass(Root()), 0);
  EXPECT_EQ(CountOf(Class(4)), 0);  // photos have no children
  EXPECT_EQ(fills, 1);
  // Record items are numbered in file order.
  for (int i = 0; i < meet->Count(); ++i) EXPECT_EQ(model.NodeNumber(meet->Item(i)), i);
}

TEST_F(TreeViewTest, AccessorsAnswerByItemCode) {
  model.Load(test::SamplePath("clean"));
  TTreeItem* drawing = At({0, 0});
  ASSERT_NE(drawing, nullptr);
  EXPECT_EQ(model.GetFileItem(drawing, 8), "");
  EXPECT_EQ(model.GetFileItem(drawing, 7), store.OrderDrawings[0].DrawAuthor);
  EXPECT_EQ(model.GetFileItem(drawing, 9), store.OrderDrawings[0].DrawScale);
  // The last drawing code is the reserve field; the sample leaves it empty.
  store.OrderDrawings[0].Reserve = "予備の記入";
  EXPECT_EQ(model.GetFileItem(drawing, 37), "予備の記入");
  EXPECT_EQ(model.GetFileItem(drawing, 39), "");
  EXPECT_EQ(model.GetFileItem(drawing, 4), store.OrderDrawings[0].DrawName);
  TTreeItem* planFile = At({2, 0, 0});
  ASSERT_NE(planFile, nullptr);
  std::string path = model.GetFileItem(planFile, 1);
  EXPECT_EQ(path, model.MediaFolder() + "PLAN/ORG/" + store.Plans[0].Orgs[0].OrgFile);
  EXPECT_TRUE(FileExists(path));
  for (int code = 0; code < 20; ++code) EXPECT_EQ(model.GetRecordItem(planFile, code), "") << code;
  TTreeItem* rec = At({1, 3});
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(model.GetRecordItem(rec, 0), store.Meetings[3].MeetKind);
  EXPECT_EQ(model.GetRecordItem(rec, 13), "口頭指示 2023-05-17\r\n警備員 2名増員\r\n夜間は照明車を追加\r\n");
  EXPECT_EQ(model.GetRecordItem(At({5, 0}), 16), store.Others[0].DocKind);
  // Index codes run from the medium number (0) to the maker's tag (16).
  const std::pair<int, std::string> index[] = {
      {-1, ""}, {0, "1"}, {1, "1"}, {2, "DRAWINGS"}, {7, "PLAN/ORG"}, {11, "OTHRS/ORG"},
      {12, "電子納品作成支援"}, {14, "株式会社サンプルシステム"}, {15, "サポート窓口 TEL 000-000-0000"},
      {16, "DNS-SAMPLE"}, {17, ""}};
  for (const auto& [code, value] : index) EXPECT_EQ(model.GetIndexItem(code), value) << code;
  // A null item, an item without record, a number outside its list.
  EXPECT_EQ(model.NodeLevel(nullptr), nlNone);
  EXPECT_EQ(model.NodeClass(nullptr), 0);
  EXPECT_EQ(model.GetFileItem(nullptr, 0), "");
  ASSERT_NE(model.NodeData(rec), nullptr);
  model.NodeData(rec)->Number = 999;
  EXPECT_EQ(model.GetRecordItem(rec, 0), "");
  EXPECT_EQ(model.FindClassNode(3), Class(2));
  EXPECT_EQ(model.FindClassNode(13), Last(Class(0)));
  EXPECT_EQ(model.SelectFieldTable(rec), 2);
  EXPECT_EQ(model.SelectFieldTable(drawing), 0);
}

TEST_F(TreeViewTest, HandedOverRecordsAreFreedOnce) {
  TDocTree tree;
  TTreeItem* a = tree.AddChild(nullptr, "a");
  a->SetData(std::make_unique<TMdlTreeItemData>());
  TTreeItem* b = tree.AddChild(a, "b");
  b->SetData(a->TakeData());
  EXPECT_EQ(a->Data(), nullptr);
  tree.Delete(a);  // frees b's record once (the sanitizer build would catch a double free)
  EXPECT_EQ(tree.TopCount(), 0);
}

// Deleting an item anywhere among its siblings: those after it move up one
// place and know it, at the top level and below.
TEST_F(TreeViewTest, DeletingAnItemRenumbersTheSiblingsAfterIt) {
  for (const bool top : {true, false}) {
    for (int gone = 0; gone < 4; ++gone) {
      SCOPED_TRACE((top ? "top level, item " : "children, item ") + std::to_string(gone));
      TDocTree tree;
      TTreeItem* parent = top ? nullptr : tree.AddChild(nullptr, "parent");
      std::vector<TTreeItem*> items;
      for (const char* caption : {"a", "b", "c", "d"}) items.push_back(tree.AddChild(parent, caption));
      tree.Delete(items[static_cast<std::size_t>(gone)]);
      items.erase(items.begin() + gone);
      const int count = top ? tree.TopCount() : parent->Count();
      ASSERT_EQ(count, 3);
      for (int i = 0; i < 3; ++i) {
        TTreeItem* item = items[static_cast<std::size_t>(i)];
        EXPECT_EQ(item->Index(), i) << item->Caption();
        EXPECT_EQ(top ? tree.TopItem(i) : parent->Item(i), item);
        EXPECT_EQ(item->GetNextSibling(), i < 2 ? items[static_cast<std::size_t>(i) + 1] : nullptr);
        EXPECT_EQ(item->GetPrevSibling(), i > 0 ? items[static_cast<std::size_t>(i) - 1] : nullptr);
      }
    }
  }
}

TEST_F(TreeViewTest, CaptionsInEveryLanguageAndFileNameMode) {
  model.Load(test::SamplePath("clean"));
  const char* const expected[] = {"打合せ簿", "MEET", "打合せ簿(MEET)", "MEET(打合せ簿)"};
  for (int lang = 3; lang >= 0; --lang) {
    model.SetViewLang(lang);
    EXPECT_EQ(CaptionOf(Class(1)), expected[lang]);
    EXPECT_EQ(CaptionOf(Root()), "工事完成図書");
  }
  model.SetViewLang(1);
  EXPECT_EQ(CaptionOf(Last(Class(0))), "SPEC");
  TTreeItem* org = At({1, 0, 0});
  ASSERT_NE(org, nullptr);
  TTreeItem* att = Child(Last(Class(0)), 1);
  ASSERT_NE(att, nullptr);
  model.SetFileNameMode(3);
  EXPECT_EQ(org->Caption(), store.Meetings[0].Orgs[0].OrgContent);
  EXPECT_EQ(CaptionOf(At({0, 0})), store.OrderDrawings[0].DrawName);
  EXPECT_EQ(att->Caption(), "TOKKI01.PDF");
  model.SetFileNameMode(0);
  EXPECT_EQ(org->Caption(), store.Meetings[0].Orgs[0].OrgFile);
  EXPECT_EQ(att->Caption(), "TOKKI01.PDF");
  model.SetFileNameMode(1);
  EXPECT_EQ(org->Caption(), store.Meetings[0].Orgs[0].OrgFile);
  // Mode 2 upper-cases ASCII letters only.
  store.Meetings[0].Orgs[0].OrgFile = "ａb_工.pdf";
  model.SetFileNameMode(2);
  EXPECT_EQ(org->Caption(), "ａB_工.PDF");
}

TEST_F(TreeViewTest, MissingFilesAndLowerCaseNames) {
  model.Load(test::SamplePath("errors"));
  TTreeItem* meet = Class(1);
  ASSERT_NE(meet, nullptr);
  // 0003_01.pdf is written in lower case on disk and in the data.
  TTreeItem* lower = Child(Child(meet, 2), 0);
  ASSERT_NE(lower, nullptr);
  EXPECT_EQ(lower->Caption(), "0003_01.pdf");
  EXPECT_GE(lower->ImageIndex(), model.SysIconBase);
  // Files named but absent: image 10, medium 0, still shown.
  int missing = 0;
  model.Tree().ForEach([&](TTreeItem* item) {
    if (item->ImageIndex() == imgFileMissing) {
      ++missing;
      EXPECT_EQ(model.NodeMedia(item), 0);
      ASSERT_NE(model.NodeData(item), nullptr);
      EXPECT_TRUE(model.NodeData(item)->Exists);
      EXPECT_FALSE(FileExists(model.GetFileItem(item, 1)));
    }
  });
  EXPECT_GE(missing, 1);
  // The drawing named twice sets the flag of class 1; one medium: no message.
  EXPECT_TRUE(model.DrawDuplicate(1));
}

TEST_F(TreeViewTest, SpecFolderWithoutDrawingsFile) {
  test::ScratchDir d;
  test::MediumSpec spec;
  spec.FilesHere = {"DRAWINGS/SPEC/B.TXT", "DRAWINGS/SPEC/a.pdf", "DRAWINGS/SPEC/DRAW02.DTD"};
  test::WriteMedium(d / "kkt", spec);
  model.Load(d / "kkt");
  TTreeItem* cls1 = Class(0);
  ASSERT_NE(cls1, nullptr);
  ASSERT_EQ(cls1->Count(), 1);
  EXPECT_EQ(cls1->Caption(), "発注図面");
  // Upper-cased names decide the order; the special specifications have no
  // management file of their own, so a DTD there is an attachment like any.
  EXPECT_EQ(Captions(cls1->Item(0)), (std::vector<std::string>{"a", "B", "DRAW02"}));
}

TEST_F(TreeViewTest, FileNamesThatWouldLeaveTheirFolderAreMissing) {
  test::ScratchDir d;
  test::MediumSpec spec;
  spec.Meetings = {{"協議", "", "", {"../../INDEX_C.XML", "..\\..\\INDEX_C.XML", "OK.PDF"}}};
  spec.FilesHere = {"MEET/ORG/OK.PDF"};
  test::WriteMedium(d / "kkt", spec);
  model.Load(d / "kkt");
  TTreeItem* rec = At({1, 0});
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(ImageOf(rec->Item(0)), imgFileMissing);
  EXPECT_EQ(ImageOf(rec->Item(1)), imgFileMissing);
  EXPECT_EQ(model.GetFileItem(rec->Item(0), 1), "");
  EXPECT_GE(ImageOf(rec->Item(2)), model.SysIconBase);
}

// A delivery's links whose targets lie outside the medium count as missing:
// files (named in management data or found in a folder), class folders and
// management files. Links that stay inside keep working.
TEST_F(TreeViewTest, LinksLeadingOutOfTheMediumCountAsMissing) {
  test::ScratchDir d, outside;
  outside.WriteBytes("secret.pdf", "secret");
  test::MediumSpec there;
  there.Plans = {"外の計画"};
  there.Drawings = {"D0PL001Z.P21"};
  there.FilesHere = {"PLAN/ORG/P1.PDF", "DRAWINGS/D0PL001Z.P21"};
  const std::string elsewhere = test::WriteMedium(outside / "kkt", there);
  test::MediumSpec spec;
  spec.Meetings = {{"協議", "", "", {"PLAIN.PDF", "OUT.PDF", "IN.PDF", "UP.PDF"}}};
  spec.FilesHere = {"MEET/ORG/PLAIN.PDF", "DRAWINGS/SPEC/TOKKI.PDF"};
  const std::string medium = test::WriteMedium(d / "kkt", spec);
  d.WriteBytes("beside.pdf", "x");
  fs::create_symlink(outside / "secret.pdf", medium + "MEET/ORG/OUT.PDF");
  fs::create_symlink("../../DRAWINGS/SPEC/TOKKI.PDF", medium + "MEET/ORG/IN.PDF");
  fs::create_symlink("../../../beside.pdf", medium + "MEET/ORG/UP.PDF");
  fs::create_symlink(outside / "secret.pdf", medium + "DRAWINGS/SPEC/OUTSPEC.PDF");
  fs::create_symlink("../../MEET/ORG/PLAIN.PDF", medium + "DRAWINGS/SPEC/INSPEC.PDF");
  fs::create_directory_symlink(elsewhere + "PLAN", medium + "PLAN");
  fs::create_symlink(elsewhere + "DRAWINGS/DRAWINGS.XML", medium + "DRAWINGS/DRAWINGS.XML");
  model.Load(medium);

  struct Case {
    std::string Caption;
    bool Present;
  } cases[] = {{"PLAIN.PDF", true}, {"OUT.PDF", false}, {"IN.PDF", true},  {"UP.PDF", false},
               {"TOKKI", true},     {"INSPEC", true},   {"OUTSPEC", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Caption);
    TTreeItem* item = nullptr;
    for (TTreeItem* i : model.Tree().AllItems())
      if (i->Caption() == c.Caption && model.NodeLevel(i) == nlFile) item = i;
    ASSERT_NE(item, nullptr);
    const bool attachment = model.NodeClass(item) == 13;
    EXPECT_EQ(item->ImageIndex() >= model.SysIconBase, c.Present);
    EXPECT_EQ(item->ImageIndex() == imgFileMissing, !c.Present);
    EXPECT_EQ(model.NodeMedia(item), c.Present ? 1 : 0);
    if (attachment) {
      ASSERT_NE(model.NodeData(item), nullptr);
      EXPECT_EQ(model.NodeData(item)->Exists, c.Present);
    }
    const std::string path = model.GetFileItem(item, 1);
    EXPECT_EQ(FileExists(path), c.Present);
    if (!c.Present) {
      EXPECT_EQ(path, "");
    }
  }
  // The plan folder and the drawings file lead out: no records read, none copied.
  EXPECT_TRUE(store.Plans.empty());
  EXPECT_TRUE(store.OrderDrawings.empty());
  EXPECT_EQ(CountOf(Class(2)), 0);
  EXPECT_EQ(CountOf(Class(0)), 1);  // the special specifications alone
  EXPECT_FALSE(FileExists(model.WorkFolder1() + "PLAN.XML"));
  EXPECT_FALSE(FileExists(model.WorkFolder2() + "DRAWINGS.XML"));
  EXPECT_TRUE(FileExists(model.WorkFolder2() + "MEET.XML"));
}

TEST_F(TreeViewTest, WorkCopiesAreMadeOnceAndNothingIsWrittenIntoTheDelivery) {
  test::ScratchDir d;
  test::CopyTree(test::SamplePath("clean"), d / "kkt");
  test::SetTreeReadOnly(d / "kkt", true);
  auto before = test::TreeSnapshot(d / "kkt");
  model.Load(d / "kkt");
  std::string w1 = model.WorkFolder1(), w2 = model.WorkFolder2();
  ASSERT_FALSE(w1.empty());
  ASSERT_NE(w1, w2);
  std::string display, plain;
  ASSERT_TRUE(ReadWholeFile(w1 + "MEET.XML", display));
  ASSERT_TRUE(ReadWholeFile(w2 + "MEET.XML", plain));
  EXPECT_NE(display.find("<?xml-stylesheet type=\"text/xsl\" href=\"MEET.XSL\"?>"), std::string::npos);
  EXPECT_EQ(plain.find("xml-stylesheet"), std::string::npos);
  EXPECT_TRUE(FileExists(w1 + "MEET02.DTD"));
  EXPECT_TRUE(FileExists(w2 + "MEET02.DTD"));
  EXPECT_TRUE(FileExists(w1 + "MEET.XSL"));
  EXPECT_TRUE(FileExists(w1 + "DRAWING.XSL"));
  EXPECT_TRUE(FileExists(w1 + "PHOTO.XML"));
  EXPECT_FALSE(FileExists(w2 + "MEET.XSL"));
  EXPECT_EQ(model.ManageFilePath(2, true), w1 + "MEET.XML");
  EXPECT_EQ(model.ManageFilePath(0, true), w1);
  // An existing stylesheet is left as it is.
  WriteWholeFile(w1 + "PLAN.XSL", "mine");
  model.PrepareWorkCopies();
  std::string mine;
  ReadWholeFile(w1 + "PLAN.XSL", mine);
  EXPECT_EQ(mine, "mine");
  EXPECT_EQ(model.PhotoMedia(), std::vector<int>{1});
  // The work folders live in the process's private work folder.
  EXPECT_EQ(ExtractFilePath(w1.substr(0, w1.size() - 1)), PrivateWorkFolder());
  EXPECT_EQ(ExtractFilePath(w2.substr(0, w2.size() - 1)), PrivateWorkFolder());
  // A new delivery removes the previous delivery's work folders.
  model.Load(test::SamplePath("errors"));
  EXPECT_FALSE(DirExists(w1));
  EXPECT_FALSE(DirExists(w2));
  EXPECT_EQ(test::TreeSnapshot(d / "kkt"), before);
}

// --- several media -------------------------------------------------------

// A drive whose medium the test changes: a symbolic link to one of several
// medium folders.
class MediaTest : public TreeViewTest {
 protected:
  MediaTest() {
    drive = d / "cdrom";
    SetDriveTypeOverride([this](const std::string& p) {
      return p.rfind(drive, 0) == 0 ? DriveType::CdRom : DriveType::Fixed;
    });
  }
  void Insert(const std::string& medium) {
    fs::remove(drive);
    if (!medium.empty()) fs::create_directory_symlink(medium, drive);
  }
  test::MediumSpec Medium(int no, int count) {
    test::MediumSpec s;
    s.MediaNo = no;
    s.MediaCount = count;
    s.Meetings = {{"指示", "", "2001-04-10", {"A.PDF", "B.PDF"}}, {"協議", "", "2001-04-02", {"C.PDF"}},
                  {"承諾", "", "", {"D.PDF"}}};
    return s;
  }

  test::ScratchDir d;
  std::string drive;
  test::ScriptedPrompts prompts;
};

TEST_F(MediaTest, ThreeMediaStartedWithTheSecond) {
  auto m1 = Medium(1, 3), m2 = Medium(2, 3), m3 = Medium(3, 3);
  m1.FilesHere = {"MEET/ORG/A.PDF"};
  m2.FilesHere = {"MEET/ORG/B.PDF", "MEET/ORG/C.PDF"};
  m3.FilesHere = {"MEET/ORG/D.PDF"};
  std::string f1 = test::WriteMedium(d / "m1", m1), f2 = test::WriteMedium(d / "m2", m2),
              f3 = test::WriteMedium(d / "m3", m3);
  Insert(f2);
  prompts.Fallback = DialogAnswer::Ok;
  std::vector<std::string> order = {f1, f3};
  prompts.OnShow = [&](const MessageRequest&) {
    if (!order.empty()) {
      Insert(order.front());
      order.erase(order.begin());
    }
  };
  model.Load(drive);
  ASSERT_EQ(prompts.Shown.size(), 2u);
  EXPECT_EQ(prompts.Shown[0].Text,
            "メディアが複数枚存在します。1枚目のメディアを挿入してください。\r\r次のメディアを読み込む場合は「OK」を\r"
            "読み込みを中止する場合は「ｷｬﾝｾﾙ」を選択してください。");
  EXPECT_EQ(prompts.Shown[0].Buttons, MsgButtons::OkCancel);
  EXPECT_NE(prompts.Shown[1].Text.find("3枚目"), std::string::npos);
  TTreeItem* rec0 = At({1, 0});
  ASSERT_NE(rec0, nullptr);
  EXPECT_EQ(model.NodeMedia(rec0->Item(0)), 1);  // A.PDF
  EXPECT_EQ(model.NodeMedia(rec0->Item(1)), 2);  // B.PDF
  EXPECT_EQ(model.NodeMedia(At({1, 2, 0})), 3);  // D.PDF
  // B.PDF was found on medium 2 but is not on medium 3, read last.
  ASSERT_NE(model.NodeData(rec0->Item(1)), nullptr);
  EXPECT_FALSE(model.NodeData(rec0->Item(1))->Exists);
  ASSERT_NE(model.NodeData(At({1, 2, 0})), nullptr);
  EXPECT_TRUE(model.NodeData(At({1, 2, 0}))->Exists);
  EXPECT_EQ(fills, 3);
}

TEST_F(MediaTest, SameMediumAgainAsksForTheMissingOneAgain) {
  std::string f1 = test::WriteMedium(d / "m1", Medium(1, 2)), f2 = test::WriteMedium(d / "m2", Medium(2, 2));
  Insert(f2);
  int shown = 0;
  prompts.OnShow = [&](const MessageRequest&) {
    if (++shown == 2) Insert(f1);
  };
  prompts.Answers = {DialogAnswer::Ok, DialogAnswer::Ok};
  model.Load(drive);
  ASSERT_EQ(prompts.Shown.size(), 2u);
  EXPECT_NE(prompts.Shown[0].Text.find("1枚目"), std::string::npos);
  EXPECT_NE(prompts.Shown[1].Text.find("1枚目"), std::string::npos);
  EXPECT_EQ(fills, 2);
}

TEST_F(MediaTest, AnotherDeliveryGivesTheWrongMediumPromptAndRetryRereads) {
  auto other = Medium(1, 2);
  other.KojiName = "別の工事";
  std::string f1 = test::WriteMedium(d / "m1", Medium(1, 2)), f2 = test::WriteMedium(d / "m2", Medium(2, 2)),
              fo = test::WriteMedium(d / "other", other);
  Insert(f1);
  prompts.Answers = {DialogAnswer::Ok, DialogAnswer::Retry};
  prompts.OnShow = [&](const MessageRequest& r) {
    if (prompts.Shown.size() == 1) Insert(fo);
    if (prompts.Shown.size() == 2) Insert(f2);
  };
  model.Load(drive);
  ASSERT_EQ(prompts.Shown.size(), 2u);
  EXPECT_EQ(prompts.Shown[1].Text, "正しいメディアが挿入されていません。\r\rメディアを確認してください。");
  EXPECT_EQ(prompts.Shown[1].Icon, MsgIcon::Warning);
  EXPECT_EQ(prompts.Shown[1].Default, DialogAnswer::Retry);
  EXPECT_EQ(fills, 2);
  EXPECT_EQ(model.NodeMedia(At({1, 0, 0})), 0);  // no file on either medium
}

TEST_F(MediaTest, NotReadyAndCancelStopWithWhatWasLoaded) {
  std::string f1 = test::WriteMedium(d / "m1", Medium(1, 2));
  Insert(f1);
  SetMediaReadyOverride([](const std::string&) { return false; });
  prompts.Answers = {DialogAnswer::Ok, DialogAnswer::Abort};
  model.Load(drive);
  ASSERT_EQ(prompts.Shown.size(), 2u);
  EXPECT_EQ(prompts.Shown[1].Buttons, MsgButtons::AbortRetry);
  EXPECT_EQ(CountOf(Class(1)), 3);

  SetMediaReadyOverride(nullptr);
  prompts.Shown.clear();
  prompts.Answers = {DialogAnswer::Cancel};
  model.Load(d / "m1");  // the same delivery from a fixed disk is a further medium: no prompt
  EXPECT_TRUE(prompts.Shown.empty());
}

TEST_F(MediaTest, TwoMediaCopiedIntoOneFolderOnAFixedDisk) {
  auto m1 = Medium(1, 2);
  m1.FilesHere = {"MEET/ORG/A.PDF", "MEET/ORG/D.PDF"};
  test::WriteMedium(d / "copy", m1);
  model.Load(d / "copy");
  EXPECT_TRUE(prompts.Shown.empty());
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(model.NodeMedia(At({1, 0, 0})), 1);
}

// A medium count that is not a whole number ("2枚") counts as 0: the medium
// in the drive is read and nothing more is asked for.
// A medium whose INDEX_C.XML gives number 0 is loaded and reachable, but
// medium 0 (a file found on no medium) and below name no folder.
TEST_F(MediaTest, MediumZeroNamesNoFolderEvenWhenAMediumSaysItIsZero) {
  const std::string f0 = test::WriteMedium(d / "m0", Medium(0, 1));
  model.Load(f0);
  ASSERT_EQ(model.ReachableMedia().size(), 1u);
  ASSERT_EQ(model.ReachableMedia()[0].MediaNo, 0);
  for (int media : {0, -1, 1}) EXPECT_EQ(model.MediumFolder(media), "") << media;
  TTreeItem* file = At({1, 0, 0});
  ASSERT_NE(model.NodeData(file), nullptr);
  model.NodeData(file)->Media = 0;
  EXPECT_EQ(model.ItemMediumFolder(file), model.MediaFolder());
}

// Only a medium that carries PHOTO/PHOTO.XML counts among the photo media.
TEST_F(MediaTest, OnlyAMediumWithItsPhotoFileIsAPhotoMedium) {
  const std::string f1 = test::WriteMedium(d / "m1", Medium(1, 1));
  model.Load(f1);
  EXPECT_TRUE(model.PhotoMedia().empty());
  d.WriteBytes("m1/PHOTO/PHOTO.XML", "<photodata/>");
  model.Load(f1);
  EXPECT_EQ(model.PhotoMedia(), std::vector<int>{1});
}

TEST_F(MediaTest, MediaCountNotANumberAsksForNoFurtherMedium) {
  const std::string f1 = test::WriteMedium(d / "m1", Medium(1, 2));
  std::string index;
  ASSERT_TRUE(ReadWholeFile(f1 + "/INDEX_C.XML", index));
  const std::string from = Utf8ToCp932("<メディア総枚数>2<"), to = Utf8ToCp932("<メディア総枚数>2枚<");
  ASSERT_NE(index.find(from), std::string::npos);
  index.replace(index.find(from), from.size(), to);
  ASSERT_TRUE(WriteWholeFile(f1 + "/INDEX_C.XML", index));
  Insert(f1);
  prompts.Fallback = DialogAnswer::Ok;
  model.Load(drive);
  EXPECT_TRUE(prompts.Shown.empty());
  EXPECT_EQ(fills, 1);
  EXPECT_TRUE(model.AllMediaLoaded());
}

TEST_F(MediaTest, FolderOfTheLoadedDeliveryIsAddedNotReplaced) {
  auto m1 = Medium(1, 2), m2 = Medium(2, 2);
  m1.FilesHere = {"MEET/ORG/A.PDF"};
  m2.FilesHere = {"MEET/ORG/C.PDF"};
  m2.Drawings = {"D0PL001Z.P21", "D0PL002Z.P21"};
  m2.FilesHere.push_back("DRAWINGS/D0PL001Z.P21");
  test::WriteMedium(d / "m1", m1);
  test::WriteMedium(d / "m2", m2);
  model.Load(d / "m1");
  std::string w1 = model.WorkFolder1();
  EXPECT_EQ(CountOf(Class(0)), 1);  // only the special specifications
  model.Load(d / "m2");
  EXPECT_EQ(model.WorkFolder1(), w1);  // same delivery: work folders kept
  EXPECT_EQ(model.NodeMedia(At({1, 0, 0})), 1);
  EXPECT_EQ(model.NodeMedia(At({1, 1, 0})), 2);
  // The second medium carries the drawings the first did not: added under
  // the existing class item, before the special specifications.
  ASSERT_EQ(CountOf(Class(0)), 3);
  EXPECT_EQ(CaptionOf(At({0, 0})), "D0PL001Z.P21");
  EXPECT_EQ(model.NodeMedia(At({0, 0})), 2);
  EXPECT_EQ(ImageOf(At({0, 1})), imgFileMissing);
  EXPECT_EQ(model.NodeClass(Last(Class(0))), 13);
}

// Media copied side by side on a disk each stay reachable in their folder:
// a file of the first medium is found, and opened, there after the second
// is read. A second copy of a medium read already (a corrected
// resubmission) is a delivery of its own, not a further medium.
TEST_F(MediaTest, MediaOnDiskStayReachableAndACopyOfOneIsNoFurtherMedium) {
  auto m1 = Medium(1, 2), m2 = Medium(2, 2), fix = Medium(1, 2);
  m1.Drawings = m2.Drawings = {"D0PL001Z.P21"};
  m1.FilesHere = {"MEET/ORG/A.PDF", "MEET/ORG/B.PDF", "DRAWINGS/D0PL001Z.P21", "DRAWINGS/SPEC/TOKKI.PDF"};
  m2.FilesHere = {"MEET/ORG/C.PDF"};
  fix.Drawings = {"D0PL009Z.P21"};
  fix.FilesHere = {"DRAWINGS/D0PL009Z.P21"};
  const std::string f1 = test::WriteMedium(d / "m1", m1), f2 = test::WriteMedium(d / "m2", m2),
                    ff = test::WriteMedium(d / "fix", fix);
  model.Load(f1);
  model.Load(f2);
  const struct {
    std::initializer_list<int> Path;
    int Media;
    std::string File;
  } files[] = {{{1, 0, 0}, 1, f1 + "MEET/ORG/A.PDF"},
               {{1, 0, 1}, 1, f1 + "MEET/ORG/B.PDF"},
               {{1, 1, 0}, 2, f2 + "MEET/ORG/C.PDF"},
               {{0, 0}, 1, f1 + "DRAWINGS/D0PL001Z.P21"},
               {{0, 1, 0}, 1, f1 + "DRAWINGS/SPEC/TOKKI.PDF"}};
  for (const auto& f : files) {
    TTreeItem* item = At(f.Path);
    ASSERT_NE(model.NodeData(item), nullptr) << f.File;
    EXPECT_TRUE(model.NodeData(item)->Exists) << f.File;
    EXPECT_NE(item->ImageIndex(), imgFileMissing) << f.File;
    EXPECT_EQ(model.NodeMedia(item), f.Media) << f.File;
    EXPECT_EQ(model.GetFileItem(item, 1), f.File);
  }
  // D.PDF is on neither medium.
  EXPECT_EQ(ImageOf(At({1, 2, 0})), imgFileMissing);

  EXPECT_EQ(model.SameMediumFolder(ff), f1);
  EXPECT_EQ(model.SameMediumFolder(f1), "");  // a refresh
  EXPECT_EQ(model.SameMediumFolder(f2), "");
  model.Load(ff);
  EXPECT_EQ(CaptionOf(At({0, 0})), "D0PL009Z.P21");
  EXPECT_NE(ImageOf(At({0, 0})), imgFileMissing);
  EXPECT_EQ(model.LoadedMedia(), std::vector<int>{1});
  EXPECT_EQ(model.MediumFolder(1), ff);
  EXPECT_EQ(model.MediumFolder(2), "");
}

TEST_F(MediaTest, DuplicateDrawingMessageOncePerBuildOnSeveralMedia) {
  auto m1 = Medium(1, 2), m2 = Medium(2, 2);
  m1.Drawings = m2.Drawings = {"D0PL001Z.P21", "d0pl001z.p21"};
  std::string f1 = test::WriteMedium(d / "m1", m1), f2 = test::WriteMedium(d / "m2", m2);
  Insert(f1);
  prompts.OnShow = [&](const MessageRequest& r) {
    if (r.Buttons == MsgButtons::OkCancel) Insert(f2);
  };
  prompts.Fallback = DialogAnswer::Ok;
  model.Load(drive);
  int dupMessages = 0;
  for (const auto& r : prompts.Shown)
    if (r.Text == "データ内に同名のファイルが存在するため、\r異なった図面が表示されることがあります。") ++dupMessages;
  EXPECT_EQ(dupMessages, 2);
}

TEST_F(MediaTest, SortSurvivesAReloadAndFurtherMediaUpdateTheRightRecords) {
  auto m1 = Medium(1, 2), m2 = Medium(2, 2);
  m2.FilesHere = {"MEET/ORG/D.PDF"};
  std::string f1 = test::WriteMedium(d / "m1", m1), f2 = test::WriteMedium(d / "m2", m2);
  test::WriteMedium(d / "m1", m1);
  model.Load(f1);
  model.SortClass(2, 3);  // by issue date, ascending: empty, 04-02, 04-10
  EXPECT_EQ(Captions(Class(1)), (std::vector<std::string>{"承諾", "協議", "指示"}));
  model.SortClass(2, 4);
  EXPECT_EQ(Captions(Class(1)), (std::vector<std::string>{"指示", "協議", "承諾"}));
  // The second medium updates record 2 (D.PDF), wherever its item stands now.
  model.Load(f2);
  EXPECT_EQ(Captions(Class(1)), (std::vector<std::string>{"指示", "協議", "承諾"}));
  TTreeItem* shodaku = At({1, 2});
  ASSERT_NE(shodaku, nullptr);
  EXPECT_EQ(model.NodeNumber(shodaku), 2);
  EXPECT_EQ(model.NodeMedia(shodaku->Item(0)), 2);
  EXPECT_EQ(model.NodeMedia(At({1, 0, 0})), 0);
  // A new load of the same folder keeps the order; mode 0 restores file order.
  model.Load(test::SamplePath("clean"));
  model.Load(f1);
  EXPECT_EQ(Captions(Class(1)), (std::vector<std::string>{"指示", "協議", "承諾"}));
  model.SortClass(2, 0);
  EXPECT_EQ(Captions(Class(1)), (std::vector<std::string>{"指示", "協議", "承諾"}));
  model.SortClass(2, 1);
  model.SortClass(2, 99);
  EXPECT_EQ(Captions(Class(1)), (std::vector<std::string>{"指示", "協議", "承諾"}));
  EXPECT_EQ(model.SortMode(2), 0);
}

// Meetings sort by issue, acceptance or completion date, each either way;
// the three dates order the records three different ways, so every mode
// gives its own order.
TEST_F(TreeViewTest, MeetingsSortByEachDateEitherWay) {
  test::ScratchDir d;
  test::MediumSpec spec;
  spec.WithMeetXml = false;
  const std::string folder = test::WriteMedium(d / "m", spec);
  struct Meet {
    const char* kind;
    const char* issue;
    const char* accept;
    const char* finish;
  };
  const Meet meets[] = {{"指示", "2001-04-10", "2001-05-03", "2001-06-02"},
                        {"協議", "2001-04-02", "2001-05-01", "2001-06-03"},
                        {"承諾", "", "2001-05-02", "2001-06-01"}};
  std::string xml = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<meetdata DTD_version=\"02\">\n";
  int serial = 1;
  for (const Meet& m : meets) {
    xml += "<打合せ簿情報>\n<シリアル番号>" + std::to_string(serial++) + "</シリアル番号>\n<打合せ簿種類>" + m.kind +
           "</打合せ簿種類>\n";
    if (*m.issue) xml += std::string("<発行日付>") + m.issue + "</発行日付>\n";
    xml += std::string("<受理日付>") + m.accept + "</受理日付>\n<完了日付>" + m.finish + "</完了日付>\n</打合せ簿情報>\n";
  }
  d.WriteSjis("m/MEET/MEET.XML", xml + "</meetdata>\n");
  model.Load(folder);
  using Order = std::vector<std::string>;
  struct Case {
    int mode;
    Order order;
  };
  const Case cases[] = {
      {3, {"承諾", "協議", "指示"}}, {4, {"指示", "協議", "承諾"}},  // issue date; empty first
      {5, {"協議", "承諾", "指示"}}, {6, {"指示", "承諾", "協議"}},  // acceptance date
      {7, {"承諾", "指示", "協議"}}, {8, {"協議", "指示", "承諾"}},  // completion date
      {0, {"指示", "協議", "承諾"}},                                  // file order
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    model.SortClass(2, c.mode);
    EXPECT_EQ(model.SortMode(2), c.mode);
    EXPECT_EQ(Captions(Class(1)), c.order);
  }
}

// The tree as `dlvr tree` sees it: every item with its facts.
std::string DumpTree(TMdlTreeView& view) {
  std::string out;
  std::function<void(TTreeItem*, int)> walk = [&](TTreeItem* item, int depth) {
    out += std::to_string(depth) + " " + item->Caption() + " " + std::to_string(view.NodeLevel(item)) + " " +
           std::to_string(view.NodeNumber(item)) + " " + std::to_string(view.NodeMedia(item)) + " " +
           std::to_string(view.NodeData(item) && view.NodeData(item)->Exists) + " " +
           std::to_string(item->ImageIndex()) + "\n";
    for (int i = 0; i < item->Count(); ++i) walk(item->Item(i), depth + 1);
  };
  for (int i = 0; i < view.Tree().TopCount(); ++i) walk(view.Tree().TopItem(i), 0);
  return out;
}

// Without work copies a load writes nothing, and every way of reading
// further media builds the tree it builds with them.
TEST_F(MediaTest, WithoutWorkCopiesNothingIsWrittenAndTheTreeIsTheSame) {
  auto m1 = Medium(1, 2), m2 = Medium(2, 2);
  m1.FilesHere = {"MEET/ORG/A.PDF"};
  m2.FilesHere = {"MEET/ORG/C.PDF", "DRAWINGS/D0PL001Z.P21"};
  m2.Drawings = {"D0PL001Z.P21", "D0PL002Z.P21"};
  const std::string f1 = test::WriteMedium(d / "m1", m1), f2 = test::WriteMedium(d / "m2", m2);
  prompts.Fallback = DialogAnswer::Ok;
  struct Case {
    const char* What;
    std::function<void(TMdlTreeView&)> Load;
  } cases[] = {
      {"one folder", [](TMdlTreeView& v) { v.Load(test::SamplePath("clean")); }},
      {"two media from two folders",
       [&](TMdlTreeView& v) {
         v.Load(f1);
         v.Load(f2);
       }},
      {"two media in turn in one drive",
       [&](TMdlTreeView& v) {
         Insert(f1);
         prompts.OnShow = [&](const MessageRequest&) { Insert(f2); };
         v.Load(drive);
         prompts.OnShow = nullptr;
       }},
  };
  const std::string work = PrivateWorkFolder();
  ASSERT_FALSE(work.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    DeliveryStore withStore, withoutStore;
    TMdlTreeView with(withStore);
    c.Load(with);
    EXPECT_EQ(ExtractFilePath(with.WorkFolder1().substr(0, with.WorkFolder1().size() - 1)), work);
    EXPECT_TRUE(FileExists(with.WorkFolder2() + "MEET.XML"));

    TMdlTreeView::SetWorkCopiesDefault(false);
    TMdlTreeView without(withoutStore);
    TMdlTreeView::SetWorkCopiesDefault(true);
    ASSERT_FALSE(without.MakeWorkCopies);
    const auto before = test::TreeSnapshot(work);
    c.Load(without);
    EXPECT_EQ(without.WorkFolder1(), "");
    EXPECT_EQ(without.WorkFolder2(), "");
    EXPECT_EQ(test::TreeSnapshot(work), before);
    EXPECT_EQ(DumpTree(without), DumpTree(with));
    EXPECT_EQ(withoutStore.Meetings.size(), withStore.Meetings.size());
  }
  EXPECT_TRUE(TMdlTreeView().MakeWorkCopies);
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

// Renaming an item changes nothing in the delivery: only an attachment keeps
// the new name (shown in file-name mode 1); other files get their name back.
TEST_F(TreeViewTest, OnlyAttachmentsKeepAGivenLabel) {
  model.Load(test::SamplePath("clean"));
  TTreeItem* att = Child(Last(Class(0)), 0);
  ASSERT_NE(att, nullptr);
  TTreeItem* drawing = At({0, 0});
  ASSERT_NE(drawing, nullptr);
  model.SetFileItem(att, 38, "測量成果");
  model.SetFileItem(drawing, 38, "新しい名前");
  model.SetFileNameMode(1);
  EXPECT_EQ(att->Caption(), "測量成果");
  EXPECT_EQ(drawing->Caption(), store.OrderDrawings[0].DrawFile);
  EXPECT_EQ(model.GetFileItem(att, 0), "SURYO01.HTM");  // the file itself is unchanged
}

// An attachment item whose number lies past the attachment list (the list
// was rebuilt shorter) answers nothing, even where a removed entry's bytes
// still lie; the last entry of the list answers.
TEST_F(TreeViewTest, AnAttachmentNumberPastTheListAnswersNothing) {
  model.Load(test::SamplePath("clean"));
  TTreeItem* att = Child(Last(Class(0)), 0);
  ASSERT_NE(model.NodeData(att), nullptr);
  const std::size_t n = model.Attachments.size();
  ASSERT_GT(n, 0u);
  model.Attachments.reserve(n + 1);
  TMdlTreeNodeAttr& ghost = model.Attachments.emplace_back();
  ghost.Slots[2] = "GHOST.PDF";
  ghost.Slots[3] = ghost.Slots[4] = ghost.Slots[38] = "ghost";
  model.Attachments.pop_back();
  model.NodeData(att)->Number = static_cast<int>(n);
  for (int code : {0, 1, 3, 4, 38}) EXPECT_EQ(model.GetFileItem(att, code), "") << code;
  model.NodeData(att)->Number = static_cast<int>(n - 1);
  EXPECT_EQ(model.GetFileItem(att, 0), ExtractFileName(model.Attachments.back().Slots[2]));
  EXPECT_NE(model.GetFileItem(att, 0), "");
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

// What a tree tells its observer, in order; item changes are only counted.
struct TRecordingObserver : TTreeObserver {
  TTreeItem* Watched = nullptr;  // a parent named "watched" in the events
  std::vector<std::string> Events;
  int Changed = 0;
  std::string Name(TTreeItem* parent) const { return parent == Watched ? "watched" : parent ? "other" : "top"; }
  void BeginReset() override { Events.push_back("BeginReset"); }
  void EndReset() override { Events.push_back("EndReset"); }
  void BeginReorder(TTreeItem* parent) override { Events.push_back("BeginReorder " + Name(parent)); }
  void EndReorder(TTreeItem* parent) override { Events.push_back("EndReorder " + Name(parent)); }
  void BeginChanges() override { Events.push_back("BeginChanges"); }
  void EndChanges() override { Events.push_back("EndChanges"); }
  void BeforeInsert(TTreeItem*, int) override { Events.push_back("Insert"); }
  void BeforeRemove(TTreeItem*) override { Events.push_back("Remove"); }
  void ItemChanged(TTreeItem*) override { ++Changed; }
};

// Re-captioning only changes captions and sorting only moves items, each in
// one bracket a view can answer without a rebuild; loading stays a reset.
// Whatever happens, every item stands at the row it reports.
TEST_F(TreeViewTest, RecaptioningAndSortingAreChangesAndMovesNotRebuilds) {
  model.Load(test::SamplePath("clean"));
  TRecordingObserver seen;
  TTreeItem* meet = Class(1);
  ASSERT_NE(meet, nullptr);
  seen.Watched = meet;
  model.Tree().SetObserver(&seen);
  const std::vector<std::string> changes = {"BeginChanges", "EndChanges"};
  const std::vector<std::string> moves = {"BeginReorder watched", "EndReorder watched"};
  struct Case {
    const char* what;
    std::function<void()> act;
    std::vector<std::string> events;  // empty with `resets`: only resets
    bool captionsChange;
    bool resets;
  };
  const Case cases[] = {
      {"tree language", [&] { model.SetViewLang(3); }, changes, true, false},
      {"file-name mode", [&] { model.SetFileNameMode(3); }, changes, true, false},
      {"sort by issue date", [&] { model.SortClass(2, 4); }, moves, false, false},
      {"file order", [&] { model.SortClass(2, 0); }, moves, false, false},
      {"file order again: nothing to move", [&] { model.SortClass(2, 0); }, {}, false, false},
      {"exchange", [&] { model.Tree().Exchange(meet, 0, 2); }, moves, false, false},
      {"move before", [&] { model.Tree().MoveBefore(meet->Item(2), meet->Item(0)); }, moves, false, false},
      {"move to where it stands", [&] { model.Tree().MoveBefore(meet->Item(0), meet->Item(1)); }, {}, false, false},
      {"a sorted load", [&] {
         model.SortClass(2, 1);
         seen.Events.clear();
         model.Load(test::SamplePath("errors"));
       }, {}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    seen.Events.clear();
    seen.Changed = 0;
    c.act();
    if (c.resets) {
      ASSERT_FALSE(seen.Events.empty());
      for (const std::string& e : seen.Events) EXPECT_TRUE(e == "BeginReset" || e == "EndReset") << e;
    } else {
      EXPECT_EQ(seen.Events, c.events);
      EXPECT_EQ(seen.Changed > 0, c.captionsChange);
    }
    model.Tree().ForEach([&](TTreeItem* item) {
      TTreeItem* p = item->Parent();
      ASSERT_EQ(p ? p->Item(item->Index()) : model.Tree().TopItem(item->Index()), item) << item->Caption();
    });
  }
  model.Tree().SetObserver(nullptr);
}

// An item is found again by its way from the root: by number and caption,
// else by caption when records moved in the file; what no longer exists
// gives its nearest ancestor that does.
TEST_F(TreeViewTest, ItemsAreFoundAgainByTheirPath) {
  model.Load(test::SamplePath("clean"));
  TTreeItem* file = At({1, 2, 0});
  ASSERT_NE(file, nullptr);
  auto path = model.ItemPath(file);
  ASSERT_EQ(path.size(), 4u);
  bool complete = false;
  EXPECT_EQ(model.FindItemPath(path, &complete), file);
  EXPECT_TRUE(complete);
  model.SortClass(2, 4);  // the record stands at another row now
  EXPECT_EQ(model.FindItemPath(path, &complete), file);
  auto renumbered = path;
  renumbered[2].Number += 100;  // a record inserted before it in the file
  EXPECT_EQ(model.FindItemPath(renumbered, &complete), file);
  auto gone = path;
  gone[3].Caption = "NOFILE.PDF";
  gone[3].Number = 99;
  EXPECT_EQ(model.FindItemPath(gone, &complete), file->Parent());
  EXPECT_FALSE(complete);
  EXPECT_EQ(model.FindItemPath({}, &complete), nullptr);
  EXPECT_FALSE(complete);
  EXPECT_TRUE(model.ItemPath(nullptr).empty());
}

}  // namespace
}  // namespace dlvr

namespace dlvr {
namespace {

// The viewer's model writes the page the file panes open with into the
// program's folder; where it cannot, the model is made all the same, and a
// headless model writes nothing.
TEST(BlankPageTest, TheViewersModelWritesItWhereItCan) {
  test::ScratchDir d;
  const std::string saved = ProgramDir();
  d.WriteBytes("file", "x");
  d.MakeDir("readonly");
  test::SetTreeReadOnly(d / "readonly", true);
  const bool root = ::geteuid() == 0;  // root writes into read-only folders
  struct Case {
    std::string Program;
    bool Written;
  } cases[] = {
      {d.Path(), true},
      {d / "readonly/", root},
      {d / "file/", false},  // below a file: no one can write there
      {d / "missing/", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Program);
    SetProgramDir(c.Program);
    DeliveryStore store;
    TMdlTreeView view(store);
    EXPECT_EQ(view.BlankPageWritten(), c.Written);
    EXPECT_EQ(FileExists(c.Program + "NONE.HTML"), c.Written);
    view.ClearTree();
    EXPECT_NE(view.Tree().Root(), nullptr);
  }
  std::string page;
  ASSERT_TRUE(ReadWholeFile(d / "NONE.HTML", page));
  EXPECT_EQ(SplitLines(page).size(), 8u);
  EXPECT_EQ(SplitLines(page).front(), "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");

  test::ScratchDir headless;
  SetProgramDir(headless.Path());
  TMdlTreeView::SetWorkCopiesDefault(false);
  {
    DeliveryStore store;
    TMdlTreeView view(store);
    EXPECT_FALSE(view.BlankPageWritten());
  }
  TMdlTreeView::SetWorkCopiesDefault(true);
  EXPECT_FALSE(FileExists(headless / "NONE.HTML"));
  SetProgramDir(saved);
}

}  // namespace
}  // namespace dlvr
