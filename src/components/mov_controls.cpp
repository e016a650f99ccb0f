#include "components/mov_controls.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStringDecoder>

#include <string>
#include <string_view>

#include "platform/text.h"

namespace dlvr {
namespace {

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool IsLetter(QChar c) {
  return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

bool IsEnterKey(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

// The modifiers that matter for the moving keys (the keypad flag does not).
Qt::KeyboardModifiers Mods(const QKeyEvent* e) { return e->modifiers() & ~Qt::KeypadModifier; }

// Tab, line feed and carriage return typed as characters (Ctrl+I, Ctrl+J,
// Ctrl+M on some keyboards) are never put into the text.
bool IsSwallowedText(const QString& text) {
  return text == QLatin1String("\t") || text == QLatin1String("\n") || text == QLatin1String("\r");
}

// The caret positions that let Ctrl+Left / Ctrl+Right leave a text: at the
// start (a selection counts from its start), at the end, or the whole text
// selected. A control without a caret is at both ends.
bool AtStart(const QLineEdit* le) {
  if (!le) return true;
  return (le->hasSelectedText() ? le->selectionStart() : le->cursorPosition()) == 0;
}

bool AtEnd(const QLineEdit* le) {
  if (!le) return true;
  const qsizetype length = le->text().size();
  if (le->hasSelectedText()) return le->selectionStart() == 0 && le->selectedText().size() == length;
  return le->cursorPosition() == length;
}

bool CanTakeFocus(QWidget* w, QWidget* window) {
  if (!w->isEnabled()) return false;
  if (w != window && !w->isVisibleTo(window)) return false;
  return w->focusPolicy() != Qt::NoFocus || w->focusProxy() != nullptr;
}

// The next (previous) control of the window's focus chain that takes the
// focus by Tab; false when there is none besides `from`.
bool FocusNeighbour(QWidget* from, bool forward) {
  QWidget* window = from->window();
  QWidget* w = from;
  for (;;) {
    w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    if (!w || w == from) return false;
    if (w->window() != window || w->focusProxy()) continue;
    if (!(w->focusPolicy() & Qt::TabFocus)) continue;
    if (!CanTakeFocus(w, window)) continue;
    w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
}

QString DecodeHistory(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  const std::string_view raw(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return QString::fromStdString(Cp932ToUtf8(raw));
}

}  // namespace

bool KeyMaskAccepts(TKeyMask mask, QChar c) {
  if (c == QLatin1Char('\b') || c == QLatin1Char('\r')) return true;
  switch (mask) {
    case TKeyMask::mkDefault:
      return true;
    case TKeyMask::mkNumeric:
    case TKeyMask::mkIntegerPlus:
      return IsDigit(c);
    case TKeyMask::mkExtNumeric:
      return IsDigit(c) || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.');
    case TKeyMask::mkCharcter:
      return IsLetter(c);
    case TKeyMask::mkDate:
      return IsDigit(c) || c == QLatin1Char('/');
    case TKeyMask::mkInteger:
      return IsDigit(c) || c == QLatin1Char('-');
    case TKeyMask::mkReal:
      return IsDigit(c) || c == QLatin1Char('-') || c == QLatin1Char('.');
    case TKeyMask::mkRealPlus:
      return IsDigit(c) || c == QLatin1Char('.');
  }
  return false;
}

QString FilterByKeyMask(TKeyMask mask, const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    // Control characters (tabs, line breaks, backspace) never go into a one-line text.
    if (c.category() == QChar::Other_Control) continue;
    if (KeyMaskAccepts(mask, c)) out += c;
  }
  return out;
}

bool MoveFocusByLink(QWidget* from, const TMoveLinks& links, TMoveKey key) {
  const QString* name = nullptr;
  bool forward = true;
  switch (key) {
    case TMoveKey::Enter: name = &links.ExitByEnter; break;
    case TMoveKey::Up: name = &links.ExitByUp; forward = false; break;
    case TMoveKey::Down: name = &links.ExitByDown; break;
    case TMoveKey::Left: name = &links.ExitByLeft; forward = false; break;
    case TMoveKey::Right: name = &links.ExitByRight; break;
  }
  if (name->isEmpty()) {
    if (!links.DefaultMove) return false;
    FocusNeighbour(from, forward);
    return true;
  }
  QWidget* window = from->window();
  QWidget* target = window->findChild<QWidget*>(*name);
  if (target && (target == from || target->hasFocus())) return true;
  if (target && CanTakeFocus(target, window)) {
    target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  FocusNeighbour(from, forward);
  return true;
}

// ---------------------------------------------------------------------------
// TMovEdit

TMovEdit::TMovEdit(QWidget* parent) : QLineEdit(parent) { QLineEdit::setAlignment(alignment_); }

void TMovEdit::SetAlignment(Qt::Alignment a) {
  if (!(a & Qt::AlignVertical_Mask)) a |= Qt::AlignVCenter;
  alignment_ = a;
  QLineEdit::setAlignment(a);
}

void TMovEdit::InsertFiltered(const QString& text) {
  if (isReadOnly()) return;
  const QString filtered = FilterByKeyMask(KeyMask, text);
  if (filtered.isEmpty()) return;
  insert(filtered);
}

void TMovEdit::PasteFiltered() {
  if (const QClipboard* clip = QGuiApplication::clipboard()) InsertFiltered(clip->text());
}

void TMovEdit::keyPressEvent(QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = Mods(e);
  if (IsEnterKey(e)) {
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier)) && MoveFocusByLink(this, Links, TMoveKey::Enter)) {
      e->accept();
      return;
    }
    QLineEdit::keyPressEvent(e);  // not typed; the window's default button may take it
    return;
  }
  if ((e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) && (mods == Qt::NoModifier || mods == Qt::ControlModifier)) {
    MoveFocusByLink(this, Links, e->key() == Qt::Key_Up ? TMoveKey::Up : TMoveKey::Down);
    e->accept();
    return;
  }
  if (e->key() == Qt::Key_Left && mods == Qt::ControlModifier && AtStart(this) &&
      MoveFocusByLink(this, Links, TMoveKey::Left)) {
    e->accept();
    return;
  }
  if (e->key() == Qt::Key_Right && mods == Qt::ControlModifier && AtEnd(this) &&
      MoveFocusByLink(this, Links, TMoveKey::Right)) {
    e->accept();
    return;
  }
  if (e->matches(QKeySequence::Paste)) {
    PasteFiltered();
    e->accept();
    return;
  }
  const QString text = e->text();
  if (IsSwallowedText(text)) {
    e->accept();
    return;
  }
  // Printable characters the mask rejects are dropped; shortcuts go on to
  // the edit (AltGr is a group switch here, not Ctrl+Alt).
  const bool shortcut = mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!shortcut && !text.isEmpty() && text.at(0).category() != QChar::Other_Control &&
      FilterByKeyMask(KeyMask, text) != text) {
    e->accept();
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void TMovEdit::inputMethodEvent(QInputMethodEvent* e) {
  const QString filtered = FilterByKeyMask(KeyMask, e->commitString());
  if (filtered == e->commitString()) {
    QLineEdit::inputMethodEvent(e);
    return;
  }
  QInputMethodEvent copy(e->preeditString(), e->attributes());
  copy.setCommitString(filtered, e->replacementStart(), e->replacementLength());
  QLineEdit::inputMethodEvent(&copy);
  e->setAccepted(copy.isAccepted());
}

void TMovEdit::contextMenuEvent(QContextMenuEvent* e) {
  QMenu* menu = createStandardContextMenu();
  if (!menu) return;
  // The standard paste entry (by its name where the library sets one, else by
  // its caption in the edit's own translation) pastes through the mask.
  const QString caption = QCoreApplication::translate("QLineEdit", "&Paste");
  for (QAction* a : menu->actions()) {
    if (a->objectName() != QLatin1String("edit-paste") && a->text().section(QLatin1Char('\t'), 0, 0) != caption)
      continue;
    QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
    connect(a, &QAction::triggered, this, &TMovEdit::PasteFiltered);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}

void TMovEdit::mouseReleaseEvent(QMouseEvent* e) {
  const QClipboard* clip = QGuiApplication::clipboard();
  if (e->button() == Qt::MiddleButton && clip && clip->supportsSelection() && !isReadOnly()) {
    deselect();
    InsertFiltered(clip->text(QClipboard::Selection));
    e->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(e);
}

void TMovEdit::dropEvent(QDropEvent* e) {
  if (!e->mimeData() || !e->mimeData()->hasText()) {
    QLineEdit::dropEvent(e);
    return;
  }
  QMimeData filtered;
  filtered.setText(FilterByKeyMask(KeyMask, e->mimeData()->text()));
  QDropEvent copy(e->position(), e->possibleActions(), &filtered, e->buttons(), e->modifiers(), e->type());
  copy.setDropAction(e->dropAction());
  QLineEdit::dropEvent(&copy);
  e->setDropAction(copy.dropAction());
  e->setAccepted(copy.isAccepted());
}

// ---------------------------------------------------------------------------
// TMovComboBox

TMovComboBox::TMovComboBox(QWidget* parent) : QComboBox(parent) {}

void TMovComboBox::PrepareEditor() {
  QLineEdit* le = lineEdit();
  if (!le) return;
  const int limit = MaxLength > 0 ? MaxLength : 32767;
  if (le->maxLength() != limit) le->setMaxLength(limit);
  // Inline completion would silently turn a typed text into a longer entry
  // of the list; Enter moves the focus and adds no entry.
  if (completer()) setCompleter(nullptr);
  setInsertPolicy(QComboBox::NoInsert);
}

bool TMovComboBox::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::Polish:
    case QEvent::Show:
    case QEvent::FocusIn:
    case QEvent::KeyPress:
    case QEvent::InputMethod:
      PrepareEditor();
      break;
    default:
      break;
  }
  return QComboBox::event(e);
}

bool TMovComboBox::CaretAtStart() const { return AtStart(lineEdit()); }
bool TMovComboBox::CaretAtEnd() const { return AtEnd(lineEdit()); }

void TMovComboBox::keyPressEvent(QKeyEvent* e) {
  // With the list open the keys are the list's.
  if (view() && view()->isVisible()) {
    QComboBox::keyPressEvent(e);
    return;
  }
  const Qt::KeyboardModifiers mods = Mods(e);
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!(mods & (Qt::ControlModifier | Qt::AltModifier)) && MoveFocusByLink(this, Links, TMoveKey::Enter)) {
        e->accept();
        return;
      }
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (mods == Qt::NoModifier || mods == Qt::ControlModifier) {
        MoveFocusByLink(this, Links, e->key() == Qt::Key_Up ? TMoveKey::Up : TMoveKey::Down);
        e->accept();
        return;
      }
      break;
    case Qt::Key_Left:
      if (mods == Qt::ControlModifier && CaretAtStart() && MoveFocusByLink(this, Links, TMoveKey::Left)) {
        e->accept();
        return;
      }
      break;
    case Qt::Key_Right:
      if (mods == Qt::ControlModifier && CaretAtEnd() && MoveFocusByLink(this, Links, TMoveKey::Right)) {
        e->accept();
        return;
      }
      break;
    case Qt::Key_Space:
      // A drop-down list steps to the next item (after the last, the first);
      // an editable combo takes the blank as part of its text.
      if (!isEditable() && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        if (count() > 0) {
          const int next = currentIndex() + 1 < count() ? currentIndex() + 1 : 0;
          setCurrentIndex(next);
          emit activated(next);
          emit textActivated(itemText(next));
        }
        e->accept();
        return;
      }
      break;
    default:
      break;
  }
  if (IsSwallowedText(e->text())) {
    e->accept();
    return;
  }
  QComboBox::keyPressEvent(e);
}

// ---------------------------------------------------------------------------
// TMovComboAddHist

TMovComboAddHist::TMovComboAddHist(QWidget* parent) : TMovComboBox(parent) {
  setEditable(true);
  PrepareEditor();
}

void TMovComboAddHist::SetHistoryDir(const QString& dir) {
  dir_ = dir;
  while (dir_.size() > 1 && dir_.endsWith(QLatin1Char('/'))) dir_.chop(1);
  if (!dir_.isEmpty() && !QFileInfo(dir_).isDir()) QDir().mkpath(dir_);
  LoadHistory();
}

void TMovComboAddHist::SetHistoryFile(const QString& file) {
  file_ = file;
  LoadHistory();
}

QString TMovComboAddHist::HistoryPath() const {
  if (file_.isEmpty()) return QString();
  // Without a folder the name stands alone (never the file system root).
  if (dir_.isEmpty()) return file_;
  return QDir(dir_).filePath(file_);
}

void TMovComboAddHist::AddHistory() {
  const QString text = currentText();
  if (text.trimmed().isEmpty()) return;
  {
    const QSignalBlocker quiet(this);
    const int old = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (old != 0) {
      if (old > 0) removeItem(old);
      insertItem(0, text);
    }
    if (MaxData > 0)
      while (count() > MaxData) removeItem(count() - 1);
  }
  setCurrentIndex(0);
  if (isEditable() && currentText() != text) setEditText(text);
}

bool TMovComboAddHist::SaveHistory() {
  AddHistory();
  const QString path = HistoryPath();
  if (path.isEmpty()) return true;
  if (!dir_.isEmpty() && !QFileInfo(dir_).isDir()) return false;
  QStringList lines;
  static const QRegularExpression kBreaks(QStringLiteral("[\r\n]+"));
  for (int i = 0; i < count(); ++i) lines << itemText(i).replace(kBreaks, QStringLiteral(" "));
  QByteArray data = lines.join(QLatin1Char('\n')).toUtf8();
  if (!lines.isEmpty()) data += '\n';
  // The new list goes to a temporary file beside the old one and replaces it
  // only when completely written. Unbuffered, so that a short write (a full
  // disk, a size limit) shows here: an error in the final flush of a
  // buffered save file does not stop the rename.
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
  if (out.write(data) != data.size() || out.error() != QFileDevice::NoError) {
    out.cancelWriting();  // the temporary file goes, the old list stays
    return false;
  }
  return out.commit();
}

void TMovComboAddHist::LoadHistory() {
  const QString path = HistoryPath();
  if (path.isEmpty() || !QFileInfo(path).isFile()) return;
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) return;
  const QString text = DecodeHistory(in.readAll());
  static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\r|\n"));
  QStringList entries;
  for (const QString& line : text.split(kLineEnd)) {
    if (line.trimmed().isEmpty() || entries.contains(line)) continue;
    entries << line;
    if (MaxData > 0 && entries.size() >= MaxData) break;
  }
  const QString edited = currentText();
  {
    const QSignalBlocker quiet(this);
    clear();
    addItems(entries);
    setCurrentIndex(isEditable() || entries.isEmpty() ? -1 : 0);
  }
  if (isEditable()) setEditText(edited);
}

void TMovComboAddHist::focusOutEvent(QFocusEvent* e) {
  TMovComboBox::focusOutEvent(e);
  // Opening the list or leaving the window is not leaving the control.
  const Qt::FocusReason r = e->reason();
  if (r == Qt::PopupFocusReason || r == Qt::ActiveWindowFocusReason || r == Qt::MenuBarFocusReason) return;
  AddHistory();
}

}  // namespace dlvr

#include "moc_mov_controls.cpp"
