// The documents of the full delivery check: what each kind of broken or
// mislabelled document gives, and nothing for sound ones.
#include "components/document_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <chrono>
#include <cstdint>

#include <string>
#include <vector>

#include "components/pdf_facts.h"
#include "support/fixtures.h"
#include "support/hostile_pdf.h"

namespace dlvr {
namespace {

std::string ImageBytes(const char* format) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

std::string PdfBytes(int pages = 1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
      if (page > 0) writer.newPage();
      painter.drawText(100, 100, QStringLiteral("協議書"));
    }
  }
  return bytes.toStdString();
}

// A one-page PDF that opens only with the user password "secret" (the
// standard security handler, revision 2: 40-bit RC4).
std::string PasswordPdfBytes() {
  const QByteArray padding = QByteArray::fromHex("28BF4E5E4E758A4164004E56FFFA01082E2E00B6D0683E802F0CA9FE6453697A");
  auto rc4 = [](const QByteArray& key, QByteArray data) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
      j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 255;
      std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < data.size(); ++n) {
      i = (i + 1) & 255;
      j = (j + s[i]) & 255;
      std::swap(s[i], s[j]);
      data[n] = static_cast<char>(data[n] ^ s[(s[i] + s[j]) & 255]);
    }
    return data;
  };
  auto md5 = [](const QByteArray& b) { return QCryptographicHash::hash(b, QCryptographicHash::Md5); };
  const QByteArray user = QByteArray("secret") + padding.left(26), owner = QByteArray("owner") + padding.left(27);
  const QByteArray id = QByteArray::fromHex("00112233445566778899AABBCCDDEEFF");
  const QByteArray o = rc4(md5(owner).left(5), user);
  const QByteArray key = md5(user + o + QByteArray::fromHex("D4FFFFFF") + id).left(5);  // /P -44
  const QByteArray u = rc4(key, padding);
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> at;
  for (const std::string& object :
       {std::string("<< /Type /Catalog /Pages 2 0 R >>"), std::string("<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>"),
        "<< /Filter /Standard /V 1 /R 2 /O <" + o.toHex().toStdString() + "> /U <" + u.toHex().toStdString() +
            "> /P -44 >>"}) {
    at.push_back(pdf.size());
    pdf += std::to_string(at.size()) + " 0 obj " + object + " endobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 5\n0000000000 65535 f \n";
  for (std::size_t offset : at) {
    const std::string n = std::to_string(offset);
    pdf += std::string(10 - n.size(), '0') + n + " 00000 n \n";
  }
  pdf += "trailer << /Size 5 /Root 1 0 R /Encrypt 4 0 R /ID [<" + id.toHex().toStdString() + "> <" +
         id.toHex().toStdString() + ">] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

TEST(DocumentCheck, BrokenAndMislabelledDocuments) {
  test::ScratchDir dir;
  struct TRow {
    const char* Name;
    std::string Bytes;
    std::vector<std::string> Expected;  // "severity: found"
  };
  const std::vector<TRow> rows = {
      {"GOOD.PDF", PdfBytes(), {"情報: 1 ページ"}},
      {"LOCKED.PDF", PasswordPdfBytes(), {"エラー: パスワードで保護されています（開けません）"}},
      {"GOOD.JPG", ImageBytes("JPG"), {}},
      {"GOOD.PNG", ImageBytes("PNG"), {}},
      {"TEXT.PDF", "これは PDF ではありません", {"エラー: PDF として開けません"}},
      {"CUT.PDF", PdfBytes().substr(0, 40), {"エラー: PDF として開けません"}},
      {"PICTURE.PDF", ImageBytes("PNG"),
       {"警告: 拡張子は PDF ですが、中身は image/png です", "エラー: PDF として開けません"}},
      {"PAGES.PDF", PdfBytes(3), {"情報: 3 ページ"}},
      {"PNG.JPG", ImageBytes("PNG"), {"警告: 拡張子は JPG ですが、中身は image/png です"}},
      {"BROKEN.JPG", std::string("\xFF\xD8\xFF\xE0", 4) + std::string(20, '\0'), {"エラー: 画像として読めません"}},
      {"NOTES.TXT", "メモ", {}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string path = dir.WriteBytes(row.Name, row.Bytes);
    std::vector<std::string> got;
    for (const auto& [severity, found] : CheckDocumentFile(path)) got.push_back(SeverityName(severity) + std::string(": ") + found);
    EXPECT_EQ(got, row.Expected);
  }
  // A link is not followed, a missing file gives nothing.
  ASSERT_EQ(::symlink((dir / "TEXT.PDF").c_str(), (dir / "LINK.PDF").c_str()), 0);
  EXPECT_TRUE(CheckDocumentFile(dir / "LINK.PDF").empty());
  EXPECT_TRUE(CheckDocumentFile(dir / "MISSING.PDF").empty());
}

// PDFs made to hold a reader up each end, within the time limit, in a
// finding with its reason; the reading's memory is the worker's, not ours.
TEST(DocumentCheck, HostilePdfsEndInAFindingWithinTheLimit) {
  test::ScratchDir dir;
  const TPdfFactsLimits before = PdfFactsLimits();
  TPdfFactsLimits limits;
  limits.Time = std::chrono::seconds(1);
  SetPdfFactsLimits(limits);
  const long rssBefore = test::MaxRssKb();
  using test::THostilePdf;
  for (THostilePdf kind : {THostilePdf::DeepPageTree, THostilePdf::DeeperPageTree, THostilePdf::HugeCount,
                           THostilePdf::CyclicPageTree, THostilePdf::XrefPrevLoop, THostilePdf::BogusEncryption,
                           THostilePdf::SparseHuge, THostilePdf::FlateBomb}) {
    SCOPED_TRACE(test::HostilePdfName(kind));
    const std::string path = test::WriteHostilePdf(dir, kind);
    const auto start = std::chrono::steady_clock::now();
    const auto found = CheckDocumentFile(path);
    const auto took = std::chrono::steady_clock::now() - start;
    // The limit and a worker's start.
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_FALSE(found.empty());
  }
  EXPECT_LT(test::MaxRssKb() - rssBefore, 200 * 1024);
  SetPdfFactsLimits(before);
}

// A PDF that inflates to gigabytes runs its worker out of its memory, not
// this process: the finding says so.
TEST(DocumentCheck, AFlateBombRunsTheWorkerOutOfMemory) {
  test::ScratchDir dir;
  const TPdfFactsLimits before = PdfFactsLimits();
  TPdfFactsLimits limits;
  limits.Time = std::chrono::seconds(60);
  limits.MemoryBytes = std::uint64_t{512} << 20;
  SetPdfFactsLimits(limits);
  const long rssBefore = test::MaxRssKb();
  const auto found = CheckDocumentFile(test::WriteHostilePdf(dir, test::THostilePdf::FlateBomb));
  EXPECT_EQ(found, (std::vector<std::pair<TSeverity, std::string>>{
                       {TSeverity::Error, "PDF を読み取れませんでした（メモリ不足）"}}));
  EXPECT_LT(test::MaxRssKb() - rssBefore, 100 * 1024);
  SetPdfFactsLimits(before);
}

// A worker that cannot be started is a finding with its reason, not a
// document passed over.
TEST(DocumentCheck, AWorkerThatDoesNotStartIsAFinding) {
  test::ScratchDir dir;
  const std::string path = dir.WriteBytes("GOOD.PDF", PdfBytes());
  SetPdfFactsWorkerProgram("/bin/true");
  const auto found = CheckDocumentFile(path);
  SetPdfFactsWorkerProgram("/proc/self/exe");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].first, TSeverity::Error);
  EXPECT_EQ(found[0].second.rfind("PDF を読み取れませんでした（読み取りのプロセスを起動できません: ", 0), 0u)
      << found[0].second;
  EXPECT_EQ(CheckDocumentFile(path), (std::vector<std::pair<TSeverity, std::string>>{{TSeverity::Info, "1 ページ"}}));
}

}  // namespace
}  // namespace dlvr
