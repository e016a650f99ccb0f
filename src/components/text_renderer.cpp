#include "components/text_renderer.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

#include "components/text_fill.h"

namespace dlvr {

QPlainTextEdit* NewPreviewTextView() {
  auto* text = new QPlainTextEdit;
  text->setObjectName(QStringLiteral("TextView"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  UseSourceFont(text);
  return text;
}

QString FillPreviewTextView(TPreviewHost& host, const TPreviewFile& file, QPlainTextEdit* view) {
  bool cut = false;
  QByteArray bytes = ReadFileHead(file.Path, kPreviewMaxTextBytes, &cut);
  if (cut) {
    // Do not end in the middle of a double-byte character or a line.
    const qsizetype lastBreak = bytes.lastIndexOf('\n');
    if (lastBreak > 0) bytes.truncate(lastBreak + 1);
    host.SetNote(QCoreApplication::translate("TPreviewView", "ファイルが大きいため (%1)、先頭の %2 だけを表示しています。")
                     .arg(ByteSizeText(file.Size), ByteSizeText(kPreviewMaxTextBytes)));
  }
  QString text = DecodeDocumentText(bytes, QString());
  FillPlainTextInPieces(view, text);
  return text;
}

namespace {

class TTextRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  QString Kind() const override { return QStringLiteral("text"); }

  bool Start() override {
    QPlainTextEdit* view = Own(NewPreviewTextView());
    Host().Present(view);
    rendered_ = FillPreviewTextView(Host(), File(), view);
    return true;
  }
};

}  // namespace

std::unique_ptr<TPreviewRenderer> MakeTextRenderer(TPreviewHost& host, const TPreviewFile& file,
                                                   const TPreviewSniff& sniff) {
  const QString& ext = sniff.Ext;
  if (ext == u"TXT" || ext == u"CSV" || ext == u"LOG" || ext == u"DTD" || ext == u"INI")
    return std::make_unique<TTextRenderer>(host, file);
  return nullptr;
}

}  // namespace dlvr
