#include "components/text_renderer.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTextEdit>

#include <algorithm>

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

bool MarkPreviewTextLine(QPlainTextEdit* view, int line, const QString& text) {
  const QTextBlock block = line > 0 ? view->document()->findBlockByNumber(line - 1) : QTextBlock();
  if (!block.isValid()) return false;
  QTextEdit::ExtraSelection marked;
  marked.format.setBackground(QColor(0xff, 0xe0, 0x40));
  marked.format.setForeground(QColor(Qt::black));
  marked.format.setProperty(QTextFormat::FullWidthSelection, true);
  marked.cursor = QTextCursor(block);
  view->setExtraSelections({marked});
  const qsizetype at = text.isEmpty() ? -1 : block.text().indexOf(text, 0, Qt::CaseInsensitive);
  QTextCursor cursor(block);
  if (at > 0) cursor.setPosition(block.position() + int(at));
  view->setTextCursor(cursor);
  view->centerCursor();
  return true;
}

QRect PreviewTextMarkArea(const QPlainTextEdit* view) {
  const QList<QTextEdit::ExtraSelection> marks = view->extraSelections();
  if (marks.isEmpty()) return {};
  const QRect line = view->cursorRect(marks.front().cursor);
  const QWidget* port = view->viewport();
  return QRect(port->mapToGlobal(QPoint(0, line.top())), QSize(port->width(), line.height()));
}

bool MarkPreviewRichText(QTextEdit* view, const QString& text) {
  if (text.trimmed().isEmpty()) return false;
  const QTextCursor found = view->document()->find(text.trimmed());
  if (found.isNull()) return false;
  QTextEdit::ExtraSelection marked;
  marked.format.setBackground(QColor(0xff, 0xe0, 0x40));
  marked.format.setForeground(QColor(Qt::black));
  marked.cursor = found;
  view->setExtraSelections({marked});
  QTextCursor at = found;
  at.clearSelection();
  view->setTextCursor(at);
  view->ensureCursorVisible();
  return true;
}

QRect PreviewRichTextMarkArea(const QTextEdit* view) {
  const QList<QTextEdit::ExtraSelection> marks = view->extraSelections();
  if (marks.isEmpty()) return {};
  QTextCursor start = marks.front().cursor, end = start;
  start.setPosition(start.selectionStart());
  end.setPosition(end.selectionEnd());
  const QRect from = view->cursorRect(start), to = view->cursorRect(end);
  const QRect area = QRect(from.topLeft(), QPoint(std::max(to.right(), from.right()), std::max(to.bottom(), from.bottom())));
  return QRect(view->viewport()->mapToGlobal(area.topLeft()), area.size());
}

namespace {

class TTextRenderer : public TPreviewRenderer {
 public:
  using TPreviewRenderer::TPreviewRenderer;
  QString Kind() const override { return QStringLiteral("text"); }

  bool Start() override {
    view_ = Own(NewPreviewTextView());
    Host().Present(view_);
    rendered_ = FillPreviewTextView(Host(), File(), view_);
    return true;
  }
  bool ShowMark(const TPreviewMark& mark) override { return view_ && MarkPreviewTextLine(view_, mark.Line, mark.Text); }
  QRect MarkedArea() const override { return view_ ? PreviewTextMarkArea(view_) : QRect(); }

 private:
  QPointer<QPlainTextEdit> view_;
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
