#include "components/preview_renderer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>

#include <string_view>

#include "platform/text.h"

namespace dlvr {

TXmlSandbox TPreviewFile::Sandbox(std::uint64_t maxBytes) const {
  TXmlSandbox box;
  for (const QString& f : SandboxFolders) box.Folders.push_back(f.toStdString());
  box.Folders.push_back(QFileInfo(Path).absolutePath().toStdString());
  box.Folders.push_back(OriginFolder().toStdString());
  box.MaxFileBytes = maxBytes;
  return box;
}

QString TPreviewFile::OriginFolder() const { return QFileInfo(Origin).absolutePath(); }
QString TPreviewFile::OriginName() const { return QFileInfo(Origin).fileName(); }

TPreviewRenderer::TPreviewRenderer(TPreviewHost& host, TPreviewFile file) : host_(host), file_(std::move(file)) {}

TPreviewRenderer::~TPreviewRenderer() {
  for (const QPointer<QWidget>& w : owned_) delete w.data();
}

void TPreviewRenderer::Cancel() { cancelled_ = true; }

QList<QWidget*> TPreviewRenderer::Widgets() const {
  QList<QWidget*> out;
  for (const QPointer<QWidget>& w : owned_)
    if (w) out << w.data();
  return out;
}

QString DeclaredCharset(const QByteArray& bytes) {
  QByteArray head = bytes.left(4096);
  static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression xmlDecl(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9_.:-]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  QString latin = QString::fromLatin1(head);
  if (auto m = charset.match(latin); m.hasMatch()) return m.captured(1).toLower();
  if (auto m = xmlDecl.match(latin); m.hasMatch()) return m.captured(1).toLower();
  return {};
}

namespace {

bool PreviewIsValidUtf8(const QByteArray& bytes) {
  QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString ignored = dec(bytes);
  return !dec.hasError();
}

bool PreviewIsCp932Name(const QString& name) {
  return name == u"shift_jis" || name == u"shift-jis" || name == u"sjis" || name == u"x-sjis" ||
         name == u"cp932" || name == u"windows-31j" || name == u"ms932" || name == u"ms_kanji";
}

QString PreviewFromCp932(const QByteArray& bytes) {
  return QString::fromStdString(Cp932ToUtf8(std::string_view(bytes.constData(), bytes.size())));
}

}  // namespace

QString DecodeDocumentText(const QByteArray& bytes, const QString& declared) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
  if (declared == u"utf-8" || declared == u"utf8") return QString::fromUtf8(bytes);
  if (declared.isEmpty() || PreviewIsCp932Name(declared)) {
    if (declared.isEmpty() && PreviewIsValidUtf8(bytes)) return QString::fromUtf8(bytes);
    return PreviewFromCp932(bytes);
  }
  QStringDecoder dec(declared.toLatin1().constData());
  if (dec.isValid()) return dec(bytes);
  return PreviewFromCp932(bytes);
}

QString ByteSizeText(qint64 bytes) {
  QLocale c(QLocale::Japanese);
  QString exact = QCoreApplication::translate("TPreviewView", "%1 バイト").arg(c.toString(bytes));
  if (bytes < 1024) return exact;
  return c.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat) + QStringLiteral(" (") + exact +
         QStringLiteral(")");
}

QByteArray ReadFileHead(const QString& file, qint64 max, bool* cut) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = f.read(max);
  if (cut) *cut = f.size() > max;
  return bytes;
}

}  // namespace dlvr

#include "moc_preview_renderer.cpp"
