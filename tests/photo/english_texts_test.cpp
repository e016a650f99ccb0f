// The texts the readers and the photo checks make, in the user's language:
// each goes through the translation hook under its context, and the values
// are put into the translated pattern, not glued to translated pieces.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include "delivery/helpers.h"
#include "delivery/prompts.h"
#include "delivery/xml_sandbox.h"
#include "photo/photo_check.h"
#include "photo/photo_fixtures.h"
#include "platform/text.h"
#include "platform/translate.h"
#include "support/fixtures.h"
#include "sxf/part21.h"
#include "sxf/read_drawing.h"
#include "sxf/sfc.h"

namespace dlvr {
namespace {

// A stand-in for the program's translations: the texts below by context;
// any other comes back marked, so that a text asked for under the wrong
// context, or not asked for at all, shows.
std::string FakeEnglish(const char* context, const char* source) {
  static const std::map<std::pair<std::string, std::string>, std::string> english = {
      {{"FieldNames", "写真ファイル名"}, "Photo file name"},
      {{"FieldNames", "写真タイトル"}, "Photo title"},
      {{"PhotoCheck", "情報未記入"}, "Not filled in"},
      {{"PhotoCheck", "ファイルなし"}, "File missing"},
      {{"PhotoCheck", "管理ファイルに記載なし"}, "Not listed"},
      {{"PhotoCheck", "管理ファイル"}, "Management file"},
      {{"PhotoCheck", "%1行目: %2"}, "Line %1: %2"},
      {{"PhotoCheck", "%1枚目のメディアが読み込まれていません"}, "Medium %1 is not loaded"},
      {{"PhotoCheck", "JPEG以外（%1）"}, "Not a JPEG (%1)"},
      {{"PhotoCheck", "画素数が範囲外（%1×%2）"}, "Pixels out of range (%1 x %2)"},
      {{"PhotoCheck", "編集ソフトの記録あり（%1）"}, "Edited with (%1)"},
      {{"PhotoReader", "ファイルが空です。"}, "Empty file."},
      {{"XmlSandbox", "納品データの外にあるか、存在しません。"}, "Outside or missing."},
      {{"XmlSandbox", "ファイルが大きすぎます。"}, "Too large."},
      {{"Media", "メディアが挿入されていないか、デバイスの準備ができていません。\r\rメディアを確認してください。"},
       "Not ready.\r\rCheck."},
      {{"SxfReader", "%1 の後に ';' がありません"}, "no ';' after %1"},
      {{"SxfReader", "使えない文字があります（%1）"}, "bad character (%1)"},
      {{"SxfReader", "ファイルが %1 の途中で終わっています"}, "ends inside %1"},
      {{"SxfReader", "SXF の図面ではありません"}, "not SXF"},
      {{"SxfReader", "フィーチャ"}, "Feature"},
      {{"SxfReader", "フィーチャ名がありません"}, "no feature name"},
      {{"SxfReader", "（読めないフィーチャ）"}, "(unreadable)"},
      {{"SxfReader", "括弧が閉じていません"}, "unclosed parenthesis"},
      {{"SxfReader", "複合図形「%1」が定義されていません"}, "figure \"%1\" undefined"},
      {{"SxfReader", "図面が大きすぎるため、%1 個の要素まで読み込みました"}, "stopped after %1 shapes"},
  };
  const auto found = english.find({context, source});
  return found != english.end() ? found->second : std::string("?") + context + "|" + source;
}

// Installs the fake translations for a scope, and takes them away again
// whatever the test does.
struct FakeEnglishScope {
  FakeEnglishScope() { SetTranslateHook(&FakeEnglish); }
  ~FakeEnglishScope() { SetTranslateHook(nullptr); }
};

class RecordingPrompts : public TPromptService {
 public:
  DialogAnswer Show(const MessageRequest& request) override {
    Text = request.Text;
    return DialogAnswer::Abort;
  }
  std::string Text;
};

class IgnoreAll : public sxf::p21::THandler {};

std::string Reason(std::string_view part21) {
  IgnoreAll handler;
  return sxf::p21::ParseText(part21, handler).Reason;
}

// The features of an SFC file, written as Shift-JIS like the real ones.
std::string Sfc(const std::vector<std::string>& features) {
  std::string text = "ISO-10303-21;\nHEADER;\nFILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\nENDSEC;\nDATA;\n";
  for (std::size_t i = 0; i < features.size(); ++i)
    text += "/*SXF\n#" + std::to_string(i + 1) + " = " + features[i] + "\nSXF*/\n";
  return Utf8ToCp932(text + "ENDSEC;\nEND-ISO-10303-21;\n");
}

// "file | item | state" of each finding.
std::vector<std::string> Shown(const std::vector<TPhotoFinding>& findings) {
  std::vector<std::string> rows;
  for (const TPhotoFinding& f : findings) rows.push_back(f.FileName + " | " + f.Field + " | " + f.State);
  return rows;
}

TEST(EnglishTexts, ReadersAndPhotoChecksTranslateWholeSentencesWithTheirValues) {
  test::ScratchDir d;
  std::vector<test::PhotoSpec> specs(5);
  for (std::size_t i = 0; i < specs.size(); ++i) {
    specs[i].Serial = std::to_string(i + 1);
    specs[i].FileName = "P000000" + std::to_string(i + 1) + ".JPG";
  }
  specs[3].MediaNo = "2";  // on a medium not loaded
  specs[4].Title = "";
  d.WriteSjis("m/PHOTO/PHOTO.XML", test::PhotoXml(specs));
  // A value holding a placeholder is shown as it stands.
  d.WriteBytes("m/PHOTO/PIC/P0000001.JPG", test::MakeJpeg(640, 480, {"", "Photoshop %1", 1}));
  d.WriteBytes("m/PHOTO/PIC/P0000002.JPG", test::MakePng(1280, 960));
  d.WriteBytes("m/PHOTO/PIC/P0000005.JPG", test::MakeJpeg(1280, 960));
  d.WriteBytes("m/PHOTO/PIC/P0000099.JPG", test::MakeJpeg(1280, 960));
  d.WriteBytes("empty/PHOTO/PHOTO.XML", "");
  d.WriteSjis("cut/PHOTO/PHOTO.XML", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<photodata>\n<写真情報>\n");
  // The hook is set before anything is read, as the program sets it at start.
  FakeEnglishScope english;
  TPhotoStore photos, empty, cut;
  photos.Load({{1, d / "m"}});
  empty.Load({{1, d / "empty"}});
  cut.Load({{1, d / "cut"}});
  RecordingPrompts prompts;
  SetPromptService(&prompts);
  AskMediaNotReady();
  SetPromptService(nullptr);

  struct Case {
    const char* Name;
    std::function<std::vector<std::string>()> Make;
    std::vector<std::string> Expected;
  };
  auto one = [](std::string s) { return std::vector<std::string>{std::move(s)}; };
  const Case cases[] = {
      {"photo findings: item names, states and their values",
       [&] { return Shown(CheckPhotos(photos, {})); },
       {"P0000001.JPG | Photo file name | Pixels out of range (640 x 480)",
        "P0000001.JPG | Photo file name | Edited with (Photoshop %1)",
        "P0000002.JPG | Photo file name | Not a JPEG (PNG)",
        "P0000003.JPG | Photo file name | File missing",
        "P0000004.JPG | Photo file name | Medium 2 is not loaded",
        "P0000005.JPG | Photo title | Not filled in",
        "P0000099.JPG | Photo file name | Not listed"}},
      {"a management file that cannot be read", [&] { return Shown(CheckPhotos(empty, {})); },
       {"PHOTO.XML | Management file | Empty file."}},
      {"a management file broken on a line: the line, then the parser's reason",
       [&] {
         const std::vector<TPhotoFinding> f = CheckPhotos(cut, {});
         return f.size() == 1 ? one(f[0].Field + " | " + f[0].State.substr(0, 8)) : Shown(f);
       },
       {"Management file | Line 4: "}},
      {"sandbox refusals",
       [&] {
         return std::vector<std::string>{SandboxStatusText(TSandboxStatus::Outside),
                                         SandboxStatusText(TSandboxStatus::TooLarge),
                                         SandboxStatusText(TSandboxStatus::Ok)};
       },
       {"Outside or missing.", "Too large.", ""}},
      {"the not-ready prompt, its line breaks kept", [&] { return one(prompts.Text); }, {"Not ready.\r\rCheck."}},
      {"exchange structure: keyword, character and entity named in the sentence",
       [&] {
         return std::vector<std::string>{Reason("ISO-10303-21;\nHEADER X;\n"), Reason("ISO-10303-21;\nHEADER;\n@"),
                                         Reason("ISO-10303-21;\nHEADER;\nFILE_NAME('x'")};
       },
       {"no ';' after HEADER", "bad character ('@')", "ends inside FILE_NAME"}},
      {"a file of no drawing", [&] { return one(sxf::ReadDrawing(d / "m/PHOTO/PHOTO.XML").Stop.Reason); }, {"not SXF"}},
      {"feature comments: the feature named, the reason translated, the skipped count under its label",
       [&] {
         const sxf::TDrawing nameless = sxf::ReadSfcBytes(Sfc({"('1')"}));
         const sxf::TDrawing open = sxf::ReadSfcBytes(Sfc({"line_feature('1','1'"}));
         const sxf::TDrawing figure =
             sxf::ReadSfcBytes(Sfc({R"(sfig_locate_feature('1',\'%2\','0','0','0','1','1'))"}));
         return std::vector<std::string>{nameless.Stop.Reason, nameless.Skipped.begin()->first, open.Stop.Reason,
                                         figure.Stop.Reason};
       },
       {"Feature: no feature name", "(unreadable)", "line_feature: unclosed parenthesis", "figure \"%2\" undefined"}},
      {"the shape limit",
       [&] {
         const std::string text = Sfc({"line_feature('1','1','1','1','0','0','1','1')",
                                       "line_feature('1','1','1','1','0','0','1','2')"});
         return one(sxf::ReadSfcInPieces(text, text.size(), 1).Stop.Reason);
       },
       {"stopped after 1 shapes"}},
      // The filler itself, with or without a hook.
      {"Arg: one pass, a value holding a placeholder stays",
       [&] { return one(Arg("%1 and %2", {"%2", "b"})); }, {"%2 and b"}},
      {"Arg: a placeholder without its value stays",
       [&] { return one(Arg("%1, %2 and %3", {"a"})); }, {"a, %2 and %3"}},
      {"Arg: %9 is the ninth; %10 is the first then 0; a lone % stays",
       [&] { return one(Arg("%9 %10 100% %", {"1", "2", "3", "4", "5", "6", "7", "8", "9"})); }, {"9 10 100% %"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Make(), c.Expected);
  }
}

TEST(EnglishTexts, WithoutTheHookTheJapaneseStays) {
  { FakeEnglishScope english; }
  EXPECT_EQ(SandboxStatusText(TSandboxStatus::TooLarge), "ファイルが大きすぎます。");
  EXPECT_EQ(Reason("ISO-10303-21;\nHEADER X;\n"), "HEADER の後に ';' がありません");
}

}  // namespace
}  // namespace dlvr
