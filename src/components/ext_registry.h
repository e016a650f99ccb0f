// Settings of the current user under Software\Tavrin\<program>\<section>,
// kept with QSettings: organisation "Tavrin", application = the first key
// component after it, groups for the rest.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

namespace dlvr {

class TExtRegistry {
 public:
  // `owner`: the owning component's name, the section at start ("（なし）"
  // without one).
  explicit TExtRegistry(const QString& owner = QString());

  bool UseAppName = true;
  QString Section() const { return section_; }
  // An empty section is stored as "（なし）" (no section part).
  void SetSection(const QString& section);

  // "Software\Tavrin" [+ "\" + program] [+ "\" + section].
  QString KeyPath() const;

  QString ReadString(const QString& name, const QString& def) const;
  void WriteString(const QString& name, const QString& value);
  bool ReadBool(const QString& name, bool def) const;
  void WriteBool(const QString& name, bool value);
  int ReadInteger(const QString& name, int def) const;
  void WriteInteger(const QString& name, int value);
  // A text value is returned as text; a binary value only when it holds
  // exactly `size` bytes; anything else gives the default.
  QByteArray ReadBinary(const QString& name, const QByteArray& def, int size) const;
  void WriteBinary(const QString& name, const QByteArray& data);

  // Window placement under <program>\<form name>\WinPos; Restore centres the
  // form (not above or left of the screen) when nothing can be read.
  bool LoadWindowPlacement(QWidget* form) const;
  void RestoreWindowPlacement(QWidget* form) const;

  // The program's name without extension (the executable's base name).
  static QString ProgramName();
  // For tests: the program name used in keys ("" restores the real one).
  static void SetProgramNameForTests(const QString& name);

 private:
  // The application and group parts of KeyPath for QSettings.
  void Split(QString& application, QString& group) const;
  QString section_;
};

}  // namespace dlvr
