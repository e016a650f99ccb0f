// TExtRegistry: the current user's settings of one component, under the key
//   Software\Tavrin [\<program>] [\<section>]
// kept with QSettings in native format: organisation "Tavrin", application =
// the first key component after it (on Linux ~/.config/Tavrin/<app>.conf),
// groups for the rest. Like the registry, key and value names are matched
// without regard to case when the exact spelling is not stored.
//
// Reads never fail: a missing key, a missing value or a value of another
// kind gives the default. Writes create the key.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

namespace dlvr {

// A window placement as stored: WindowState 0 normal, 1 minimised,
// 2 maximised, -1 not stored.
struct TWinPlacement {
  bool Complete = false;  // Top, Left (and for a sizeable form Width, Height) read
  QPoint Pos;             // Left, Top: the frame's position (QWidget::pos)
  QSize Size;             // Width, Height: the form's own size
  int WindowState = -1;
};

class TExtRegistry {
 public:
  // The section that adds no key part: "（なし）".
  static QString NoSection();

  // `owner`: the owning component's name, which is the section at start
  // ("（なし）" without one).
  explicit TExtRegistry(const QString& owner = QString());

  // With the program's name after "Software\Tavrin" (default on).
  bool UseAppName = true;
  QString Section() const { return section_; }
  // An empty text stores "（なし）". A section may hold several key parts
  // ("QLNXMLViewer\FrmViewer").
  void SetSection(const QString& section);

  // "Software\Tavrin" [+ "\" + program] [+ "\" + section].
  QString KeyPath() const;
  // Whether the key is stored (opened without creating it).
  bool KeyExists() const;

  QString ReadString(const QString& name, const QString& def) const;
  void WriteString(const QString& name, const QString& value);
  // "true"/"false" or an integer (non-zero is true).
  bool ReadBool(const QString& name, bool def) const;
  void WriteBool(const QString& name, bool value);
  int ReadInteger(const QString& name, int def) const;
  void WriteInteger(const QString& name, int value);
  // False (and `value` untouched) when the value is missing or no integer.
  bool TryReadInteger(const QString& name, int& value) const;
  // A text value comes back as its text (UTF-8); a binary value only when
  // it holds exactly `size` bytes; anything else gives the default.
  QByteArray ReadBinary(const QString& name, const QByteArray& def, int size) const;
  void WriteBinary(const QString& name, const QByteArray& data);
  void WriteBinary(const QString& name, const void* data, int size);

  // Window placement kept under Software\Tavrin\<program>\<form name>\WinPos
  // (values Top, Left, Width, Height, WindowState 0 normal / 1 minimised /
  // 2 maximised). Left and Top are the frame's position (QWidget::pos),
  // Width and Height the form's own size; only a sizeable form takes the
  // stored size.
  // Load applies the stored placement, once per component; false when a
  // value is missing (then only a stored maximised state is applied). A
  // window stored minimised comes back normal.
  bool LoadWindowPlacement(QWidget* form);
  // Load, and without a stored placement centre the form on its screen (not
  // above or left of the screen's edge).
  void RestoreWindowPlacement(QWidget* form);
  // Writes WindowState, and for a normal window Top and Left, plus Width
  // and Height for a sizeable form (a maximised window keeps its stored
  // normal placement).
  void SaveWindowPlacement(const QWidget* form);

  // The placement values in this component's key, and their writing (what
  // SaveWindowPlacement writes, here). `Size` is the form's current size for
  // a form that is not sizeable.
  TWinPlacement ReadPlacement(const QWidget* form) const;
  void WritePlacement(const QWidget* form);

  // The program's file name without extension (the executable's name).
  static QString ProgramName();
  // For tests: the program name used in keys ("" restores the real one).
  static void SetProgramNameForTests(const QString& name);
  // A form's name in keys: its object name, else its class name without
  // namespace and leading "T" (TfrmMain -> frmMain).
  static QString FormName(const QWidget* form);
  // Whether the user can size the form (minimum and maximum size differ).
  static bool IsSizeable(const QWidget* form);

 private:
  QString section_;
  bool placementLoaded_ = false;
};

// The language of the program's texts the user chose, kept as the text value
// "UiLanguage" of the program's key ("ja", "en", "auto"; anything else reads
// as automatic: the system's language).
enum class TUiLanguageChoice { Automatic, Japanese, English };
TUiLanguageChoice ReadUiLanguageChoice();
void WriteUiLanguageChoice(TUiLanguageChoice choice);

}  // namespace dlvr
