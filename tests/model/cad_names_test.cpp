#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "model/cad_names.h"

namespace dlvr {
namespace {

// The drawing kind list, in its four groups.
const std::vector<std::string> kDrawNames = {
    // group 0: lines 0-7
    "LC-位置図", "PL-平面図", "PF-縦断図", "SS-標準横断図", "CS-横断図", "MC-土積図", "LS-小構造物図",
    "DP-用排水系統図",
    // group 1: lines 8-33
    "LC-位置図", "GV-一般図", "AL-線形図", "GS-構造一般図（上部工）", "MG-主げた図（構造図）",
    "CB-横げた図（構造図）", "SW-対傾構図（構造図）", "LT-横構図（構造図）", "MM-主構図（構造図）",
    "FB-床組図（構造図）", "SL-床板図（構造図）", "BR-支承図（構造図）", "EJ-伸縮装置図（構造図）",
    "DR-排水装置図（構造図）", "HR-高欄防護柵図（構造図）", "NB-遮音壁図（構造図）", "IW-検査路図（構造図）",
    "CM-製作キャンバー図", "ST-応力図", "WP-施工要領図", "GA-橋台構造一般図", "GP-橋脚構造一般図",
    "GF-基礎構造一般図", "RA-橋台配筋図（構造図）", "RP-橋脚配筋図（構造図）", "RF-基礎配筋図（構造図）",
    // group 2: lines 34-44
    "LC-位置図", "PL-平面図", "GV-一般図", "GS-構造一般図", "VS-構造図", "RB-配筋図", "EW-土工図",
    "AS-付帯構造物図", "RS-護岸工標準図", "AF-管理用施設図", "TS-仮設図",
    // group 3: lines 45-58
    "LC-位置図", "PL-平面図", "PF-縦断図", "GP-地質平面図", "GF-地質縦断図", "SS-標準断面図",
    "RB-支保工詳細図", "RS-本体工補強鉄筋図", "VP-坑門工一般図", "RP-坑門工構造詳細図", "DP-排水系統図",
    "DF-排水工詳細図", "WP-防水工等図", "PV-舗装工詳細図"};

std::vector<std::string> Codes() {
  std::vector<std::string> codes;
  for (const auto& line : kDrawNames) codes.push_back(line.substr(0, 2));
  return codes;
}

TCADFileNameParts Parse(std::string_view name, std::string_view drawName = "") {
  return ParseCADFileName(name, drawName, Codes(), kDrawNames);
}

void ExpectNothingButUpperName(const TCADFileNameParts& p) {
  EXPECT_FALSE(p.Valid);
  EXPECT_EQ(p.LifeCycle, -1);
  EXPECT_EQ(p.Group, -1);
  EXPECT_EQ(p.KindIndex, -1);
  EXPECT_EQ(p.KindGroup, -1);
  EXPECT_EQ(p.SerialDigit + p.KindName + p.DrawingNumber + p.Revision + p.Extension, "");
}

// The parser splits the 59 lines into groups at lines 8, 34 and 45: the
// kinds at either side of each boundary land in their group at their index.
TEST(CadNames, ListsHaveTheirFourGroups) {
  ASSERT_EQ(kDrawNames.size(), 59u);
  struct Case {
    const char* file;
    int group;
    int kindIndex;
  };
  const Case cases[] = {
      {"D0MC001Z.P21", 0, 5},  {"D0LS001Z.P21", 0, 6},  {"D0AL001Z.P21", 1, 2},  {"D0RF001Z.P21", 1, 25},
      {"D0VS001Z.P21", 2, 4},  {"D0TS001Z.P21", 2, 10}, {"D0VP001Z.P21", 3, 8},  {"D0PV001Z.P21", 3, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TCADFileNameParts p = Parse(c.file);
    EXPECT_TRUE(p.Valid);
    EXPECT_EQ(p.Group, c.group);
    EXPECT_EQ(p.KindIndex, c.kindIndex);
    EXPECT_EQ(p.KindGroup, c.group);
  }
}

TEST(CadNames, WellFormedNamesSplitIntoTheirParts) {
  TCADFileNameParts p = Parse("d0pl001z.p21", "平面図");
  EXPECT_TRUE(p.Valid);
  EXPECT_EQ(p.UpperName, "D0PL001Z.P21");
  EXPECT_EQ(p.LifeCycle, 1);
  EXPECT_EQ(p.SerialDigit, "0");
  EXPECT_EQ(p.KindName, "PL-平面図");
  EXPECT_EQ(p.Group, 0);
  EXPECT_EQ(p.KindIndex, 1);
  EXPECT_EQ(p.KindGroup, -1);  // PL is shared under the same name
  EXPECT_EQ(p.DrawingNumber, "001");
  EXPECT_EQ(p.Revision, "Z");
  EXPECT_EQ(p.Extension, ".P21");

  p = Parse("C1MG012A.SFC");
  EXPECT_TRUE(p.Valid);
  EXPECT_EQ(p.LifeCycle, 2);
  EXPECT_EQ(p.KindName, "MG-主げた図（構造図）");
  EXPECT_EQ(p.Group, 1);
  EXPECT_EQ(p.KindIndex, 4);
  EXPECT_EQ(p.KindGroup, 1);

  // A shared code with different names: found, but no group.
  p = Parse("D0SS001Z.P21");
  EXPECT_TRUE(p.Valid);
  EXPECT_EQ(p.KindName, "SS-標準横断図");
  EXPECT_EQ(p.Group, -1);
  EXPECT_EQ(p.KindIndex, -1);
  EXPECT_EQ(p.KindGroup, -1);
}

TEST(CadNames, DrawingNameSelectsTheLineOfASharedCode) {
  TCADFileNameParts p = Parse("M9RB100C.sfc", "支保工詳細図");
  EXPECT_TRUE(p.Valid);
  EXPECT_EQ(p.LifeCycle, 3);
  EXPECT_EQ(p.KindName, "RB-支保工詳細図");
  EXPECT_EQ(p.Group, -1);
  // An unknown drawing name falls back to the code's first line.
  p = Parse("S0GV001Z.P21", "知らない図");
  EXPECT_EQ(p.KindName, "GV-一般図");
  EXPECT_EQ(p.Group, 1);
  EXPECT_EQ(p.KindIndex, 1);
  EXPECT_EQ(p.KindGroup, -1);
  // Lookups ignore the case of the lists' letters.
  std::vector<std::string> codes = Codes();
  for (auto& code : codes)
    for (auto& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  p = ParseCADFileName("D0PV001Z.P21", "", codes, kDrawNames);
  EXPECT_EQ(p.KindName, "PV-舗装工詳細図");
  EXPECT_EQ(p.KindGroup, 3);
  EXPECT_EQ(p.KindIndex, 13);
  EXPECT_EQ(Parse("D0TS001Z.P21").KindIndex, 10);
}

TEST(CadNames, MalformedNamesAreNotValid) {
  TCADFileNameParts p = Parse("D0XX001Z.P21");  // unknown kind
  EXPECT_FALSE(p.Valid);
  EXPECT_EQ(p.KindName, "");
  EXPECT_EQ(p.DrawingNumber, "001");
  EXPECT_EQ(p.Extension, ".P21");

  p = Parse("D0PL0A1Z.P21");
  EXPECT_FALSE(p.Valid);
  EXPECT_EQ(p.DrawingNumber, "");
  EXPECT_EQ(p.KindName, "PL-平面図");

  EXPECT_FALSE(Parse("X0PL001Z.P21").Valid);  // life cycle
  EXPECT_FALSE(Parse("DAPL001Z.P21").Valid);  // serial digit
  EXPECT_FALSE(Parse("D0PL001-.P21").Valid);  // revision

  p = Parse("D0PL01Z.P21");  // 7 bytes before the extension
  EXPECT_EQ(p.UpperName, "D0PL01Z.P21");
  ExpectNothingButUpperName(p);
  ExpectNothingButUpperName(Parse("D0PL0001Z.P21"));
  ExpectNothingButUpperName(Parse(""));
  EXPECT_EQ(Parse("").UpperName, "");
  // The extension is what follows the last dot; no dot, no extension.
  p = Parse("D0PL001Z");
  EXPECT_TRUE(p.Valid);
  EXPECT_EQ(p.Extension, "");
  EXPECT_TRUE(Parse("D0PL001Z.TAR.GZ").UpperName == "D0PL001Z.TAR.GZ");
  EXPECT_FALSE(Parse("D0PL001Z.TAR.GZ").Valid);
}

TEST(CadNames, DoubleByteCharactersCountTwoBytesAndMatchNothing) {
  // Ｐ takes two bytes: 8 bytes in all, but positions 3-4 are not a code.
  TCADFileNameParts p = Parse("D0ＰL01Z.P21");
  EXPECT_FALSE(p.Valid);
  EXPECT_EQ(p.LifeCycle, 1);
  EXPECT_EQ(p.SerialDigit, "0");
  EXPECT_EQ(p.KindName, "");
  EXPECT_EQ(p.DrawingNumber, "");
  EXPECT_EQ(p.Revision, "Z");
  EXPECT_EQ(p.Extension, ".P21");
  // ア is 0x83 0x41: its trail byte reads 'A' but is no letter of the name.
  p = Parse("DアL001Z.P21");
  EXPECT_EQ(p.SerialDigit, "");
  EXPECT_EQ(p.KindName, "");  // not "AL-線形図"
  EXPECT_EQ(p.DrawingNumber, "001");
  p = Parse("D0PL00ア.P21");
  EXPECT_EQ(p.Revision, "");
  EXPECT_FALSE(p.Valid);
  // Full-width digits are no digits.
  EXPECT_FALSE(Parse("D0PL０1Z.P21").Valid);
}

TEST(CadNames, UpperCasingCoversFullWidthLetters) {
  TCADFileNameParts p = Parse("ｄ0pl001z.ｐ21");
  EXPECT_EQ(p.UpperName, "Ｄ0PL001Z.Ｐ21");
  EXPECT_FALSE(p.Valid);  // Ｄ makes the name 9 bytes
  p = Parse("c1mg012a.sfc");
  EXPECT_TRUE(p.Valid);
  EXPECT_EQ(p.Extension, ".SFC");
  EXPECT_EQ(Parse("図面ａｂ.ｔｘｔ").UpperName, "図面ＡＢ.ＴＸＴ");
}

}  // namespace
}  // namespace dlvr
