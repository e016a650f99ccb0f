// The text the search reads from a PDF's pages: the words the preview's PDF
// library finds there (so that the preview can mark a hit), the characters
// in the forms the delivery's own files decode to, and a bounded cost for a
// PDF made to hold a reader up.
#include <gtest/gtest.h>

#include <QPdfDocument>
#include <QString>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "components/pdf_facts.h"
#include "components/pdf_search_text.h"
#include "platform/text.h"
#include "support/fixtures.h"
#include "support/hostile_pdf.h"

namespace dlvr {
namespace {

// A one-page PDF showing `sjis` (CP932 bytes) in a Japanese CID font that is
// not embedded, through the 90ms-RKSJ-H encoding, as many deliveries' PDFs
// are written.
std::string SjisTextPdf(const std::string& sjis) {
  std::string hex;
  for (unsigned char c : sjis) {
    static const char digits[] = "0123456789ABCDEF";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  const std::string content = "BT /F1 12 Tf 40 700 Td <" + hex + "> Tj ET\n";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
      "<< /Type /Font /Subtype /Type0 /BaseFont /HeiseiKakuGo-W5-90ms-RKSJ-H /Encoding /90ms-RKSJ-H"
      " /DescendantFonts [6 0 R] >>",
      "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /HeiseiKakuGo-W5 /CIDSystemInfo << /Registry (Adobe)"
      " /Ordering (Japan1) /Supplement 2 >> /FontDescriptor 7 0 R /DW 1000 >>",
      "<< /Type /FontDescriptor /FontName /HeiseiKakuGo-W5 /Flags 4 /FontBBox [-92 -250 1010 922] /ItalicAngle 0"
      " /Ascent 752 /Descent -221 /CapHeight 737 /StemV 114 >>",
  };
  return test::ClassicPdf(objects);
}

// Every page of every sample PDF reads as the preview's library reads it,
// line break for line break. One title is longer than its line: its
// letters past the page's right edge are on no page and are not read.
TEST(PdfSearchText, EveryPageOfTheSamplesReadsAsThePreviewReadsIt) {
  std::vector<std::string> pdfs;
  for (const auto& e : std::filesystem::recursive_directory_iterator(test::SamplePath("")))
    if (e.is_regular_file() && e.path().extension() == ".PDF") pdfs.push_back(e.path().string());
  ASSERT_GE(pdfs.size(), 40u);
  int pages = 0;
  for (const std::string& path : pdfs) {
    SCOPED_TRACE(path);
    QPdfDocument shown;
    if (shown.load(QString::fromStdString(path)) != QPdfDocument::Error::None) {
      EXPECT_NE(ReadPdfText(path, 1 << 20).Facts.State, TPdfFacts::Status::Read);
      continue;
    }
    const TPdfPagesText read = ReadPdfText(path, 1 << 20);
    ASSERT_EQ(read.Facts.State, TPdfFacts::Status::Read);
    ASSERT_EQ(static_cast<int>(read.Pages.size()), shown.pageCount());
    for (int p = 0; p < shown.pageCount(); ++p, ++pages) {
      QString expected = shown.getAllText(p).text();
      if (path.ends_with("errors/MEET/ORG/MEETING_04.PDF"))
        expected.replace(expected.indexOf(QStringLiteral("備員の増員配置について\r\n")), 11, QString());
      EXPECT_EQ(QString::fromStdString(read.Pages[p]), expected) << "page " << p + 1;
    }
  }
  EXPECT_GE(pages, 60);
}

// Characters whose Unicode forms differ between a CJK font's character
// collection and Windows' Japanese code page come out as the code page's
// forms, as the delivery's management files decode them.
TEST(PdfSearchText, ACollectionFontsCharactersComeAsTheCodePageDecodesThem) {
  const struct {
    const char* Name;
    std::string Sjis;
  } cases[] = {
      {"wave dash", "No.12+0.0 \x81\x60 No.30+0.0"},
      {"minus sign", "\x81\x7C\x82\x54\x82\x4F"},
      {"horizontal bar", "\x81\x5C"},
      {"cent, pound and not signs", "\x81\x91\x81\x92\x81\xCA"},
      {"kanji and kana", "\x8C\xBB\x8F\xEA\x91\xE3\x97\x9D\x90\x6C"},
  };
  test::ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = dir.WriteBytes(std::string(c.Name) + ".PDF", SjisTextPdf(c.Sjis));
    const TPdfPagesText read = ReadPdfText(path, 1 << 20);
    ASSERT_EQ(read.Facts.State, TPdfFacts::Status::Read);
    ASSERT_EQ(read.Pages.size(), 1u);
    EXPECT_EQ(read.Pages[0], Cp932ToUtf8(c.Sjis));
  }
}

// A PDF made to hold a reader up costs at most the time limit and is named
// with its reason; the next PDF reads again.
TEST(PdfSearchText, HostilePdfsEndWithinTheLimitAndAreNamed) {
  const TPdfFactsLimits before = PdfFactsLimits();
  TPdfFactsLimits limits;
  limits.Time = std::chrono::seconds(1);
  limits.MemoryBytes = std::uint64_t{1} << 30;
  SetPdfFactsLimits(limits);
  test::ScratchDir dir;
  const std::string plain = dir.WriteBytes("PLAIN.PDF", SjisTextPdf("\x8C\xBB\x8F\xEA"));
  using test::THostilePdf;
  // The reason each is named with ("": read, with its pages).
  const struct {
    THostilePdf Kind;
    std::vector<std::string> Reasons;  // any of these
  } cases[] = {
      {THostilePdf::DeepPageTree, {"time limit"}},
      {THostilePdf::DeeperPageTree, {"time limit"}},
      {THostilePdf::HugeCount, {""}},
      {THostilePdf::CyclicPageTree, {"time limit"}},
      {THostilePdf::XrefPrevLoop, {""}},
      {THostilePdf::BogusEncryption, {"encrypted"}},
      {THostilePdf::SparseHuge, {"time limit", "broken"}},
      {THostilePdf::FlateBomb, {"time limit", "too large (memory limit)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(test::HostilePdfName(c.Kind));
    const std::string path = test::WriteHostilePdf(dir, c.Kind);
    const auto start = std::chrono::steady_clock::now();
    const search::TPdfText text = ReadPdfSearchText(path, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, limits.Time + std::chrono::seconds(3));
    EXPECT_NE(std::find(c.Reasons.begin(), c.Reasons.end(), text.Reason), c.Reasons.end()) << text.Reason;
    const search::TPdfText next = ReadPdfSearchText(plain, nullptr);
    EXPECT_EQ(next.Reason, "");
    EXPECT_EQ(next.Pages, std::vector<std::string>{"現場"});
  }
  SetPdfFactsLimits(before);
}

}  // namespace
}  // namespace dlvr
