#include "components/text_fill.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace dlvr {
namespace {

// Characters a piece holds, about; a piece ends at a line end.
constexpr qsizetype kPieceChars = 64 * 1024;

// The end of the piece starting at `from`: past its last line break.
qsizetype PieceEnd(const QString& text, qsizetype from) {
  if (text.size() - from <= kPieceChars) return text.size();
  qsizetype br = text.indexOf(u'\n', from + kPieceChars);
  return br < 0 ? text.size() : br + 1;
}

// A piece without the line break it ends in (appending starts a new line).
QString Chopped(const QString& text, qsizetype from, qsizetype end) {
  qsizetype n = end - from;
  if (n > 0 && text.at(end - 1) == u'\n') --n;
  return text.mid(from, n);
}

// Appends the rest of a text to its view, a piece a turn of the event loop.
// A child of the view: it goes with the view, or with the next fill.
class TPieceFiller : public QObject {
 public:
  TPieceFiller(QPlainTextEdit* view, QString text, qsizetype at, std::function<void()> done)
      : QObject(view), view_(view), text_(std::move(text)), at_(at), done_(std::move(done)) {
    setObjectName(QStringLiteral("dlvrPieceFiller"));
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
    timer_.start();
  }

 private:
  void Step() {
    const qsizetype to = PieceEnd(text_, at_);
    // The last piece keeps its final line break, as the whole text would.
    view_->appendPlainText(to == text_.size() ? text_.mid(at_) : Chopped(text_, at_, to));
    at_ = to;
    if (at_ < text_.size()) return;
    timer_.stop();
    // The caret back at the start keeps the view at the top.
    QTextCursor c = view_->textCursor();
    c.setPosition(0);
    view_->setTextCursor(c);
    if (done_) done_();
    deleteLater();
  }

  QPlainTextEdit* view_;
  QString text_;
  qsizetype at_;
  std::function<void()> done_;
  QTimer timer_;
};

}  // namespace

void FillPlainTextInPieces(QPlainTextEdit* view, const QString& text, std::function<void()> done) {
  // A fill still running for this view stops here.
  for (QObject* o : view->children())
    if (o->objectName() == u"dlvrPieceFiller") delete o;
  const qsizetype end = PieceEnd(text, 0);
  view->setPlainText(end == text.size() ? text : Chopped(text, 0, end));
  QTextCursor c = view->textCursor();
  c.setPosition(0);
  view->setTextCursor(c);
  if (end == text.size()) {
    if (done) done();
    return;
  }
  new TPieceFiller(view, text, end, std::move(done));
}

void UseSourceFont(QPlainTextEdit* view) {
  QFont f(QStringLiteral("IPAGothic"));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  // The size the view had, in pixels (a font sized in pixels has no point
  // size), and never below 12 pixels, where the glyphs stay legible.
  f.setPixelSize(std::max(12, QFontInfo(view->font()).pixelSize()));
  // Snapped to whole pixels by the hinter, IPAGothic's underscore falls on
  // the next line's first row and is painted over ("00001_01" would read
  // "00001 01"); unhinted it stays on its own line.
  f.setHintingPreference(QFont::PreferNoHinting);
  view->setFont(f);
  view->setTabStopDistance(4 * QFontMetricsF(f).horizontalAdvance(u' '));
}

}  // namespace dlvr
