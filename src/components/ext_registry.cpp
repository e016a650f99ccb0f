#include "components/ext_registry.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <memory>

namespace dlvr {
namespace {

const QString kNone = QStringLiteral("（なし）");
QString g_programName;

std::unique_ptr<QSettings> Open(const QString& application, const QString& group) {
  auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Tavrin",
                                       application.isEmpty() ? QStringLiteral("Tavrin") : application);
  if (!group.isEmpty()) s->beginGroup(group);
  return s;
}

}  // namespace

QString TExtRegistry::ProgramName() {
  if (!g_programName.isEmpty()) return g_programName;
  QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return name.isEmpty() ? QStringLiteral("dlvrview") : name;
}

void TExtRegistry::SetProgramNameForTests(const QString& name) { g_programName = name; }

TExtRegistry::TExtRegistry(const QString& owner) : section_(owner.isEmpty() ? kNone : owner) {}

void TExtRegistry::SetSection(const QString& section) { section_ = section.isEmpty() ? kNone : section; }

QString TExtRegistry::KeyPath() const {
  QString key = QStringLiteral("Software\\Tavrin");
  if (UseAppName) key += "\\" + ProgramName();
  if (section_ != kNone) key += "\\" + section_;
  return key;
}

void TExtRegistry::Split(QString& application, QString& group) const {
  // Software\Tavrin\<first>\<rest...>: the first component names the file.
  QStringList parts = KeyPath().split('\\').mid(2);
  application = parts.isEmpty() ? QString() : parts.takeFirst();
  group = parts.join('/');
}

QString TExtRegistry::ReadString(const QString& name, const QString& def) const {
  QString app, group;
  Split(app, group);
  QVariant v = Open(app, group)->value(name);
  return v.isValid() && v.canConvert<QString>() ? v.toString() : def;
}

void TExtRegistry::WriteString(const QString& name, const QString& value) {
  QString app, group;
  Split(app, group);
  Open(app, group)->setValue(name, value);
}

bool TExtRegistry::ReadBool(const QString& name, bool def) const {
  QString app, group;
  Split(app, group);
  QVariant v = Open(app, group)->value(name);
  if (!v.isValid()) return def;
  QString s = v.toString().toLower();
  if (s == "true" || s == "1") return true;
  if (s == "false" || s == "0") return false;
  return def;
}

void TExtRegistry::WriteBool(const QString& name, bool value) {
  QString app, group;
  Split(app, group);
  Open(app, group)->setValue(name, value);
}

int TExtRegistry::ReadInteger(const QString& name, int def) const {
  QString app, group;
  Split(app, group);
  QVariant v = Open(app, group)->value(name);
  bool ok = false;
  int i = v.toInt(&ok);
  return v.isValid() && ok ? i : def;
}

void TExtRegistry::WriteInteger(const QString& name, int value) {
  QString app, group;
  Split(app, group);
  Open(app, group)->setValue(name, value);
}

QByteArray TExtRegistry::ReadBinary(const QString& name, const QByteArray& def, int size) const {
  QString app, group;
  Split(app, group);
  QVariant v = Open(app, group)->value(name);
  if (!v.isValid()) return def;
  if (v.typeId() == QMetaType::QByteArray) {
    QByteArray b = v.toByteArray();
    return b.size() == size ? b : def;
  }
  return v.toString().toUtf8();
}

void TExtRegistry::WriteBinary(const QString& name, const QByteArray& data) {
  QString app, group;
  Split(app, group);
  Open(app, group)->setValue(name, data);
}

bool TExtRegistry::LoadWindowPlacement(QWidget* form) const {
  if (!form) return false;
  auto s = Open(ProgramName(), form->objectName() + "/WinPos");
  bool ok1 = false, ok2 = false, ok3 = true, ok4 = true;
  int top = s->value("Top").toInt(&ok1);
  int left = s->value("Left").toInt(&ok2);
  int width = form->width(), height = form->height();
  bool sizeable = form->minimumSize() != form->maximumSize();
  if (sizeable) {
    width = s->value("Width").toInt(&ok3);
    height = s->value("Height").toInt(&ok4);
  }
  bool okState = false;
  int state = s->value("WindowState").toInt(&okState);
  if (!(ok1 && ok2 && ok3 && ok4)) {
    if (okState && state == 2) form->setWindowState(Qt::WindowMaximized);
    return false;
  }
  form->setWindowState(Qt::WindowNoState);
  form->setGeometry(left, top, width, height);
  if (okState && state == 2) form->setWindowState(Qt::WindowMaximized);
  if (okState && state == 1) form->setWindowState(Qt::WindowMinimized);
  return true;
}

void TExtRegistry::RestoreWindowPlacement(QWidget* form) const {
  if (!form || LoadWindowPlacement(form)) return;
  QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect();
  form->move(std::max(0, screen.x() + (screen.width() - form->width()) / 2),
             std::max(0, screen.y() + (screen.height() - form->height()) / 2));
}

}  // namespace dlvr
