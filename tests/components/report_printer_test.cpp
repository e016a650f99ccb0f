#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPdfDocument>
#include <QTemporaryDir>

#include "components/report_printer.h"

namespace dlvr {
namespace {

TEST(ReportPrinter, PrintsFortyOneErrorsOnTwoLandscapePages) {
  QTemporaryDir dir;
  std::vector<std::array<std::string, 5>> errors;
  for (int i = 0; i < 41; ++i) errors.push_back({"打合せ簿管理", "協議", "MEET.XML", "打合せ簿名称", "情報未記入"});
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("report.pdf"));
  ASSERT_TRUE(PrintErrorReportOn(printer, errors));
  QPdfDocument pdf;
  ASSERT_EQ(pdf.load(dir.filePath("report.pdf")), QPdfDocument::Error::None);
  EXPECT_EQ(pdf.pageCount(), 2);
  QSizeF page = pdf.pagePointSize(0);
  EXPECT_GT(page.width(), page.height());             // landscape
  EXPECT_NEAR(page.width(), 841.9, 2.0);              // A4: 297 mm
  EXPECT_EQ(pdf.metaData(QPdfDocument::MetaDataField::Title).toString(), QString::fromUtf8("Quillan電子納品ビューア"));
  // The second page's only row prints its section name again.
  QString second = pdf.getAllText(1).text();
  EXPECT_TRUE(second.contains(QString::fromUtf8("打合せ簿管理"))) << second.toStdString();
  EXPECT_TRUE(second.contains(QStringLiteral("41")));
}

TEST(ReportPrinter, EmptyListPrintsNothing) {
  QTemporaryDir dir;
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("none.pdf"));
  EXPECT_FALSE(PrintErrorReportOn(printer, {}));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("none.pdf")));
}

}  // namespace
}  // namespace dlvr
