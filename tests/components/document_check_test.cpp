// The documents of the full delivery check: what each kind of broken or
// mislabelled document gives, and nothing for sound ones.
#include "components/document_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <string>
#include <vector>

#include "support/fixtures.h"

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

std::string PdfBytes() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    painter.drawText(100, 100, QStringLiteral("協議書"));
  }
  return bytes.toStdString();
}

TEST(DocumentCheck, BrokenAndMislabelledDocuments) {
  test::ScratchDir dir;
  struct TRow {
    const char* Name;
    std::string Bytes;
    std::vector<std::string> Expected;  // "severity: found"
  };
  const std::vector<TRow> rows = {
      {"GOOD.PDF", PdfBytes(), {}},
      {"GOOD.JPG", ImageBytes("JPG"), {}},
      {"GOOD.PNG", ImageBytes("PNG"), {}},
      {"TEXT.PDF", "これは PDF ではありません", {"エラー: PDF として開けません"}},
      {"CUT.PDF", PdfBytes().substr(0, 40), {"エラー: PDF として開けません"}},
      {"PICTURE.PDF", ImageBytes("PNG"),
       {"警告: 拡張子は PDF ですが、中身は image/png です", "エラー: PDF として開けません"}},
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

}  // namespace
}  // namespace dlvr
