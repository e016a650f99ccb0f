#include "components/document_check.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QString>

#include <string>

#include <filesystem>

#include "components/pdf_facts.h"
#include "platform/text.h"
#include "sxf/read_drawing.h"

namespace dlvr {
namespace {

bool IsImageExtension(const std::string& ext) {
  return ext == "JPG" || ext == "JPEG" || ext == "PNG" || ext == "TIF" || ext == "TIFF" || ext == "BMP" ||
         ext == "GIF";
}

}  // namespace

std::string PdfUnreadText(const TPdfFacts& facts) {
  QString why;
  switch (facts.State) {
    case TPdfFacts::Status::Read:
    case TPdfFacts::Status::Password:
    case TPdfFacts::Status::Unreadable: return {};
    case TPdfFacts::Status::TimedOut: why = QCoreApplication::translate("DocumentCheck", "時間切れ"); break;
    case TPdfFacts::Status::OutOfMemory: why = QCoreApplication::translate("DocumentCheck", "メモリ不足"); break;
    case TPdfFacts::Status::Crashed:
      why = QCoreApplication::translate("DocumentCheck", "異常終了 %1").arg(QString::fromStdString(facts.Detail));
      break;
    case TPdfFacts::Status::NotStarted:
      why = QCoreApplication::translate("DocumentCheck", "読み取りのプロセスを起動できません: %1")
                .arg(QString::fromStdString(facts.Detail));
      break;
    case TPdfFacts::Status::Cancelled: why = QCoreApplication::translate("DocumentCheck", "中止"); break;
  }
  return QCoreApplication::translate("DocumentCheck", "PDF を読み取れませんでした（%1）").arg(why).toStdString();
}

std::vector<std::pair<TSeverity, std::string>> CheckDocumentFile(const std::string& path) {
  std::vector<std::pair<TSeverity, std::string>> out;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec))) return out;
  const QString file = QString::fromStdString(path);
  const std::string ext = AsciiUpper(QFileInfo(file).suffix().toStdString());

  // The contents against the extension: a kind the extension names must be
  // the kind the contents have, or one it inherits from.
  static const QMimeDatabase mimes;
  const QMimeType byName = mimes.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
  const QMimeType byContent = mimes.mimeTypeForFile(file, QMimeDatabase::MatchContent);
  const bool nameKnown = byName.isValid() && !byName.isDefault();
  const bool contentKnown = byContent.isValid() && !byContent.isDefault() &&
                            byContent.name() != QStringLiteral("text/plain");
  if (nameKnown && contentKnown && !byContent.inherits(byName.name()) && !byName.inherits(byContent.name()))
    out.emplace_back(TSeverity::Warning,
                     QCoreApplication::translate("DocumentCheck", "拡張子は %1 ですが、中身は %2 です")
                         .arg(QString::fromStdString(ext), byContent.name())
                         .toStdString());

  if (ext == "PDF") {
#ifdef DLVR_HAVE_QTPDF
    // Read in a worker process under a time and a memory limit: a hostile
    // PDF costs a finding, not the check.
    const TPdfFacts facts = ReadPdfFacts(path);
    switch (facts.State) {
      case TPdfFacts::Status::Password:
        out.emplace_back(
            TSeverity::Error,
            QCoreApplication::translate("DocumentCheck", "パスワードで保護されています（開けません）").toStdString());
        break;
      case TPdfFacts::Status::Unreadable:
        out.emplace_back(TSeverity::Error,
                         QCoreApplication::translate("DocumentCheck", "PDF として開けません").toStdString());
        break;
      case TPdfFacts::Status::Read:
        if (facts.Pages < 1)
          out.emplace_back(TSeverity::Error,
                           QCoreApplication::translate("DocumentCheck", "ページがありません").toStdString());
        else
          out.emplace_back(TSeverity::Info,
                           QCoreApplication::translate("DocumentCheck", "%1 ページ").arg(facts.Pages).toStdString());
        break;
      default:
        out.emplace_back(TSeverity::Error, PdfUnreadText(facts));
        break;
    }
#endif
  } else if (ext == "P21" || ext == "SFC") {
    // A drawing is told by its header, as the drawing readers tell it: a
    // DXF or other text renamed .P21 is no SXF drawing.
    if (sxf::SniffMode(path).empty())
      out.emplace_back(TSeverity::Error,
                       QCoreApplication::translate("DocumentCheck", "SXF の図面として読めません").toStdString());
  } else if (IsImageExtension(ext)) {
    // The header and the first decode tell whether the image is readable
    // without decoding thousands of photos whole.
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead() || !reader.size().isValid() || reader.size().isEmpty())
      out.emplace_back(TSeverity::Error,
                       QCoreApplication::translate("DocumentCheck", "画像として読めません").toStdString());
  }
  return out;
}

}  // namespace dlvr
