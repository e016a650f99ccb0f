#include "components/ext_grid.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStringList>
#include <QTextOption>
#include <QToolTip>

#include <algorithm>
#include <climits>

#include "components/legible_color.h"

namespace dlvr {

namespace {

const QString kCRLF = QStringLiteral("\r\n");
// Text stands this many pixels inside each edge of its cell.
constexpr int kCellPadding = 2;

int LinesOf(const TCellAtr& atr) { return std::clamp(atr.LineCount, 1, 4); }

bool Usable(const TCellAtr& atr, int line) {
  return line >= 0 && line < LinesOf(atr) && atr.Line[line].EditKind != ekNoCRLOut;
}

int FirstUsableLine(const TCellAtr& atr) {
  for (int i = 0; i < LinesOf(atr); ++i)
    if (Usable(atr, i)) return i;
  return 0;
}

int LastUsableLine(const TCellAtr& atr) {
  for (int i = LinesOf(atr) - 1; i >= 0; --i)
    if (Usable(atr, i)) return i;
  return LinesOf(atr) - 1;
}

// Paints a grid line into the gap `r` with a pen.
void PaintLine(QPainter& p, const QRect& r, const QPen& pen, bool vertical) {
  if (r.isEmpty() || pen.style() == Qt::NoPen) return;
  if (pen.style() == Qt::SolidLine) {
    p.fillRect(r, pen.color());
    return;
  }
  QPen q(pen);
  q.setWidth(vertical ? r.width() : r.height());
  q.setCapStyle(Qt::FlatCap);
  p.setPen(q);
  if (vertical) {
    const double x = r.left() + r.width() / 2.0;
    p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom() + 1));
  } else {
    const double y = r.top() + r.height() / 2.0;
    p.drawLine(QPointF(r.left(), y), QPointF(r.right() + 1, y));
  }
}

// Hints are the delivery's own texts: shown as plain text (no markup
// interpreted, nothing loaded), with their line breaks and blanks.
QString PlainTip(QString text) {
  text.replace(kCRLF, QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QString html = text.toHtmlEscaped();
  html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
  return QStringLiteral("<p style='white-space:pre-wrap'>") + html + QStringLiteral("</p>");
}

}  // namespace

TMLInplaceEdit::TMLInplaceEdit(QWidget* parent) : QLineEdit(parent) {
  setObjectName(QStringLiteral("MLInplaceEdit"));
  setFrame(false);
}

// ---------------------------------------------------------------------------
// Construction

TExtGrid3::TExtGrid3(QWidget* parent) : QAbstractScrollArea(parent) {
  options_ = TGridOptions(goFixedVertLine) | goFixedHorzLine | goVertLine | goHorzLine | goEditing |
             goAlwaysShowEditor | goThumbTracking;
  const QPalette pal = palette();
  color_ = pal.color(QPalette::Button);
  fixedColor_ = pal.color(QPalette::Button);
  defaultCellColor_ = pal.color(QPalette::Base);
  fontColor_ = pal.color(QPalette::Text);
  selFcsB_ = selNFcsB_ = pal.color(QPalette::Highlight);
  selFcsF_ = selNFcsF_ = pal.color(QPalette::HighlightedText);

  cells_.assign(rowCount_, std::vector<QString>(colCount_));
  colWidths_.assign(colCount_, defColWidth_);
  rowHeights_.assign(rowCount_, defRowHeight_);
  minRowHeight_ = TextHeight0() + 2 * kCellPadding;

  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);

  editor_ = new TMLInplaceEdit(viewport());
  editor_->hide();
  editor_->setEnabled(false);
  editor_->installEventFilter(this);
  connect(editor_, &QLineEdit::textEdited, this, [this](const QString& t) { EditorEdited(t); });

  UpdateScrollBars();
}

TExtGrid3::~TExtGrid3() {
  if (editor_) editor_->removeEventFilter(this);
  if (winCtrl_) winCtrl_->removeEventFilter(this);
}

// ---------------------------------------------------------------------------
// Cell text

QString TExtGrid3::GetLine(const QString& text, int line) {
  if (line < 0) return {};
  qsizetype pos = 0;
  for (int i = 0; i < line; ++i) {
    const qsizetype sep = text.indexOf(kCRLF, pos);
    if (sep < 0) return {};
    pos = sep + 2;
  }
  const qsizetype end = text.indexOf(kCRLF, pos);
  return end < 0 ? text.mid(pos) : text.mid(pos, end - pos);
}

QString TExtGrid3::PutLine(const QString& text, int line, const QString& value) {
  if (line < 0 || line > 3) return text;
  std::array<QString, 4> lines;
  for (int i = 0; i < 4; ++i) lines[i] = GetLine(text, i);
  lines[line] = value;
  return lines[0] + kCRLF + lines[1] + kCRLF + lines[2] + kCRLF + lines[3];
}

QString TExtGrid3::Cell(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return {};
  return cells_[row][col];
}

void TExtGrid3::SetCell(int col, int row, const QString& text) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
  QString& cell = cells_[row][col];
  if (cell == text) return;
  cell = text;
  viewport()->update();
  if (col == col_ && row == row_ && EditorVisible()) {
    const QString t = GetLine(text, line_);
    if (editor_->text() != t) editor_->setText(t);
  }
}

QString TExtGrid3::LineText(int col, int row, int line) const { return GetLine(Cell(col, row), line); }

void TExtGrid3::SetLineText(int col, int row, int line, const QString& text) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_ || line < 0 || line > 3) return;
  SetCell(col, row, PutLine(cells_[row][col], line, text));
}

// ---------------------------------------------------------------------------
// Size

void TExtGrid3::SetColCount(int count) {
  count = std::max(1, count);
  if (count == colCount_) return;
  colCount_ = count;
  colWidths_.resize(count, defColWidth_);
  for (auto& r : cells_) r.resize(count);
  if (fixedCols_ >= count) fixedCols_ = count - 1;
  col_ = std::clamp(col_, 0, count - 1);
  leftCol_ = std::clamp(leftCol_, fixedCols_, count - 1);
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetRowCount(int count) {
  count = std::max(1, count);
  if (count == rowCount_) return;
  rowCount_ = count;
  rowHeights_.resize(count, defRowHeight_);
  cells_.resize(count, std::vector<QString>(colCount_));
  if (fixedRows_ >= count) fixedRows_ = count - 1;
  row_ = std::clamp(row_, 0, count - 1);
  topRow_ = std::clamp(topRow_, fixedRows_, count - 1);
  if (lastIn_.valid && lastIn_.row >= count) lastIn_.valid = false;
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetFixedCols(int count) {
  count = std::clamp(count, 0, colCount_ - 1);
  fixedCols_ = count;
  if (col_ < count) col_ = count;
  leftCol_ = count;
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetFixedRows(int count) {
  count = std::clamp(count, 0, rowCount_ - 1);
  fixedRows_ = count;
  if (row_ < count) row_ = count;
  topRow_ = count;
  UpdateScrollBars();
  Invalidate();
}

int TExtGrid3::ColWidth(int col) const {
  return col >= 0 && col < colCount_ ? colWidths_[col] : 0;
}

void TExtGrid3::SetColWidth(int col, int width) {
  if (col < 0 || col >= colCount_ || colWidths_[col] == width) return;
  colWidths_[col] = width;
  UpdateScrollBars();
  Invalidate();
}

int TExtGrid3::RowHeight(int row) const {
  return row >= 0 && row < rowCount_ ? ShownRowHeight(row) : 0;
}

void TExtGrid3::SetRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount_ || rowHeights_[row] == height) return;
  rowHeights_[row] = height;
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetDefaultColWidth(int width) {
  defColWidth_ = width;
  colWidths_.assign(colCount_, width);
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetDefaultRowHeight(int height) {
  defRowHeight_ = height;
  rowHeights_.assign(rowCount_, height);
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetGridLineWidth(int width) {
  lineWidth_ = std::max(0, width);
  UpdateScrollBars();
  Invalidate();
}

int TExtGrid3::ClientWidth() const { return viewport()->width(); }
int TExtGrid3::ClientHeight() const { return viewport()->height(); }

void TExtGrid3::SetOptions(TGridOptions options) {
  const bool alwaysAdded = options.testFlag(goAlwaysShowEditor) && !options_.testFlag(goAlwaysShowEditor);
  options_ = options;
  if (alwaysAdded) editorWanted_ = true;
  UpdateScrollBars();
  Invalidate();
}

void TExtGrid3::SetEditing(bool on) {
  TGridOptions o = options_;
  o.setFlag(goEditing, on);
  SetOptions(o);
}

void TExtGrid3::SetScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  UpdateScrollBars();
}

// ---------------------------------------------------------------------------
// Measures

int TExtGrid3::TextHeight0() const { return QFontMetrics(font()).height(); }

int TExtGrid3::TextWidth0(int count) const {
  return count > 0 ? QFontMetrics(font()).horizontalAdvance(QString(count, QLatin1Char('0'))) : 0;
}

int TExtGrid3::CellHeight(int lines) const {
  const int th = TextHeight0();
  return lines <= 1 ? th + 2 : lines * th + 5;
}

int TExtGrid3::LineOffset(double position) const { return qRound((TextHeight0() + 2) * position); }

QString TExtGrid3::FitLine(const QFont& font, const QString& text, int width, bool* cut) const {
  // On one line, breaks and tabs stand as blanks.
  QString line = text;
  for (QChar& ch : line)
    if (ch == u'\t' || ch == u'\n' || ch == u'\r' || ch == u'\v' || ch == u'\f' || ch == QChar::LineSeparator ||
        ch == QChar::ParagraphSeparator)
      ch = u' ';
  const QFontMetrics fm(font, viewport());
  const bool fits = fm.horizontalAdvance(line) <= width;
  if (cut) *cut = !fits;
  return fits ? line : fm.elidedText(line, Qt::ElideRight, std::max(0, width));
}

QString TExtGrid3::ShownLineText(int col, int row, int line) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_ || line < 0 || line > 3) return {};
  if (colWidths_[col] < 0 || rowHeights_[row] < 0) return {};
  const TCellAtr a = CellAtr(col, row);
  if (line >= std::clamp(a.LineCount, 0, 4)) return {};
  const QString text = LineText(col, row, line);
  if (a.Line[line].TextLines >= 2) return text;
  return FitLine(a.Line[line].Font, text, colWidths_[col] - 2 * kCellPadding);
}

QString TExtGrid3::CellHint(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return {};
  if (OnCellHint) {
    QString hint = OnCellHint(col, row);
    if (!hint.isEmpty()) return hint;
  }
  if (colWidths_[col] < 0 || rowHeights_[row] < 0) return {};
  const TCellAtr a = CellAtr(col, row);
  QStringList lines;
  bool cut = false;
  for (int i = 0; i < std::clamp(a.LineCount, 0, 4); ++i) {
    lines.append(LineText(col, row, i));
    bool lineCut = false;
    if (a.Line[i].TextLines < 2 && !lines.last().isEmpty())
      FitLine(a.Line[i].Font, lines.last(), colWidths_[col] - 2 * kCellPadding, &lineCut);
    cut = cut || lineCut;
  }
  if (!cut) return {};
  while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines.join(QLatin1Char('\n'));
}

TCellAtr TExtGrid3::CellAtr(int col, int row) const {
  TCellAtr a;
  const bool fixed = col < fixedCols_ || row < fixedRows_;
  a.Fixed = fixed;
  a.Selectable = !fixed;
  a.LineCount = 1;
  a.Color = fixed ? fixedColor_ : defaultCellColor_;
  const QColor silver(192, 192, 192);
  const QColor lineColor = fixed ? QColor(Qt::black) : (color_ == silver ? QColor(128, 128, 128) : silver);
  a.RightLine = a.BottomLine = QPen(lineColor, lineWidth_, Qt::SolidLine);
  const QPalette pal = palette();
  for (int i = 0; i < 4; ++i) {
    TCellLineAtr& l = a.Line[i];
    l.EditColor = pal.color(QPalette::Base);
    l.FontColor = fixed ? pal.color(QPalette::ButtonText) : fontColor_;
    l.Font = font();
    l.Position = i;
  }
  if (OnSetCellAtr) OnSetCellAtr(col, row, a);
  if (fixed) {
    a.Fixed = true;
    a.RightLine = a.BottomLine = QPen(Qt::black, lineWidth_, Qt::SolidLine);
    a.Selectable = false;
  }
  // The text stays readable on the cell's colour under any palette: a dark
  // palette's light text would vanish on the light colours panes give cells.
  for (TCellLineAtr& l : a.Line) l.FontColor = LegibleOn(l.FontColor, a.Color);
  return a;
}

// ---------------------------------------------------------------------------
// Geometry

int TExtGrid3::LastCol() const { return colMax_ >= 0 ? std::min(colMax_, colCount_ - 1) : colCount_ - 1; }
int TExtGrid3::LastRow() const { return rowMax_ >= 0 ? std::min(rowMax_, rowCount_ - 1) : rowCount_ - 1; }

int TExtGrid3::StepCol(int col, int dir) const {
  const int last = LastCol();
  for (int c = col + dir; c >= fixedCols_ && c <= last; c += dir)
    if (colWidths_[c] >= 0) return c;
  return -1;
}

int TExtGrid3::StepRow(int row, int dir) const {
  const int last = LastRow();
  for (int r = row + dir; r >= fixedRows_ && r <= last; r += dir)
    if (rowHeights_[r] >= 0) return r;
  return -1;
}

int TExtGrid3::ColExtent(int col) const {
  const int w = colWidths_[col];
  if (w < 0) return 0;
  const bool fixed = col < fixedCols_;
  return w + (options_.testFlag(fixed ? goFixedVertLine : goVertLine) ? lineWidth_ : 0);
}

int TExtGrid3::RowExtent(int row) const {
  const int h = ShownRowHeight(row);
  if (h < 0) return 0;
  const bool fixed = row < fixedRows_;
  return h + (options_.testFlag(fixed ? goFixedHorzLine : goHorzLine) ? lineWidth_ : 0);
}

int TExtGrid3::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedCols_; ++c) w += ColExtent(c);
  return w;
}

int TExtGrid3::FixedHeight() const {
  int h = 0;
  for (int r = 0; r < fixedRows_; ++r) h += RowExtent(r);
  return h;
}

int TExtGrid3::ColLeft(int col) const {
  int x = 0;
  if (col < fixedCols_) {
    for (int c = 0; c < col; ++c) x += ColExtent(c);
    return x;
  }
  if (col < leftCol_) return INT_MIN;
  x = FixedWidth();
  for (int c = leftCol_; c < col; ++c) x += ColExtent(c);
  return x;
}

int TExtGrid3::RowTop(int row) const {
  int y = 0;
  if (row < fixedRows_) {
    for (int r = 0; r < row; ++r) y += RowExtent(r);
    return y;
  }
  if (row < topRow_) return INT_MIN;
  y = FixedHeight();
  for (int r = topRow_; r < row; ++r) y += RowExtent(r);
  return y;
}

int TExtGrid3::MaxTopRow() const {
  const int avail = ClientHeight() - FixedHeight();
  int top = rowCount_ - 1, sum = 0;
  for (int r = rowCount_ - 1; r >= fixedRows_; --r) {
    sum += RowExtent(r);
    if (sum > avail && r != rowCount_ - 1) break;
    top = r;
  }
  return std::max(top, fixedRows_);
}

int TExtGrid3::MaxLeftCol() const {
  const int avail = ClientWidth() - FixedWidth();
  int left = colCount_ - 1, sum = 0;
  for (int c = colCount_ - 1; c >= fixedCols_; --c) {
    sum += ColExtent(c);
    if (sum > avail && c != colCount_ - 1) break;
    left = c;
  }
  return std::max(left, fixedCols_);
}

int TExtGrid3::VisibleRowCount() const {
  int y = FixedHeight(), count = 0;
  const int h = ClientHeight();
  for (int r = topRow_; r < rowCount_; ++r) {
    const int e = RowExtent(r);
    if (y + e > h) break;
    y += e;
    if (rowHeights_[r] >= 0) ++count;
  }
  return count;
}

int TExtGrid3::VisibleColCount() const {
  int x = FixedWidth(), count = 0;
  const int w = ClientWidth();
  for (int c = leftCol_; c < colCount_; ++c) {
    const int e = ColExtent(c);
    if (x + e > w) break;
    x += e;
    if (colWidths_[c] >= 0) ++count;
  }
  return count;
}

QRect TExtGrid3::CellRect(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return {};
  if (colWidths_[col] < 0 || rowHeights_[row] < 0) return {};
  const int x = ColLeft(col), y = RowTop(row);
  if (x == INT_MIN || y == INT_MIN || x >= ClientWidth() || y >= ClientHeight()) return {};
  return QRect(x, y, colWidths_[col], ShownRowHeight(row));
}

bool TExtGrid3::MouseToCell(const QPoint& pos, int& col, int& row) const {
  auto find = [](int p, int fixed, int first, int count, auto extent) {
    int at = 0;
    for (int i = 0; i < fixed; ++i) {
      const int e = extent(i);
      if (e > 0 && p >= at && p < at + e) return i;
      at += e;
    }
    for (int i = first; i < count; ++i) {
      const int e = extent(i);
      if (e > 0 && p >= at && p < at + e) return i;
      at += e;
    }
    return -1;
  };
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= ClientWidth() || pos.y() >= ClientHeight()) return false;
  col = find(pos.x(), fixedCols_, leftCol_, colCount_, [this](int c) { return ColExtent(c); });
  row = find(pos.y(), fixedRows_, topRow_, rowCount_, [this](int r) { return RowExtent(r); });
  return col >= 0 && row >= 0;
}

void TExtGrid3::ClampInView() {
  int top = topRow_, left = leftCol_;
  const int h = ClientHeight(), w = ClientWidth();
  if (row_ >= fixedRows_ && row_ < rowCount_) {
    if (row_ < top) {
      top = row_;
    } else {
      int y = FixedHeight();
      for (int r = top; r <= row_; ++r) y += RowExtent(r);
      while (y > h && top < row_) y -= RowExtent(top++);
    }
  }
  if (col_ >= fixedCols_ && col_ < colCount_) {
    if (col_ < left) {
      left = col_;
    } else {
      int x = FixedWidth();
      for (int c = left; c <= col_; ++c) x += ColExtent(c);
      while (x > w && left < col_) x -= ColExtent(left++);
    }
  }
  SetTopLeft(top, left);
}

void TExtGrid3::SetTopLeft(int top, int left) {
  top = std::clamp(top, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  left = std::clamp(left, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
  if (top == topRow_ && left == leftCol_) return;
  topRow_ = top;
  leftCol_ = left;
  UpdateScrollBars();
  viewport()->update();
  PlaceEditor();
  if (OnTopLeftChanged) OnTopLeftChanged();
}

void TExtGrid3::SetTopRow(int row) { SetTopLeft(row, leftCol_); }
void TExtGrid3::SetLeftCol(int col) { SetTopLeft(topRow_, col); }

void TExtGrid3::UpdateScrollBars() {
  if (updatingBars_) return;
  updatingBars_ = true;
  const bool v = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
  const bool h = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
  const Qt::ScrollBarPolicy vp = !v ? Qt::ScrollBarAlwaysOff : keepVBar_ ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
  const Qt::ScrollBarPolicy hp = h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  if (verticalScrollBarPolicy() != vp) setVerticalScrollBarPolicy(vp);
  if (horizontalScrollBarPolicy() != hp) setHorizontalScrollBarPolicy(hp);

  const int maxTop = MaxTopRow(), maxLeft = MaxLeftCol();
  topRow_ = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, maxTop));
  leftCol_ = std::clamp(leftCol_, fixedCols_, std::max(fixedCols_, maxLeft));
  const bool tracking = options_.testFlag(goThumbTracking);
  QScrollBar* vb = verticalScrollBar();
  vb->setRange(fixedRows_, maxTop);
  vb->setPageStep(std::max(1, VisibleRowCount()));
  vb->setValue(topRow_);
  vb->setTracking(tracking);
  vb->setEnabled(maxTop > fixedRows_);
  QScrollBar* hb = horizontalScrollBar();
  hb->setRange(fixedCols_, maxLeft);
  hb->setPageStep(std::max(1, VisibleColCount()));
  hb->setValue(leftCol_);
  hb->setTracking(tracking);
  hb->setEnabled(maxLeft > fixedCols_);
  updatingBars_ = false;
}

void TExtGrid3::scrollContentsBy(int, int) {
  if (updatingBars_) return;
  SetTopLeft(verticalScrollBar()->value(), horizontalScrollBar()->value());
}

void TExtGrid3::KeepVertScrollBarVisible() {
  keepVBar_ = true;
  UpdateScrollBars();
}

void TExtGrid3::RefreshVertScrollBar() {
  UpdateScrollBars();
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) verticalScrollBar()->show();
}

void TExtGrid3::Invalidate() {
  viewport()->update();
  PlaceEditor();
}

// ---------------------------------------------------------------------------
// Colours

void TExtGrid3::SetColor(const QColor& c) { color_ = c; viewport()->update(); }
void TExtGrid3::SetFixedColor(const QColor& c) { fixedColor_ = c; viewport()->update(); }
void TExtGrid3::SetDefaultCellColor(const QColor& c) { defaultCellColor_ = c; viewport()->update(); }
void TExtGrid3::SetFontColor(const QColor& c) { fontColor_ = c; viewport()->update(); }
void TExtGrid3::SetSelClrFcsB(const QColor& c) { selFcsB_ = c; viewport()->update(); }
void TExtGrid3::SetSelClrFcsF(const QColor& c) { selFcsF_ = c; viewport()->update(); }
void TExtGrid3::SetSelClrNFcsB(const QColor& c) { selNFcsB_ = c; viewport()->update(); }
void TExtGrid3::SetSelClrNFcsF(const QColor& c) { selNFcsF_ = c; viewport()->update(); }
void TExtGrid3::SetSelMarker(TSelMarker marker) { selMarker_ = marker; viewport()->update(); }

// ---------------------------------------------------------------------------
// Drawing

void TExtGrid3::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const int w = ClientWidth(), h = ClientHeight();
  p.fillRect(QRect(0, 0, w, h), color_);
  const bool focused = HasFocusWithin();

  std::vector<std::pair<int, int>> cols, rows;  // index, position
  int x = 0;
  for (int c = 0; c < fixedCols_; ++c) {
    if (colWidths_[c] >= 0) cols.emplace_back(c, x);
    x += ColExtent(c);
  }
  for (int c = leftCol_; c < colCount_ && x < w; ++c) {
    if (colWidths_[c] >= 0) cols.emplace_back(c, x);
    x += ColExtent(c);
  }
  int y = 0;
  for (int r = 0; r < fixedRows_; ++r) {
    if (rowHeights_[r] >= 0) rows.emplace_back(r, y);
    y += RowExtent(r);
  }
  for (int r = topRow_; r < rowCount_ && y < h; ++r) {
    if (rowHeights_[r] >= 0) rows.emplace_back(r, y);
    y += RowExtent(r);
  }

  const QRect dirty = e->rect();
  for (const auto& [row, ry] : rows) {
    for (const auto& [col, cx] : cols) {
      const QRect r(cx, ry, colWidths_[col], ShownRowHeight(row));
      if (!dirty.intersects(r.adjusted(0, 0, lineWidth_, lineWidth_))) continue;
      DrawCell(p, col, row, r, focused);
    }
  }
  if (selMarker_ != mkNone && colCount_ > 0) {
    const QRect r = CellRect(0, row_);
    if (!r.isEmpty()) DrawMarker(p, r, focused);
  }
}

void TExtGrid3::DrawCell(QPainter& p, int col, int row, const QRect& r, bool focused) {
  const TCellAtr a = CellAtr(col, row);
  const bool selected = !a.Fixed && row == row_ && (options_.testFlag(goRowSelect) || col == col_);
  QColor bg = a.Color;
  if (selected) bg = focused ? selFcsB_ : selNFcsB_;
  p.fillRect(r, bg);
  if (a.Fixed && r.width() > 0 && r.height() > 0) {
    const QPalette pal = palette();
    const QColor light = pal.color(QPalette::Light), dark = pal.color(QPalette::Dark);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dark);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dark);
  }

  const int vw = options_.testFlag(col < fixedCols_ ? goFixedVertLine : goVertLine) ? lineWidth_ : 0;
  const int hw = options_.testFlag(row < fixedRows_ ? goFixedHorzLine : goHorzLine) ? lineWidth_ : 0;
  if (vw > 0) PaintLine(p, QRect(r.right() + 1, r.top(), vw, r.height() + hw), a.RightLine, true);
  if (hw > 0) PaintLine(p, QRect(r.left(), r.bottom() + 1, r.width() + vw, hw), a.BottomLine, false);

  const int step = TextHeight0() + 2;
  const int n = std::clamp(a.LineCount, 0, 4);
  for (int i = 0; i < n; ++i) {
    const TCellLineAtr& la = a.Line[i];
    QString text = LineText(col, row, i);
    if (text.isEmpty()) continue;
    QRect lr(r.left() + kCellPadding, r.top() + qRound(la.Position * step) + kCellPadding,
             r.width() - 2 * kCellPadding, 0);
    lr.setBottom(r.bottom() - kCellPadding);
    if (lr.width() <= 0 || lr.height() <= 0) continue;
    p.save();
    p.setClipRect(lr);
    p.setFont(la.Font);
    p.setPen(selected ? (focused ? selFcsF_ : selNFcsF_) : la.FontColor);
    if (la.TextLines >= 2) {
      text.replace(kCRLF, QStringLiteral("\n"));
      text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
      QTextOption o(Qt::AlignLeft | Qt::AlignTop);
      o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
      p.drawText(QRectF(lr), text, o);
    } else {
      const int align = la.Alignment == taRightJustify ? Qt::AlignRight
                        : la.Alignment == taCenter     ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
      p.drawText(lr, Qt::TextSingleLine | Qt::AlignTop | align, FitLine(la.Font, text, lr.width()));
    }
    p.restore();
  }
}

void TExtGrid3::DrawMarker(QPainter& p, const QRect& r, bool focused) {
  const int s = std::max(4, std::min(r.height() - 4, 9));
  const int x = r.left() + 3, cy = r.top() + r.height() / 2;
  const bool filled = selMarker_ == mkTriangle || selMarker_ == mkRoundRect || selMarker_ == mkCrossLine;
  const QColor c = palette().color(focused ? QPalette::Highlight : QPalette::ButtonText);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(c, 1));
  p.setBrush(filled ? QBrush(c) : QBrush(Qt::NoBrush));
  switch (selMarker_) {
    case mkUnTriangle:
    case mkTriangle: {
      const QPointF pts[3] = {QPointF(x, cy - s / 2.0), QPointF(x, cy + s / 2.0), QPointF(x + s / 2.0 + 1, cy)};
      p.drawPolygon(pts, 3);
      break;
    }
    case mkUnRoundRect:
    case mkRoundRect:
      p.drawRoundedRect(QRectF(x, cy - s / 2.0, s, s), 2, 2);
      break;
    case mkUnCrossLine:
    case mkCrossLine:
      p.setPen(QPen(c, filled ? 2 : 1));
      p.drawLine(QPointF(x, cy - s / 2.0), QPointF(x + s, cy + s / 2.0));
      p.drawLine(QPointF(x, cy + s / 2.0), QPointF(x + s, cy - s / 2.0));
      break;
    case mkNone:
      break;
  }
  p.restore();
}

// ---------------------------------------------------------------------------
// Cursor

bool TExtGrid3::SelectableAtr(int col, int row, TCellAtr* atr) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return false;
  if ((colMax_ >= 0 && col > colMax_) || (rowMax_ >= 0 && row > rowMax_)) return false;
  if (col < fixedCols_ || row < fixedRows_) return false;
  if (colWidths_[col] < 0 || rowHeights_[row] < 0) return false;
  const TCellAtr a = CellAtr(col, row);
  if (!a.Selectable) return false;
  if (OnSelectCell) {
    bool can = true;
    OnSelectCell(col, row, can);
    if (!can) return false;
  }
  if (atr) *atr = a;
  return true;
}

bool TExtGrid3::CanSelect(int col, int row) const { return SelectableAtr(col, row, nullptr); }

bool TExtGrid3::Goto(int col, int row, int line, bool report) {
  TCellAtr a;
  if (!SelectableAtr(col, row, &a)) return false;
  col_ = col;
  row_ = row;
  if (line >= 0) line_ = line;
  line_ = std::clamp(line_, 0, LinesOf(a) - 1);
  ClampInView();
  viewport()->update();
  PlaceEditor();
  if (report) EnterIfFocused();
  return true;
}

bool TExtGrid3::MoveTo(int col, int row, bool showEditor) {
  const bool wanted = editorWanted_;
  editorWanted_ = showEditor;
  if (Goto(col, row, -1)) return true;
  editorWanted_ = wanted;
  return false;
}

bool TExtGrid3::SetCurLine(int line) {
  if (col_ >= colCount_ || row_ >= rowCount_) return false;
  const TCellAtr a = CellAtr(col_, row_);
  if (line < 0 || line >= LinesOf(a)) return false;
  line_ = line;
  viewport()->update();
  PlaceEditor();
  EnterIfFocused();
  return true;
}

bool TExtGrid3::MoveHorz(int dir) {
  int c = StepCol(col_, dir), r = row_;
  if (c < 0) {
    if (!moveOptions_.testFlag(moLoopHorz)) return false;
    r = StepRow(row_, dir);
    if (r < 0) return false;
    c = dir > 0 ? StepCol(fixedCols_ - 1, 1) : StepCol(LastCol() + 1, -1);
    if (c < 0) return false;
  }
  if (!CanSelect(c, r)) {
    if (!srchMoveHrz_) return false;
    int found = -1;
    for (int rr = StepRow(r, -1); rr >= 0 && found < 0; rr = StepRow(rr, -1))
      if (CanSelect(c, rr)) found = rr;
    for (int rr = StepRow(r, 1); rr >= 0 && found < 0; rr = StepRow(rr, 1))
      if (CanSelect(c, rr)) found = rr;
    if (found < 0) return false;
    r = found;
  }
  return Goto(c, r, -1);
}

bool TExtGrid3::MoveVert(int dir, bool ctrl) {
  if (!ctrl && col_ < colCount_ && row_ < rowCount_) {
    const TCellAtr cur = CellAtr(col_, row_);
    for (int i = line_ + dir; i >= 0 && i < LinesOf(cur); i += dir) {
      if (Usable(cur, i)) return SetCurLine(i);
    }
  }
  int c = col_, r = StepRow(row_, dir);
  if (r < 0) {
    if (!moveOptions_.testFlag(moLoopVert)) return false;
    c = StepCol(col_, dir);
    if (c < 0) return false;
    r = dir > 0 ? StepRow(fixedRows_ - 1, 1) : StepRow(LastRow() + 1, -1);
    if (r < 0) return false;
  }
  if (!CanSelect(c, r)) {
    if (!srchMoveVrt_) return false;
    int found = -1;
    for (int cc = StepCol(c, -1); cc >= 0 && found < 0; cc = StepCol(cc, -1))
      if (CanSelect(cc, r)) found = cc;
    for (int cc = StepCol(c, 1); cc >= 0 && found < 0; cc = StepCol(cc, 1))
      if (CanSelect(cc, r)) found = cc;
    if (found < 0) return false;
    c = found;
  }
  const TCellAtr t = CellAtr(c, r);
  return Goto(c, r, dir < 0 ? LastUsableLine(t) : FirstUsableLine(t));
}

bool TExtGrid3::MoveReturn() {
  if (col_ < colCount_ && row_ < rowCount_) {
    const TCellAtr cur = CellAtr(col_, row_);
    for (int i = line_ + 1; i < LinesOf(cur); ++i)
      if (Usable(cur, i)) return SetCurLine(i);
  }
  const bool loop = moveOptions_.testFlag(moLoopRtn) || moveOptions_.testFlag(moLoopRtnS);
  int r = row_, c = col_;
  // At most one pass over every row and back to the starting one.
  for (int pass = 0; pass <= rowCount_; ++pass) {
    for (c = StepCol(c, 1); c >= 0; c = StepCol(c, 1)) {
      TCellAtr a;
      if (SelectableAtr(c, r, &a)) return Goto(c, r, FirstUsableLine(a));
    }
    if (!loop) return false;
    r = StepRow(r, 1);
    if (r < 0) {
      if (!moveOptions_.testFlag(moLoopRtnS)) return false;
      r = StepRow(fixedRows_ - 1, 1);
      if (r < 0) return false;
    }
    c = fixedCols_ - 1;
  }
  return false;
}

bool TExtGrid3::MovePage(int dir) {
  const int page = std::max(1, VisibleRowCount());
  const int first = StepRow(fixedRows_ - 1, 1), last = StepRow(LastRow() + 1, -1);
  if (first < 0 || last < 0) return false;
  const int target = std::clamp(row_ + dir * page, first, last);
  int found = -1;
  TCellAtr a;
  for (int r = target; r != row_ && r >= first && r <= last; r -= dir) {
    if (SelectableAtr(col_, r, &a)) {
      found = r;
      break;
    }
  }
  if (found < 0) return false;
  const int line = Usable(a, line_) ? line_ : dir > 0 ? FirstUsableLine(a) : LastUsableLine(a);
  SetTopRow(topRow_ + dir * page);
  return Goto(col_, found, line);
}

bool TExtGrid3::MoveHomeEnd(bool end, bool ctrl) {
  const int dir = end ? -1 : 1;
  const int firstCol = end ? StepCol(LastCol() + 1, -1) : StepCol(fixedCols_ - 1, 1);
  if (!ctrl) {
    for (int c = firstCol; c >= 0; c = StepCol(c, dir)) {
      if ((end && c < col_) || (!end && c > col_)) break;
      if (c != col_ && CanSelect(c, row_)) return Goto(c, row_, -1);
      if (c == col_) return true;
    }
    return false;
  }
  const int firstRow = end ? StepRow(LastRow() + 1, -1) : StepRow(fixedRows_ - 1, 1);
  for (int r = firstRow; r >= 0; r = StepRow(r, dir)) {
    for (int c = firstCol; c >= 0; c = StepCol(c, dir)) {
      if (c == col_ && r == row_) return true;
      if (CanSelect(c, r)) return Goto(c, r, -1);
    }
  }
  return false;
}

bool TExtGrid3::CaretAllowsLeave(int dir) const {
  if (!EditorVisible()) return true;
  const QString t = editor_->text();
  if (editor_->hasSelectedText()) return editor_->selectedText().size() == t.size();
  return dir < 0 ? editor_->cursorPosition() == 0 : editor_->cursorPosition() == t.size();
}

// ---------------------------------------------------------------------------
// Keyboard

bool TExtGrid3::HandleKey(QKeyEvent* e) {
  int key = e->key();
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (OnEditKeyDown) {
    OnEditKeyDown(key, mods);
    if (key == 0) return true;
  }
  const bool shift = mods.testFlag(Qt::ShiftModifier);
  bool ctrl = mods.testFlag(Qt::ControlModifier);
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;

  if (enter && shift) {
    if (EditorVisible()) {
      const QString t = editor_->text();
      if (editor_->hasSelectedText() && editor_->selectedText().size() == t.size()) {
        editor_->deselect();
        editor_->end(false);
      } else {
        editor_->selectAll();
      }
    }
    return true;
  }
  if (enter && OnReturn) {
    ReportCRLOut();
    OnReturn();
    return true;
  }
  if (key == Qt::Key_Escape && OnEscape) {
    ReportCRLOut();
    OnEscape();
    return true;
  }
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && options_.testFlag(goTabs)) {
    key = (key == Qt::Key_Backtab || shift) ? Qt::Key_Left : Qt::Key_Right;
    ctrl = true;
  }
  if (enter && returnDir_ == rdDown) {
    key = Qt::Key_Down;
    ctrl = false;
  } else if (enter && returnDir_ == rdRight) {
    key = Qt::Key_Right;
    ctrl = true;
  }

  const bool rowSelect = options_.testFlag(goRowSelect);
  if (options_.testFlag(goAlwaysShowEditor)) editorWanted_ = true;
  bool moved = false;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int dir = key == Qt::Key_Left ? -1 : 1;
      if (rowSelect) {
        SetLeftCol(leftCol_ + dir);
        return true;
      }
      if (!ctrl && !CaretAllowsLeave(dir)) return false;
      moved = MoveHorz(dir);
      break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
      moved = MoveVert(key == Qt::Key_Up ? -1 : 1, ctrl);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      moved = MoveReturn();
      break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      moved = MovePage(key == Qt::Key_PageUp ? -1 : 1);
      break;
    case Qt::Key_Home:
    case Qt::Key_End:
      if (!ctrl && !rowSelect && EditorVisible()) return false;
      moved = MoveHomeEnd(key == Qt::Key_End, ctrl || rowSelect);
      break;
    case Qt::Key_F2:
      if (!Editing()) return false;
      ShowEditor();
      return true;
    default:
      return false;
  }
  if (!moved) PlaceEditor();
  return true;
}

bool TExtGrid3::event(QEvent* e) {
  if (e->type() == QEvent::KeyPress && options_.testFlag(goTabs)) {
    auto* ke = static_cast<QKeyEvent*>(e);
    if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) &&
        !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      keyPressEvent(ke);
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

void TExtGrid3::keyPressEvent(QKeyEvent* e) {
  // A key the editor (or the owner's control) let through was offered to
  // the grid's handling already by the event filter; it goes on to the
  // grid's parent, as does any key the grid does not handle.
  QWidget* fw = QApplication::focusWidget();
  const bool fromChild = fw && fw != this && (fw == editor_ || fw == winCtrl_.data());
  if (!fromChild && HandleKey(e)) {
    e->accept();
    return;
  }
  e->ignore();
}

// ---------------------------------------------------------------------------
// Mouse, hints

int TExtGrid3::LineAt(const TCellAtr& atr, int y) const {
  const int n = LinesOf(atr);
  for (int i = 0; i < n; ++i) {
    const TCellLineAtr& la = atr.Line[i];
    if (la.EditKind == ekNoCRLOut) continue;
    const int top = LineOffset(la.Position), bottom = LineOffset(la.Position + std::max(1, la.TextLines));
    if (y >= top && y < bottom) return i;
  }
  const int step = TextHeight0() + 2;
  const int idx = std::clamp(step > 0 ? y / step : 0, 0, n - 1);
  for (int i = idx; i >= 0; --i)
    if (Usable(atr, i)) return i;
  for (int i = idx + 1; i < n; ++i)
    if (Usable(atr, i)) return i;
  return idx;
}

void TExtGrid3::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(e);
    return;
  }
  mouseFocusPending_ = false;
  if (options_.testFlag(goAlwaysShowEditor)) editorWanted_ = true;
  const QPoint pos = e->position().toPoint();
  int c = -1, r = -1;
  if (MouseToCell(pos, c, r) && c >= fixedCols_ && r >= fixedRows_) {
    if (c != col_ || r != row_) Goto(c, r, -1, false);
    TCellAtr a;
    if (c == col_ && r == row_ && SelectableAtr(c, r, &a)) {
      const QRect cr = CellRect(c, r);
      line_ = LineAt(a, pos.y() - cr.top());
      viewport()->update();
      PlaceEditor();
    }
  }
  EnterIfFocused();
  e->accept();
}

bool TExtGrid3::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* he = static_cast<QHelpEvent*>(e);
    int c = -1, r = -1;
    QString text;
    if (MouseToCell(he->pos(), c, r)) text = CellHint(c, r);
    if (text.isEmpty()) {
      QToolTip::hideText();
      e->ignore();
    } else {
      QToolTip::showText(he->globalPos(), PlainTip(text), viewport(), CellRect(c, r));
      e->accept();
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(e);
}

// ---------------------------------------------------------------------------
// Focus, entering and leaving lines

bool TExtGrid3::HasFocusWithin() const {
  return hasFocus() || (editor_ && editor_->hasFocus()) ||
         (winCtrl_ && (winCtrl_->hasFocus() || winCtrl_->isAncestorOf(QApplication::focusWidget())));
}

void TExtGrid3::EnterIfFocused() {
  if (HasFocusWithin()) EnterCurrentLine();
}

void TExtGrid3::EnterCurrentLine() {
  if (col_ >= colCount_ || row_ >= rowCount_) return;
  const TCellAtr a = CellAtr(col_, row_);
  if (a.Fixed || !a.Selectable) return;
  if (EditorVisible()) {
    editor_->selectAll();
    if (!editor_->hasFocus()) editor_->setFocus(Qt::OtherFocusReason);
  }
  if (lastIn_.valid && lastIn_.col == col_ && lastIn_.row == row_ && lastIn_.line == line_) return;
  lastIn_ = {true, col_, row_, line_};
  if (OnCRLIn) OnCRLIn(col_, row_, line_);
}

void TExtGrid3::ReportCRLOut() {
  if (!lastIn_.valid) return;
  const LinePos last = lastIn_;
  if (sameCRLInCtrl_) lastIn_.valid = false;
  if (last.col >= colCount_ || last.row >= rowCount_) return;
  const TCellAtr a = CellAtr(last.col, last.row);
  if (a.Line[std::clamp(last.line, 0, 3)].EditKind == ekNoCRLOut) return;
  if (OnCRLOut) OnCRLOut(last.col, last.row, last.line);
}

void TExtGrid3::CheckLeave(Qt::FocusReason reason) {
  QWidget* fw = QApplication::focusWidget();
  if (fw && (fw == this || isAncestorOf(fw) || (winCtrl_ && (fw == winCtrl_ || winCtrl_->isAncestorOf(fw)))))
    return;
  // Switching windows or opening a popup is no leaving.
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  if (reason == Qt::MouseFocusReason && saveCRLOutAtClick_) return;
  ReportCRLOut();
}

void TExtGrid3::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  viewport()->update();
  if (e->reason() == Qt::MouseFocusReason && viewport()->underMouse()) {
    // The press that follows picks the cell and line first.
    mouseFocusPending_ = true;
    return;
  }
  PlaceEditor();
  EnterCurrentLine();
}

void TExtGrid3::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  viewport()->update();
  CheckLeave(e->reason());
}

bool TExtGrid3::eventFilter(QObject* watched, QEvent* e) {
  if (watched == editor_) {
    switch (e->type()) {
      case QEvent::KeyPress:
        if (HandleKey(static_cast<QKeyEvent*>(e))) return true;
        break;
      case QEvent::FocusIn:
        viewport()->update();
        EnterIfFocused();
        break;
      case QEvent::FocusOut:
        viewport()->update();
        CheckLeave(static_cast<QFocusEvent*>(e)->reason());
        break;
      default:
        break;
    }
  } else if (winCtrl_ && watched == winCtrl_.data() && e->type() == QEvent::FocusOut) {
    CheckLeave(static_cast<QFocusEvent*>(e)->reason());
  }
  return QAbstractScrollArea::eventFilter(watched, e);
}

void TExtGrid3::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    minRowHeight_ = TextHeight0() + 2 * kCellPadding;
    UpdateScrollBars();
    Invalidate();
    emit FontMetricsChanged();
  }
}

void TExtGrid3::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
  PlaceEditor();
}

// ---------------------------------------------------------------------------
// In-place editor

bool TExtGrid3::EditorVisible() const { return editor_ && !editor_->isHidden(); }

void TExtGrid3::ShowEditor() {
  editorWanted_ = true;
  PlaceEditor();
  EnterIfFocused();
}

void TExtGrid3::HideEditor() {
  editorWanted_ = false;
  PlaceEditor();
}

void TExtGrid3::HideWinCtrl() {
  winCtrlAsked_.valid = false;
  if (!winCtrl_) return;
  QWidget* ctrl = winCtrl_;
  winCtrl_ = nullptr;
  ctrl->removeEventFilter(this);
  if (ctrl->hasFocus() || ctrl->isAncestorOf(QApplication::focusWidget())) setFocus(Qt::OtherFocusReason);
  ctrl->hide();
}

void TExtGrid3::PlaceEditor() {
  if (!editor_) return;
  auto hideEditor = [this] {
    if (editor_->hasFocus()) setFocus(Qt::OtherFocusReason);
    editor_->hide();
    editor_->setEnabled(false);
  };
  bool show = options_.testFlag(goEditing) && editorWanted_ && col_ < colCount_ && row_ < rowCount_;
  TCellAtr a;
  QRect cr;
  if (show) {
    a = CellAtr(col_, row_);
    cr = CellRect(col_, row_);
    show = !a.Fixed && !cr.isEmpty();
  }
  if (!show) {
    hideEditor();
    HideWinCtrl();
    return;
  }
  line_ = std::clamp(line_, 0, LinesOf(a) - 1);
  const TCellLineAtr& la = a.Line[line_];
  const QRect lineRect(cr.left(), cr.top() + LineOffset(la.Position), cr.width(), CellHeight(la.TextLines));
  if (lineRect.top() > cr.bottom()) {
    // The line lies below its row: nothing to edit there.
    viewport()->update();
    hideEditor();
    HideWinCtrl();
    return;
  }

  if (la.EditKind == ekWinCtrl && a.Selectable) {
    // The owner is asked once each time the cursor comes to the line; later
    // placements only move its control along with the cell.
    const bool asked = winCtrlAsked_.valid && winCtrlAsked_.col == col_ && winCtrlAsked_.row == row_ &&
                       winCtrlAsked_.line == line_;
    if (!asked) {
      HideWinCtrl();
      QWidget* ctrl = nullptr;
      QRect rect = lineRect;
      bool setText = true;
      if (OnSetWinCtrl) OnSetWinCtrl(col_, row_, line_, ctrl, rect, setText);
      winCtrlAsked_ = {true, col_, row_, line_};
      winCtrlRect_ = rect.translated(-cr.topLeft());
      if (ctrl) {
        if (setText) {
          const QString t = LineText(col_, row_, line_);
          if (auto* le = qobject_cast<QLineEdit*>(ctrl))
            le->setText(t);
          else if (auto* cb = qobject_cast<QComboBox*>(ctrl))
            cb->setCurrentText(t);
          else
            ctrl->setProperty("text", t);
        }
        winCtrl_ = ctrl;
        ctrl->installEventFilter(this);
      }
    }
    if (winCtrl_) {
      hideEditor();
      QWidget* ctrl = winCtrl_;
      const QRect rect = winCtrlRect_.translated(cr.topLeft());
      QWidget* parent = ctrl->parentWidget();
      QRect g = rect;
      if (parent && parent != viewport()) g.moveTopLeft(parent->mapFromGlobal(viewport()->mapToGlobal(rect.topLeft())));
      ctrl->setGeometry(g);
      const bool wasHidden = ctrl->isHidden();
      ctrl->show();
      ctrl->raise();
      if (wasHidden && (hasFocus() || editor_->hasFocus())) ctrl->setFocus(Qt::OtherFocusReason);
      return;
    }
  } else {
    HideWinCtrl();
  }

  editor_->setGeometry(lineRect.intersected(cr));
  editor_->setReadOnly(!a.Selectable || la.EditKind != ekInplace);
  editor_->setMaxLength(la.MaxLength > 0 ? la.MaxLength : 32767);
  editor_->setFont(la.Font);
  QPalette pal = editor_->palette();
  pal.setColor(QPalette::Base, la.EditColor);
  pal.setColor(QPalette::Text, LegibleOn(la.FontColor, la.EditColor));
  editor_->setPalette(pal);
  if (la.InputKind == ikNumeric) {
    if (!editor_->validator())
      editor_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9+\\-,. ]*")), editor_));
    editor_->setAttribute(Qt::WA_InputMethodEnabled, false);
  } else {
    if (editor_->validator()) {
      const QValidator* v = editor_->validator();
      editor_->setValidator(nullptr);
      delete v;
    }
    editor_->setAttribute(Qt::WA_InputMethodEnabled, true);
  }
  const QString t = LineText(col_, row_, line_);
  if (editor_->text() != t) editor_->setText(t);
  editor_->setEnabled(true);
  editor_->show();
  if (hasFocus()) editor_->setFocus(Qt::OtherFocusReason);
}

void TExtGrid3::EditorEdited(const QString& text) {
  if (col_ >= colCount_ || row_ >= rowCount_) return;
  QString& cell = cells_[row_][col_];
  const QString t = PutLine(cell, line_, text);
  if (t == cell) return;
  cell = t;
  viewport()->update();
  if (OnSetEditText) OnSetEditText(col_, row_, t);
}

}  // namespace dlvr
