// TExtGrid3: the string grid every pane and list of the viewer is built on.
//
// Beyond a plain string grid the owner decides, cell by cell and at the
// moment the grid needs it, whether a cell can be selected, how many text
// lines it holds and how each line is aligned, coloured and edited
// (`OnSetCellAtr`). A cell's text holds up to four lines separated by CR LF;
// the cursor stands on one line of the current cell, and the grid reports
// entering and leaving a line (`OnCRLIn`, `OnCRLOut`).
//
// Geometry follows the usual string grid: fixed rows and columns stay in
// place, the rest scrolls by whole rows and columns (`TopRow`, `LeftCol`),
// each cell is followed by its grid line (right and below) of
// `GridLineWidth` pixels, and a negative column width or row height hides
// the column or row. A shown row is never lower than one text line of the
// grid font with the cell's padding (`MinRowHeight`), whatever height it was
// given, so that descenders and underscores stay inside it; the given
// height is kept, and the row follows when the font changes.
//
// Text is drawn 2 pixels inside each edge of its cell. A single-line text
// wider than its cell ends in "…" (cut in the font it is drawn with), and
// the cell's hint then holds its whole text; word-wrapped lines are drawn
// as they are.
//
// Colours use the widget's palette: "window" is QPalette::Base, "window
// text" QPalette::Text, "button face" QPalette::Button, "highlight"
// QPalette::Highlight.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QLineEdit>
#include <QPen>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace dlvr {

enum TGridOption : unsigned {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goRangeSelect = 1u << 4,       // kept, not used: the cursor is one cell
  goDrawFocusSelected = 1u << 5, // kept, not used
  goRowSizing = 1u << 6,         // kept, not used
  goColSizing = 1u << 7,         // kept, not used
  goRowMoving = 1u << 8,         // kept, not used
  goColMoving = 1u << 9,         // kept, not used
  goEditing = 1u << 10,
  goTabs = 1u << 11,
  goRowSelect = 1u << 12,
  goAlwaysShowEditor = 1u << 13,
  goThumbTracking = 1u << 14,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)

enum TReturnDir { rdReturn, rdRight, rdDown };

enum TMoveOption : unsigned {
  moLoopVert = 1u << 0,
  moLoopHorz = 1u << 1,
  moLoopRtn = 1u << 2,
  moLoopRtnS = 1u << 3,
};
Q_DECLARE_FLAGS(TMoveOptions, TMoveOption)

enum TSelMarker { mkNone, mkUnTriangle, mkTriangle, mkUnRoundRect, mkRoundRect, mkUnCrossLine, mkCrossLine };

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Alignment of a single-line cell line.
enum TCellAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Edit kinds of a cell line.
enum TLineEditKind {
  ekInplace = 0,  // the in-place editor
  ekWinCtrl = 1,  // a control the owner supplies through OnSetWinCtrl
  ekNoCRLOut = 2, // never reports leaving, skipped by Up / Down and Enter
};

// Input kind 2 accepts "0123456789+-,. " only, with the input method off.
constexpr int ikNumeric = 2;

// Attributes of one of the four lines of a cell.
struct TCellLineAtr {
  int EditKind = ekInplace;
  int TextLines = 1;      // >= 2: word-wrapped and left-aligned
  QColor EditColor;       // the in-place editor's colour on this line
  QColor FontColor;
  QFont Font;
  int MaxLength = 0;      // 0 = unlimited
  int InputKind = 0;      // ikNumeric or anything else
  int Alignment = taLeftJustify;
  double Position = 0;    // vertical position in text lines
};

// Attributes of a cell, reset to the defaults and handed to OnSetCellAtr
// every time the grid needs them.
struct TCellAtr {
  bool Fixed = false;
  bool Selectable = true;
  int LineCount = 1;      // how many of the cell's lines are shown (1 .. 4)
  QColor Color;           // background
  QPen RightLine;         // grid line right of the cell
  QPen BottomLine;        // grid line below the cell
  std::array<TCellLineAtr, 4> Line;
};

class TExtGrid3;

// The in-place editor: covers the current line of the current cell.
class TMLInplaceEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TMLInplaceEdit(QWidget* parent);
};

class TExtGrid3 : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TExtGrid3(QWidget* parent = nullptr);
  ~TExtGrid3() override;

  // ---- Cell text ----------------------------------------------------------
  QString Cell(int col, int row) const;              // empty outside the grid
  void SetCell(int col, int row, const QString& text); // skipped when unchanged
  QString LineText(int col, int row, int line) const;
  void SetLineText(int col, int row, int line, const QString& text);
  // The line rules on a plain text: line n of `text`, and `text` with line
  // n (0 .. 3) replaced, always as four CR LF separated lines.
  static QString GetLine(const QString& text, int line);
  static QString PutLine(const QString& text, int line, const QString& value);

  // ---- Size ---------------------------------------------------------------
  int ColCount() const { return colCount_; }
  void SetColCount(int count);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int count);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int count);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int count);
  int ColWidth(int col) const;        // -1 = hidden
  void SetColWidth(int col, int width);
  // The height a row is shown with: the height it was given, raised to
  // MinRowHeight() when lower (-1 = hidden, 0 stays 0).
  int RowHeight(int row) const;
  void SetRowHeight(int row, int height);
  int DefaultColWidth() const { return defColWidth_; }
  void SetDefaultColWidth(int width); // resets every column width
  int DefaultRowHeight() const { return ShownHeight(defRowHeight_); }  // raised like RowHeight
  void SetDefaultRowHeight(int height); // resets every row height
  // The least height of a shown row: the text height of the grid font plus
  // the cell's padding above and below (2 pixels each).
  int MinRowHeight() const { return minRowHeight_; }
  int GridLineWidth() const { return lineWidth_; }
  void SetGridLineWidth(int width);
  int ClientWidth() const;
  int ClientHeight() const;

  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions options);
  bool Editing() const { return options_.testFlag(goEditing); }
  void SetEditing(bool on);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle style);

  // ---- Measures in the grid font ------------------------------------------
  int TextHeight0() const;                 // text height of "0"
  int TextWidth0(int count) const;         // text width of `count` "0"s
  int CellHeight(int lines) const;         // height of a cell of N text lines
  int LineOffset(double position) const;   // offset of a line at a position

  // The text a cell line is drawn with: a single-line line wider than the
  // cell (less its padding) cut to end in "…", in the line's font; a
  // word-wrapped line unchanged; empty for a line the cell does not show.
  QString ShownLineText(int col, int row, int line) const;
  // The hint over a cell: the owner's (OnCellHint) when it gives one, else,
  // when a single-line line of the cell is cut, the cell's shown lines in
  // full (one per hint line); empty for none. The hint is shown as plain
  // text.
  QString CellHint(int col, int row) const;

  // The attributes of a cell: defaults, the owner's OnSetCellAtr, then the
  // rules of fixed cells.
  TCellAtr CellAtr(int col, int row) const;

  // ---- Cursor and scrolling -----------------------------------------------
  int Col() const { return col_; }
  int Row() const { return row_; }
  int CurLine() const { return line_; }
  void SetCol(int col) { MoveTo(col, row_, editorWanted_); }
  void SetRow(int row) { MoveTo(col_, row, editorWanted_); }
  // Moves the cursor to a cell (refused like a selection), with or without
  // showing the in-place editor. Returns whether the cursor moved there.
  bool MoveTo(int col, int row, bool showEditor = true);
  // Moves to a line of the current cell; false when it is not shown.
  bool SetCurLine(int line);
  // Whether the cell may take the cursor (ColMax / RowMax, fixed, hidden,
  // not selectable, OnSelectCell).
  bool CanSelect(int col, int row) const;

  int TopRow() const { return topRow_; }
  void SetTopRow(int row);
  int LeftCol() const { return leftCol_; }
  void SetLeftCol(int col);
  int VisibleRowCount() const;   // scrollable rows fully shown
  int VisibleColCount() const;
  // Rectangle of a cell in viewport coordinates (grid lines excluded);
  // empty when the cell is not on screen.
  QRect CellRect(int col, int row) const;
  // The cell under a viewport position.
  bool MouseToCell(const QPoint& pos, int& col, int& row) const;

  // Keeps the vertical scroll bar shown whatever the range.
  void KeepVertScrollBarVisible();
  // Brings the vertical scroll bar up to date: disabled when there is
  // nothing to scroll, enabled otherwise; shown.
  void RefreshVertScrollBar();
  // Repaints every cell and places the editor again.
  void Invalidate();

  // ---- Behaviour ------------------------------------------------------------
  int ColMax() const { return colMax_; }
  void SetColMax(int col) { colMax_ = col; }
  int RowMax() const { return rowMax_; }
  void SetRowMax(int row) { rowMax_ = row; }
  TReturnDir ReturnDir() const { return returnDir_; }
  void SetReturnDir(TReturnDir dir) { returnDir_ = dir; }
  TMoveOptions MoveOptions() const { return moveOptions_; }
  void SetMoveOptions(TMoveOptions options) { moveOptions_ = options; }
  bool SrchMoveVrt() const { return srchMoveVrt_; }
  void SetSrchMoveVrt(bool on) { srchMoveVrt_ = on; }
  bool SrchMoveHrz() const { return srchMoveHrz_; }
  void SetSrchMoveHrz(bool on) { srchMoveHrz_ = on; }
  bool SameCRLInCtrl() const { return sameCRLInCtrl_; }
  void SetSameCRLInCtrl(bool on) { sameCRLInCtrl_ = on; }
  bool SaveCRLOutAtClick() const { return saveCRLOutAtClick_; }
  void SetSaveCRLOutAtClick(bool on) { saveCRLOutAtClick_ = on; }
  TSelMarker SelMarker() const { return selMarker_; }
  void SetSelMarker(TSelMarker marker);
  // The external scroll bars are not built here: the flag is kept and the
  // grid always uses its own scroll bars.
  bool ExScrollBar() const { return exScrollBar_; }
  void SetExScrollBar(bool on) { exScrollBar_ = on; }

  // ---- Colours ----------------------------------------------------------------
  QColor Color() const { return color_; }              // area outside the cells
  void SetColor(const QColor& c);
  QColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(const QColor& c);
  QColor DefaultCellColor() const { return defaultCellColor_; }
  void SetDefaultCellColor(const QColor& c);
  QColor FontColor() const { return fontColor_; }
  void SetFontColor(const QColor& c);
  QColor SelClrFcsB() const { return selFcsB_; }
  void SetSelClrFcsB(const QColor& c);
  QColor SelClrFcsF() const { return selFcsF_; }
  void SetSelClrFcsF(const QColor& c);
  QColor SelClrNFcsB() const { return selNFcsB_; }
  void SetSelClrNFcsB(const QColor& c);
  QColor SelClrNFcsF() const { return selNFcsF_; }
  void SetSelClrNFcsF(const QColor& c);

  // ---- In-place editor ------------------------------------------------------
  TMLInplaceEdit* InplaceEditor() const { return editor_; }
  bool EditorVisible() const;
  void ShowEditor();
  void HideEditor();

  // ---- Events -----------------------------------------------------------------
  std::function<void(int col, int row, TCellAtr& atr)> OnSetCellAtr;
  std::function<void(int col, int row, int line)> OnCRLIn;
  std::function<void(int col, int row, int line)> OnCRLOut;
  // Asked for the control editing a line of edit kind 1; `rect` comes in
  // viewport coordinates and may be changed; `setText` (on) gives the control
  // the line's text.
  std::function<void(int col, int row, int line, QWidget*& ctrl, QRect& rect, bool& setText)> OnSetWinCtrl;
  std::function<void()> OnReturn;
  std::function<void()> OnEscape;
  // Every key in the grid or its editor before the grid handles it; set
  // `key` to 0 to consume it.
  std::function<void(int& key, Qt::KeyboardModifiers shift)> OnEditKeyDown;
  std::function<void(int col, int row, const QString& text)> OnSetEditText;
  std::function<void(int col, int row, bool& canSelect)> OnSelectCell;
  std::function<void()> OnTopLeftChanged;
  // The hint of the cell under the mouse; empty for none.
  // Cells without one show their whole text when it is cut (CellHint).
  std::function<QString(int col, int row)> OnCellHint;

 signals:
  // The grid's font changed and its measures (TextHeight0, MinRowHeight,
  // the rows raised to it) follow the new font.
  void FontMetricsChanged();

 protected:
  bool event(QEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool HandleKey(QKeyEvent* e);
  bool MoveHorz(int dir);
  bool MoveVert(int dir, bool ctrl);
  bool MoveReturn();
  bool MovePage(int dir);
  bool MoveHomeEnd(bool end, bool ctrl);
  bool CaretAllowsLeave(int dir) const;
  // Puts the cursor on a selectable cell and line (-1: keep the line index).
  bool Goto(int col, int row, int line, bool report = true);
  bool SelectableAtr(int col, int row, TCellAtr* atr) const;
  void EnterCurrentLine();
  void EnterIfFocused();
  void ReportCRLOut();
  void CheckLeave(Qt::FocusReason reason);
  bool HasFocusWithin() const;
  void EditorEdited(const QString& text);
  void PlaceEditor();
  void HideWinCtrl();

  int LastCol() const;
  int LastRow() const;
  int StepCol(int col, int dir) const;  // next shown column, -1 past the ends
  int StepRow(int row, int dir) const;
  int ColExtent(int col) const;
  int RowExtent(int row) const;
  int FixedWidth() const;
  int FixedHeight() const;
  int ColLeft(int col) const;  // INT_MIN when scrolled out
  int RowTop(int row) const;
  int MaxTopRow() const;
  int MaxLeftCol() const;
  void ClampInView();
  void UpdateScrollBars();
  void SetTopLeft(int top, int left);
  int LineAt(const TCellAtr& atr, int y) const;
  void DrawCell(QPainter& p, int col, int row, const QRect& rect, bool focused);
  void DrawMarker(QPainter& p, const QRect& rect, bool focused);
  int ShownHeight(int height) const { return height > 0 && height < minRowHeight_ ? minRowHeight_ : height; }
  int ShownRowHeight(int row) const { return ShownHeight(rowHeights_[row]); }
  // A single-line text as drawn in `width` pixels with `font`; `cut` tells
  // whether it had to be shortened.
  QString FitLine(const QFont& font, const QString& text, int width, bool* cut = nullptr) const;

  std::vector<std::vector<QString>> cells_;  // [row][col]
  std::vector<int> colWidths_;
  std::vector<int> rowHeights_;  // as given; shown through ShownHeight
  int colCount_ = 5, rowCount_ = 5, fixedCols_ = 1, fixedRows_ = 1;
  int defColWidth_ = 64, defRowHeight_ = 24, lineWidth_ = 1;
  int minRowHeight_ = 0;  // MinRowHeight(), kept with the font
  TGridOptions options_;
  TScrollStyle scrollBars_ = ssBoth;
  bool keepVBar_ = false;

  int col_ = 1, row_ = 1, line_ = 0;
  int topRow_ = 1, leftCol_ = 1;
  int colMax_ = -1, rowMax_ = -1;
  TReturnDir returnDir_ = rdReturn;
  TMoveOptions moveOptions_ = moLoopRtn;
  bool srchMoveVrt_ = false, srchMoveHrz_ = false;
  bool sameCRLInCtrl_ = true, saveCRLOutAtClick_ = false;
  TSelMarker selMarker_ = mkNone;
  bool exScrollBar_ = false;

  QColor color_, fixedColor_, defaultCellColor_, fontColor_;
  QColor selFcsB_, selFcsF_, selNFcsB_, selNFcsF_;

  TMLInplaceEdit* editor_ = nullptr;
  QPointer<QWidget> winCtrl_;
  bool editorWanted_ = true;
  bool updatingBars_ = false;
  bool mouseFocusPending_ = false;

  struct LinePos {
    bool valid = false;
    int col = 0, row = 0, line = 0;
  };
  LinePos lastIn_;        // the line last reported by OnCRLIn
  LinePos winCtrlAsked_;  // the line the owner was last asked a control for
  QRect winCtrlRect_;     // the owner's rectangle, relative to the cell
};

}  // namespace dlvr

Q_DECLARE_OPERATORS_FOR_FLAGS(dlvr::TGridOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(dlvr::TMoveOptions)
