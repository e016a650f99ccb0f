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

#include "components/ext_grid_internal.h"
#include "components/legible_color.h"

namespace dlvr {

using namespace ext_grid_detail;

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

}  // namespace dlvr

#include "moc_ext_grid.cpp"
