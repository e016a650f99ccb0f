// Focus-moving controls: an edit and combos that pass the focus on to named
// controls of their window on Enter, Up, Down and Ctrl+Left / Ctrl+Right at
// the ends of the text, plus a combo that keeps a history of the texts
// entered in a small text file.
//
//   auto* edit = new TMovEdit(form);
//   edit->KeyMask = TKeyMask::mkNumeric;
//   edit->Links.ExitByEnter = "cbxNext";     // objectName in edit->window()
//   edit->Links.DefaultMove = true;          // Up / Down without a name: previous / next control
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QStringList>

class QKeyEvent;

namespace dlvr {

// Which characters an edit accepts when typed or pasted.
enum class TKeyMask {
  mkDefault, mkNumeric, mkExtNumeric, mkCharcter, mkDate, mkInteger, mkIntegerPlus, mkReal, mkRealPlus
};

// True when the mask lets the character through. Backspace and Enter (CR)
// always pass; mkDefault passes everything. Letters are ASCII only.
bool KeyMaskAccepts(TKeyMask mask, QChar c);
// The text without the characters the mask rejects (and without tabs and
// line breaks, which a one-line control never holds).
QString FilterByKeyMask(TKeyMask mask, const QString& text);

// Names (objectName) of the controls that take the focus on each key,
// searched in the control's window().
struct TMoveLinks {
  QString ExitByEnter, ExitByUp, ExitByDown, ExitByLeft, ExitByRight;
  // No target named: move to the next (Enter/Down/Right) or previous
  // (Up/Left) control of the form.
  bool DefaultMove = false;
};

// The keys that can move the focus.
enum class TMoveKey { Enter, Up, Down, Left, Right };

// Moves the focus from `from` as `links` asks for `key`. A named target that
// already has the focus is left alone; one that cannot take the focus
// (missing, disabled, hidden, not focusable), or no name while DefaultMove is
// on, passes the focus to the next (Enter, Down, Right) or previous (Up,
// Left) control of the focus chain. False when nothing is named and
// DefaultMove is off (the key is then the control's own).
bool MoveFocusByLink(QWidget* from, const TMoveLinks& links, TMoveKey key);

// An edit that filters what is typed or pasted by its KeyMask, never takes
// tabs or line breaks as characters, and moves the focus by its Links (Enter,
// Up and Down always; Ctrl+Left / Ctrl+Right from the ends of the text). Up
// and Down do nothing else.
class TMovEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TMovEdit(QWidget* parent = nullptr);

  TKeyMask KeyMask = TKeyMask::mkDefault;
  TMoveLinks Links;
  // The alignment the text is shown with.
  void SetAlignment(Qt::Alignment a);
  Qt::Alignment Alignment() const { return alignment_; }

  // Inserts text at the caret as typing would: characters the mask rejects,
  // tabs and line breaks are dropped. The paste, drop and middle-click paths
  // all come here.
  void InsertFiltered(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void PasteFiltered();
  Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

// A combo that moves the focus by its Links while its list is closed (Up and
// Down only move, never change the item). Space steps a drop-down list to the
// next item, wrapping to the first; an editable combo types the blank.
class TMovComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TMovComboBox(QWidget* parent = nullptr);

  TMoveLinks Links;
  // Most characters of the text of an editable combo; 0: no limit.
  int MaxLength = 0;

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  // Readies the line edit of an editable combo (length limit, no inline
  // completion, Enter inserts no item); called whenever it may have changed.
  void PrepareEditor();

 private:
  bool CaretAtStart() const;
  bool CaretAtEnd() const;
};

// An editable combo whose entries are the texts entered before, most recent
// first; leaving the control adds its text, SaveHistory writes the file.
class TMovComboAddHist : public TMovComboBox {
  Q_OBJECT
 public:
  explicit TMovComboAddHist(QWidget* parent = nullptr);

  // The history file's folder: created when missing; the file is loaded when
  // it exists.
  QString HistoryDir() const { return dir_; }
  void SetHistoryDir(const QString& dir);
  // The history file's name (in HistoryDir, or as given when no folder is
  // set); loaded when it exists.
  QString HistoryFile() const { return file_; }
  void SetHistoryFile(const QString& file);
  // The path written and read; empty without a file.
  QString HistoryPath() const;
  // Most entries kept; 0 or less: no limit.
  int MaxData = 10;

  // The current text, when not blank, moves (or is inserted) to the top and
  // is selected; entries beyond MaxData are dropped.
  void AddHistory();
  // AddHistory, then writes the list (UTF-8, one entry a line, most recent
  // first) through a temporary file in the same folder renamed over the old
  // one. True when written or when no file is set; false when the folder is
  // missing or the write fails (the old file then stays as it was).
  bool SaveHistory();
  // Replaces the entries with the file's lines (UTF-8, or CP932 when the
  // bytes are not UTF-8), skipping blank and repeated lines; the text being
  // edited stays. Nothing happens when the file does not exist.
  void LoadHistory();

 protected:
  void focusOutEvent(QFocusEvent* e) override;

 private:
  QString dir_;
  QString file_;
};

}  // namespace dlvr
