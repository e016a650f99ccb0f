// The Part 21 reader: string decoding, instances and their values, comments,
// broken files, limits, and reading in chunks of any size.
#include "sxf/part21.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/fixtures.h"

namespace dlvr::sxf::p21 {
namespace {

std::string Shown(const TValue& v) {
  char buf[64];
  switch (v.Kind) {
    case TValueKind::Unset: return "$";
    case TValueKind::Derived: return "*";
    case TValueKind::Integer: std::snprintf(buf, sizeof buf, "%.0f", v.Number); return buf;
    case TValueKind::Real: std::snprintf(buf, sizeof buf, "%gR", v.Number); return buf;
    case TValueKind::String: return "'" + v.Text + "'";
    case TValueKind::Enum: return "." + v.Text + ".";
    case TValueKind::Ref: return "#" + std::to_string(v.Ref);
    case TValueKind::Binary: return "\"" + v.Text + "\"";
    case TValueKind::List:
    case TValueKind::Typed: {
      std::string s = v.Kind == TValueKind::Typed ? v.Text + "(" : "(";
      for (std::size_t i = 0; i < v.Items.size(); ++i) s += (i ? "," : "") + Shown(v.Items[i]);
      return s + ")";
    }
  }
  return "?";
}

std::string Shown(const TRecord& r) {
  TValue list;
  list.Kind = TValueKind::List;
  list.Items = r.Params;
  return r.Name + Shown(list);
}

// Writes down everything the reader hands out, one line each.
struct TRecorder : THandler {
  std::string Log;
  std::string StopAtSection;
  bool OnSection(std::string_view keyword, long line) override {
    Log += "[" + std::string(keyword) + "@" + std::to_string(line) + "]\n";
    return keyword != StopAtSection;
  }
  bool OnHeader(TRecord&& r, long line) override {
    Log += "H" + std::to_string(line) + " " + Shown(r) + "\n";
    return true;
  }
  bool OnInstance(TInstance&& inst) override {
    Log += "#" + std::to_string(inst.Id) + "@" + std::to_string(inst.Line) + "=";
    if (inst.Complex) Log += "(";
    for (const TRecord& r : inst.Records) Log += Shown(r);
    if (inst.Complex) Log += ")";
    Log += "\n";
    return true;
  }
  void OnComment(std::string_view text, long line) override {
    Log += "C" + std::to_string(line) + " " + std::string(text) + "\n";
  }
};

TEST(Part21, StringsDecodeEveryEscapeToUtf8) {
  struct Case {
    std::string Raw, Utf8;
  } cases[] = {
      {"It''s", "It's"},
      {"\\X2\\90538DEF\\X0\\", "道路"},
      {"A\\X2\\65E5\\X0\\B\\X2\\672C\\X0\\C", "A日B本C"},
      {"\\X2\\D83DDE00\\X0\\", "\xF0\x9F\x98\x80"},        // a surrogate pair
      {"\\X2\\DE00D83D\\X0\\", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // pair out of order
      {"x\\X4\\0001F600\\X0\\y", "x\xF0\x9F\x98\x80y"},
      {"\\X\\E9t\\X\\e9", "\xC3\xA9t\xC3\xA9"},
      {"\\S\\i", "\xC3\xA9"},                               // 'i' + 128 in ISO 8859-1
      {"\\PA\\\\S\\D", "\xC3\x84"},
      {"a\\\\b", "a\\b"},
      {"C:\\dir", "C:\\dir"},                               // not an escape: kept
      {"\\X2\\12", ""},                                      // cut short: nothing, no crash
      {"\\X\\G1", "\\X\\G1"},
      {"\x83\x5C\x8E\x9A", "ソ字"},                          // CP932, trail byte 0x5C is no escape
      {"\xE9\x81\x93\xE8\xB7\xAF", "道路"},                  // UTF-8 stays
      {"\xB1\xB2", "ｱｲ"},                                    // half-width katakana
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeString(c.Raw), c.Utf8) << c.Raw;
}

const char* const kGood =
    "ISO-10303-21;\r\n"
    "HEADER;\r\n"
    "FILE_DESCRIPTION(('SCADEC level2 AP202_mode'),'2;1');\r\n"
    "FILE_NAME('a.p21','2026-12-08T10:00:00',('\\X2\\5C71\\X0\\'),(''),'','','');\r\n"
    "FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'));\r\n"
    "ENDSEC;\r\n"
    "DATA;\r\n"
    "/* a comment; with 'quotes' and ( */\r\n"
    "#1 = CARTESIAN_POINT ( '' , ( 1. , -2.5E-1 , 3 ) ) ;\r\n"
    "#2=CURVE_STYLE('c',$,POSITIVE_LENGTH_MEASURE(0.35),*);\r"   // a lone CR ends a line too
    "#3=(NAMED_UNIT(*)PLANE_ANGLE_UNIT()SI_UNIT($,.RADIAN.));\n"
    "#4=TRIMMED_CURVE('',#10,(PARAMETER_VALUE(0.),#1),(PARAMETER_VALUE(90.)),.T.,.PARAMETER.);\n"
    "#5=X(((((1)))),\"0FF\",'it''s\n wrapped');\n"
    "#6=EMPTY();\n"
    "ENDSEC;\n"
    "END-ISO-10303-21;\n";

const char* const kGoodLog =
    "[HEADER@2]\n"
    "H3 FILE_DESCRIPTION(('SCADEC level2 AP202_mode'),'2;1')\n"
    "H4 FILE_NAME('a.p21','2026-12-08T10:00:00',('山'),(''),'','','')\n"
    "H5 FILE_SCHEMA(('ASSOCIATIVE_DRAUGHTING'))\n"
    "[DATA@7]\n"
    "C8  a comment; with 'quotes' and ( \n"
    "#1@9=CARTESIAN_POINT('',(1R,-0.25R,3))\n"
    "#2@10=CURVE_STYLE('c',$,POSITIVE_LENGTH_MEASURE(0.35R),*)\n"
    "#3@11=(NAMED_UNIT(*)PLANE_ANGLE_UNIT()SI_UNIT($,.RADIAN.))\n"
    "#4@12=TRIMMED_CURVE('',#10,(PARAMETER_VALUE(0R),#1),(PARAMETER_VALUE(90R)),.T.,.PARAMETER.)\n"
    "#5@13=X(((((1)))),\"0FF\",'it's wrapped')\n"
    "#6@15=EMPTY()\n";

// Every result must be the same however the input is cut into chunks.
const std::size_t kChunks[] = {1, 2, 3, 7, 4096};

TEST(Part21, ReadsHeaderInstancesValuesAndCommentsInAnyChunking) {
  for (std::size_t chunk : kChunks) {
    TRecorder r;
    TReadStop stop = ParseText(kGood, r, chunk);
    EXPECT_FALSE(stop.Broken) << chunk << ": " << stop.Reason;
    EXPECT_EQ(r.Log, kGoodLog) << "chunk " << chunk;
  }
}

// Numbers are read where they stand, plain decimals without from_chars:
// each must be the double strtod makes of its text, to the last bit, of the
// kind its text says, wherever a chunk ends; and values of one instance
// must not show in the next, which reuses their place.
TEST(Part21, NumbersAgreeWithStrtodAndValuesDoNotLeakIntoTheNextInstance) {
  const std::string numbers[] = {
      "0",  "-0.", "5.", ".5", "-.5", "+.5", "+7", "-12", "1.E3", "1.5e-3", "-2.5E+02", "123456789012345.",
      "1234567890123456.", "0.1234567890123456789", "9007199254740993", "0.30000000000000004", "1E400",
      "-1E-400", "2.2250738585072014E-308", "99999999999999.9", "0.000000000000001", "-3.14159265358979",
      "1" + std::string(300, '0') + ".5", "47.99999999999999", "8.000000000000001"};
  std::string text = "ISO-10303-21;\nDATA;\n";
  for (std::size_t i = 0; i < std::size(numbers); ++i)
    text += "#" + std::to_string(i + 1) + "=A(" + numbers[i] + ",(#9,'x''y'),.E.);\n#" +
            std::to_string(i + 100) + "=B(((" + std::to_string(i) + ")),$);\n";
  text += "ENDSEC;\nEND-ISO-10303-21;\n";
  struct TNumbers : THandler {
    std::vector<TValue> Values;
    std::string Log;
    bool OnInstance(TInstance&& inst) override {
      if (inst.Records[0].Name == "A") Values.push_back(inst.Records[0].Params[0]);
      TValue list;
      list.Kind = TValueKind::List;
      list.Items = inst.Records[0].Params;
      Log += inst.Records[0].Name + Shown(list) + "\n";
      return true;
    }
  };
  for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{13}, std::size_t{1} << 20}) {
    TNumbers r;
    ASSERT_FALSE(ParseText(text, r, chunk).Broken);
    ASSERT_EQ(r.Values.size(), std::size(numbers));
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
      const std::string& n = numbers[i];
      const double expected = std::strtod(n.c_str(), nullptr);
      const double got = r.Values[i].Number;
      EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << n << " chunk " << chunk << ": " << got;
      const bool real = n.find_first_of(".eE") != std::string::npos;
      EXPECT_EQ(r.Values[i].Kind, real ? TValueKind::Real : TValueKind::Integer) << n;
    }
    std::string expected;
    for (std::size_t i = 0; i < std::size(numbers); ++i)
      expected += "A(" + Shown(r.Values[i]) + ",(#9,'x'y'),.E.)\nB(((" + std::to_string(i) + ")),$)\n";
    EXPECT_EQ(r.Log, expected) << "chunk " << chunk;
  }
}

TEST(Part21, BrokenFilesKeepWhatWasReadAndSayWhereAndWhy) {
  const std::string head = "ISO-10303-21;\nHEADER;\nENDSEC;\nDATA;\n#1=A(1);\n";  // #1 on line 5
  struct Case {
    std::string Text;
    long Line;
    std::string Reason;  // a part of it
    int Instances;       // handed out before the break
  } cases[] = {
      {head + "#2=LINE('a',(1.,", 6, "#2 の途中で終わっています", 1},
      {head + "#2=POLYLINE('',(#1,#2);\n#3=A();\n", 6, "#2 の括弧が閉じていません", 1},
      {head + "#2=A(1));\n", 6, "#2 の後に ';' がありません", 1},
      {head + "#2=A(1)\n#3=A(2);\n", 7, "#2 の後に ';' がありません", 1},
      {head + "#2=A('never closed);\n", 6, "文字列が閉じていません", 1},
      {head + "/* never closed\n#2=A();\n", 6, "注釈が閉じていません", 1},
      {head + "#2=A(1,,2);\n", 6, "#2 に値がありません", 1},
      {head + "#2=(A(1)3);\n", 6, "複合インスタンスにエンティティ名がありません", 1},
      {head + "#2=A(1);\n#=B();\n", 7, "'#' の後に番号がありません", 2},
      {head + "#2=A(@);\n", 6, "使えない文字があります（'@'）", 1},
      {head + "#2=A(.T);\n", 6, "列挙値が '.' で閉じていません", 1},
      {head + "#2=A(" + std::string(100, '(') + std::string(100, ')') + ");\n", 6, "入れ子が深すぎます", 1},
      {head + "#2=A(1);\n", 7, "データ部の途中でファイルが終わっています", 2},
      {head + "ENDSEC;\n", 7, "END-ISO-10303-21; の前でファイルが終わっています", 1},
      {"<?xml version=\"1.0\"?>\n<a/>\n", 1, "ISO 10303-21 の交換構造ではありません", 0},
      {"", 1, "ISO 10303-21 の交換構造ではありません", 0},
      {"ISO-10303-21;\nHEADER;\nFILE_NAME('x'", 3, "FILE_NAME の途中で終わっています", 0},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : kChunks) {
      TRecorder r;
      TReadStop stop = ParseText(c.Text, r, chunk);
      EXPECT_TRUE(stop.Broken) << c.Text;
      EXPECT_EQ(stop.Line, c.Line) << c.Text;
      EXPECT_NE(stop.Reason.find(c.Reason), std::string::npos) << c.Text << " -> " << stop.Reason;
      int instances = 0;
      for (std::size_t p = 0; (p = r.Log.find("\n#", p)) != std::string::npos; ++p) ++instances;
      EXPECT_EQ(instances, c.Instances) << c.Text;
    }
  }
}

// An instance on one line is read straight from the bytes, one wrapped
// before its ';' by the tokens: both must give the same values (each
// instance reusing the places of the one before), the same breaks, and a
// break after the last instance must name it alike.
TEST(Part21, InstancesOnOneLineReadAsTheTokensReadThem) {
  const std::string good[] = {
      "CARTESIAN_POINT('',(0.,-2.5))",
      "cartesian_point ( 'p' ,\t( 1.5E-3 , +7 , .5 , -.25e+2 ) )",
      "A($,*,#12345678901,#123456789012,.t.,.Enum_2.,'it''s','\\X2\\5C71\\X0\\','\x83\x5C',())",
      "B(((((1)))),(),POSITIVE_LENGTH_MEASURE(0.35),box_height (5.),L((#1,#2),()),'')",
      "C(1234567890123456.,0.1234567890123456789,1E400,9007199254740993,1" + std::string(300, '0') + ".5)",
      "POLYLINE('',(#1))",
      "D(\"0FF\",/* inside */ 1)",
      "!USER_DEFINED(1,'x')",
      "E('" + std::string(20000, 'a') + "',2)",
      "CARTESIAN_POINT('',(1.,2.))",
  };
  std::string oneLine = "ISO-10303-21;\nDATA;\n", wrapped = oneLine;
  for (std::size_t i = 0; i < std::size(good); ++i) {
    const std::string head = "#" + std::to_string(i + 1) + (i % 2 ? " = " : "=");
    oneLine += head + good[i] + ";\n";
    wrapped += head + good[i] + "\n;";
  }
  oneLine += "ENDSEC";
  wrapped += "ENDSEC";
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
    TRecorder quick, tokens;
    const TReadStop a = ParseText(oneLine, quick, chunk), b = ParseText(wrapped, tokens, chunk);
    EXPECT_EQ(quick.Log, tokens.Log) << "chunk " << chunk;
    EXPECT_EQ(a.Reason, b.Reason);
    EXPECT_NE(a.Reason.find("#10"), std::string::npos) << a.Reason;
  }
  const std::string broken[] = {
      "A(1,,2)", "A(.T)", "A(@)", "A(1.E)", "A(" + std::string(70, '(') + std::string(70, ')') + ")", "A(#)",
      "A('open)", "A(B 1)", "A(1 2)",
  };
  for (const std::string& b : broken) {
    TRecorder quick, tokens;
    const TReadStop x = ParseText("ISO-10303-21;\nDATA;\n#1=A(1);\n#2=" + b + ";\n#3=A(3);\n", quick);
    const TReadStop y = ParseText("ISO-10303-21;\nDATA;\n#1=A(1)\n;#2=" + b + "\n;#3=A(3)\n;", tokens);
    EXPECT_TRUE(x.Broken) << b;
    EXPECT_EQ(x.Reason, y.Reason) << b;
    EXPECT_EQ(x.Line, y.Line) << b;
    EXPECT_EQ(quick.Log, tokens.Log) << b;
  }
}

TEST(Part21, HugeStringsCrossChunksAndOversizedOnesStopTheRead) {
  std::string big;
  for (int i = 0; i < 300000; ++i) big += "\\X2\\9053\\X0\\'' ";  // 16 bytes a piece, ~5 MB
  std::string text = "ISO-10303-21;\nDATA;\n#1=A('" + big + "');\nENDSEC;\nEND-ISO-10303-21;\n";
  struct THold : THandler {
    std::string Text;
    bool OnInstance(TInstance&& i) override {
      Text = i.Records[0].Params[0].Text;
      return true;
    }
  } hold;
  EXPECT_FALSE(ParseText(text, hold, 65536).Broken);
  ASSERT_EQ(hold.Text.size(), 300000u * 5);
  EXPECT_EQ(hold.Text.substr(0, 10), "道' 道' ");

  std::string huge = "ISO-10303-21;\nDATA;\n#1=A('" + std::string(kMaxStringBytes + 10, 'a') + "');\n";
  TRecorder r;
  TReadStop stop = ParseText(huge, r, 1 << 20);
  EXPECT_TRUE(stop.Broken);
  EXPECT_EQ(stop.Reason, "文字列が長すぎます");
  EXPECT_EQ(stop.Line, 3);
}

TEST(Part21, HandlerStopsTheReadWithoutABreak) {
  TRecorder r;
  r.StopAtSection = "DATA";
  TReadStop stop = ParseText(kGood, r);
  EXPECT_FALSE(stop.Broken);
  EXPECT_EQ(r.Log.find("#1"), std::string::npos);
  EXPECT_NE(r.Log.find("FILE_SCHEMA"), std::string::npos);
}

TEST(Part21, FilesAreReadOnlyWhenRegular) {
  test::ScratchDir dir;
  TRecorder r;
  EXPECT_FALSE(ParseFile(dir.WriteBytes("a.p21", kGood), r).Broken);
  EXPECT_EQ(r.Log, kGoodLog);

  std::string fifo = dir / "fifo.p21";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TReadStop stop = ParseFile(fifo, r);  // must not wait for a writer
  EXPECT_TRUE(stop.Broken);
  EXPECT_EQ(stop.Reason, "通常のファイルではありません");
  stop = ParseFile(dir / "missing.p21", r);
  EXPECT_TRUE(stop.Broken);
  EXPECT_EQ(stop.Reason, "ファイルを開けません");
  stop = ParseFile(dir.Path(), r);
  EXPECT_TRUE(stop.Broken);
}

}  // namespace
}  // namespace dlvr::sxf::p21
