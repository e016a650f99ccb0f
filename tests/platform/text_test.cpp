#include <gtest/gtest.h>

#include "platform/text.h"

namespace dlvr {
namespace {

TEST(Cp932, RoundTripsJapaneseAndAscii) {
  const std::string utf8 = "工事完成図書 ABC-123 ｱｲｳ ①Ⅰ㈱ ～";
  std::string sjis = Utf8ToCp932(utf8);
  EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
  // 工 is 0x8D 0x48 in Shift-JIS; half-width katakana are single bytes.
  EXPECT_EQ(Utf8ToCp932("工"), "\x8D\x48");
  EXPECT_EQ(Utf8ToCp932("ｱ"), "\xB1");
  // CP932's own mappings: wave dash and the backslash byte.
  EXPECT_EQ(Cp932ToUtf8("\x81\x60"), "～");
  EXPECT_EQ(Cp932ToUtf8("\x5C"), "\\");
  // The JIS wave dash has no CP932 code (CP932 writes the full-width tilde).
  EXPECT_EQ(Utf8ToCp932("〜"), "?");
}

TEST(Cp932, NecAndIbmDuplicatesEncodeAsWindowsDoes) {
  // ∵ exists in JIS row 2 and in NEC row 13; Windows writes the JIS code.
  EXPECT_EQ(Utf8ToCp932("∵"), "\x81\xE6");
  // Roman numeral one: NEC row 13 rather than the IBM extension.
  EXPECT_EQ(Utf8ToCp932("Ⅰ"), "\x87\x54");
  // Small roman numeral one: IBM extension rather than the NEC-selected copy.
  EXPECT_EQ(Utf8ToCp932("ⅰ"), "\xFA\x40");
  EXPECT_EQ(Cp932ToUtf8("\xEE\xEF"), "ⅰ");
}

TEST(Cp932, InvalidSequencesBecomeReplacementCharacters) {
  // A lead byte before a line break must not swallow the break.
  EXPECT_EQ(Cp932ToUtf8("a\x81\nb"), "a\xEF\xBF\xBD\nb");
  // A lead byte at the very end.
  EXPECT_EQ(Cp932ToUtf8("\x88"), "\xEF\xBF\xBD");
  // Bytes that are never valid.
  EXPECT_EQ(Cp932ToUtf8("\xFF\xA0"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  // An unassigned double-byte code consumes both bytes.
  EXPECT_EQ(Cp932ToUtf8("\x85\x40x"), "\xEF\xBF\xBDx");
  // Characters without a CP932 code encode as '?'.
  EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToCp932("\xFF"), "?");
}

TEST(Cp932, ByteLengthsCountShiftJisBytes) {
  EXPECT_EQ(Cp932Length(""), 0u);
  EXPECT_EQ(Cp932Length("abc"), 3u);
  EXPECT_EQ(Cp932Length("工事"), 4u);
  EXPECT_EQ(Cp932Length("ｱｲ"), 2u);
  EXPECT_EQ(Cp932Length("１２"), 4u);
  EXPECT_EQ(Cp932Length(std::string(127 * 3, 'x')), 381u);
  std::string fullWidth;
  for (int i = 0; i < 128; ++i) fullWidth += "あ";
  EXPECT_EQ(Cp932Length(fullWidth), 256u);
}

TEST(Cp932, LeadBytes) {
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0x9F));
  EXPECT_TRUE(IsLeadByte(0xE0));
  EXPECT_TRUE(IsLeadByte(0xFC));
  EXPECT_FALSE(IsLeadByte(0x80));
  EXPECT_FALSE(IsLeadByte(0xA0));
  EXPECT_FALSE(IsLeadByte(0xB1));  // half-width katakana
  EXPECT_FALSE(IsLeadByte(0xFD));
  EXPECT_FALSE(IsLeadByte('A'));
}

TEST(Cp932, CuttingNeverSplitsADoubleByteCharacter) {
  EXPECT_EQ(CutAtBytes("工事abc", 3), "工");
  EXPECT_EQ(CutAtBytes("工事abc", 4), "工事");
  EXPECT_EQ(CutAtBytes("工事abc", 5), "工事a");
  EXPECT_EQ(CutAtBytes("a工", 2), "a");
  EXPECT_EQ(CutAtBytes("ｱｲｳ", 2), "ｱｲ");
  EXPECT_EQ(CutAtBytes("abc", 0), "");
  EXPECT_EQ(CutAtBytes("abc", 10), "abc");
}

TEST(Text, AsciiCaseLeavesMultiByteTextAlone) {
  EXPECT_EQ(AsciiUpper("index_c.xml"), "INDEX_C.XML");
  EXPECT_EQ(AsciiUpper("ソフトウェア情報abc"), "ソフトウェア情報ABC");
  EXPECT_EQ(AsciiUpper("ａｂｃ"), "ａｂｃ");  // full-width letters stay
  EXPECT_EQ(AsciiLower("<?XML"), "<?xml");
  EXPECT_TRUE(EqualsNoCase("Meet.xml", "MEET.XML"));
  EXPECT_FALSE(EqualsNoCase("MEET.XML", "MEET.XM"));
}

TEST(Text, LeadingNumber) {
  EXPECT_EQ(LeadingNumber("12"), 12);
  EXPECT_EQ(LeadingNumber("3枚目"), 3);
  EXPECT_EQ(LeadingNumber(" 7"), 7);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("１"), 0);  // full-width digits are not a number
  // A whole number: anything after the digits makes it no number at all.
  for (auto [text, value] : std::initializer_list<std::pair<const char*, long>>{
           {"2", 2}, {" 3", 3}, {"-4", -4}, {"2枚", 0}, {"2 ", 0}, {"", 0}, {"+", 0}, {"１", 0}})
    EXPECT_EQ(WholeNumber(text), value) << text;
}

TEST(Text, DeliveryFilesDecodeByTheirDeclaration) {
  std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n" + Utf8ToCp932("<a>工事</a>");
  EXPECT_NE(DecodeDeliveryText(sjis).find("<a>工事</a>"), std::string::npos);
  std::string utf8 = "<?xml version='1.0' encoding='UTF-8'?>\n<a>工事</a>";
  EXPECT_EQ(DecodeDeliveryText(utf8), utf8);
  EXPECT_EQ(DecodeDeliveryText("\xEF\xBB\xBF<a>工</a>"), "<a>工</a>");
  // Invalid UTF-8 in a UTF-8 file becomes U+FFFD too.
  EXPECT_EQ(DecodeDeliveryText("<?xml encoding=\"utf-8\"?>\xC3"), "<?xml encoding=\"utf-8\"?>\xEF\xBF\xBD");
}

TEST(Text, CodePoints) {
  std::string s;
  AppendUtf8(s, 0x5DE5);
  EXPECT_EQ(s, "工");
  EXPECT_EQ(CodePointCount("a工ｱ"), 3u);
  std::size_t pos = 0;
  EXPECT_EQ(NextCodePoint("\xE5\xB7", pos), kReplacementChar);  // truncated sequence
  EXPECT_EQ(pos, 1u);
  pos = 0;
  EXPECT_EQ(NextCodePoint("\xC0\x80", pos), kReplacementChar);  // overlong
}

}  // namespace
}  // namespace dlvr
