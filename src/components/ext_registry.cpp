#include "components/ext_registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <memory>

namespace dlvr {
namespace {

const char kOrganisation[] = "Tavrin";
QString g_programName;

// `name` as stored among `names`: the exact spelling, else one differing in
// case only, else empty.
QString StoredName(const QStringList& names, const QString& name) {
  if (names.contains(name)) return name;
  for (const QString& n : names)
    if (n.compare(name, Qt::CaseInsensitive) == 0) return n;
  return QString();
}

struct OpenedKey {
  std::unique_ptr<QSettings> Settings;
  bool Exists = false;
};

// Opens Software\Tavrin\<parts...> without creating anything: the first
// part names the settings file, the others are groups. Each part is found
// without regard to case when the exact spelling is not stored.
OpenedKey OpenKey(QStringList parts) {
  OpenedKey key;
  const QString application = parts.isEmpty() ? QString() : parts.takeFirst();
  auto open = [](const QString& app) {
    auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, app);
    s->setFallbacksEnabled(false);  // the user's own settings only, never system-wide ones
    return s;
  };
  key.Settings = open(application);
  if (!application.isEmpty() && !QFileInfo::exists(key.Settings->fileName())) {
    const QFileInfo file(key.Settings->fileName());
    if (file.dir().exists()) {
      const QStringList stored = file.dir().entryList({"*." + file.suffix()}, QDir::Files);
      for (const QString& f : stored) {
        const QString base = QFileInfo(f).completeBaseName();
        if (base.compare(application, Qt::CaseInsensitive) == 0) {
          key.Settings = open(base);
          break;
        }
      }
    }
  }
  QSettings& s = *key.Settings;
  key.Exists = !s.childKeys().isEmpty() || !s.childGroups().isEmpty();
  for (const QString& part : parts) {
    QString group = key.Exists ? StoredName(s.childGroups(), part) : QString();
    if (group.isEmpty()) {
      key.Exists = false;
      group = part;
    }
    s.beginGroup(group);
  }
  return key;
}

QString ValueName(const QSettings& s, const QString& name) {
  if (s.contains(name)) return name;
  const QString stored = StoredName(s.childKeys(), name);
  return stored.isEmpty() ? name : stored;
}

bool IsNumber(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return true;
    default:
      return false;
  }
}

bool IsText(const QVariant& v) {
  return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QStringList;
}

// A text value as stored; an unquoted list in a hand-edited file reads as
// a list.
QString Text(const QVariant& v) {
  return v.typeId() == QMetaType::QStringList ? v.toStringList().join(", ") : v.toString();
}

}  // namespace

QString TExtRegistry::NoSection() { return QStringLiteral("（なし）"); }

QString TExtRegistry::ProgramName() {
  if (!g_programName.isEmpty()) return g_programName;
  QString name;
  if (QCoreApplication::instance()) name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  return name.isEmpty() ? QStringLiteral("dlvrview") : name;
}

void TExtRegistry::SetProgramNameForTests(const QString& name) { g_programName = name; }

QString TExtRegistry::FormName(const QWidget* form) {
  if (!form) return QString();
  if (!form->objectName().isEmpty()) return form->objectName();
  QString name = QString::fromLatin1(form->metaObject()->className());
  name = name.mid(name.lastIndexOf(':') + 1);
  if (name.size() > 1 && name.startsWith('T')) name.remove(0, 1);
  return name;
}

bool TExtRegistry::IsSizeable(const QWidget* form) {
  return form && form->minimumSize() != form->maximumSize() &&
         !form->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
}

TExtRegistry::TExtRegistry(const QString& owner) : section_(owner.isEmpty() ? NoSection() : owner) {}

void TExtRegistry::SetSection(const QString& section) { section_ = section.isEmpty() ? NoSection() : section; }

QString TExtRegistry::KeyPath() const {
  QString key = QStringLiteral("Software\\Tavrin");
  if (UseAppName) key += "\\" + ProgramName();
  if (section_ != NoSection()) key += "\\" + section_;
  return key;
}

namespace {

QStringList KeyParts(const QString& keyPath) { return keyPath.split('\\', Qt::SkipEmptyParts).mid(2); }

QVariant ReadValue(const QString& keyPath, const QString& name) {
  OpenedKey key = OpenKey(KeyParts(keyPath));
  if (!key.Exists) return QVariant();
  return key.Settings->value(ValueName(*key.Settings, name));
}

void WriteValue(const QString& keyPath, const QString& name, const QVariant& value) {
  OpenedKey key = OpenKey(KeyParts(keyPath));
  key.Settings->setValue(ValueName(*key.Settings, name), value);
}

}  // namespace

bool TExtRegistry::KeyExists() const { return OpenKey(KeyParts(KeyPath())).Exists; }

QString TExtRegistry::ReadString(const QString& name, const QString& def) const {
  const QVariant v = ReadValue(KeyPath(), name);
  if (IsText(v)) return Text(v);
  if (IsNumber(v)) return v.toString();
  return def;
}

void TExtRegistry::WriteString(const QString& name, const QString& value) { WriteValue(KeyPath(), name, value); }

bool TExtRegistry::ReadBool(const QString& name, bool def) const {
  const QVariant v = ReadValue(KeyPath(), name);
  if (v.typeId() == QMetaType::Bool) return v.toBool();
  if (IsNumber(v)) return v.toLongLong() != 0;
  if (!IsText(v)) return def;
  const QString s = Text(v).trimmed();
  if (s.compare("true", Qt::CaseInsensitive) == 0) return true;
  if (s.compare("false", Qt::CaseInsensitive) == 0) return false;
  bool ok = false;
  const qlonglong i = s.toLongLong(&ok);
  return ok ? i != 0 : def;
}

void TExtRegistry::WriteBool(const QString& name, bool value) { WriteValue(KeyPath(), name, value); }

bool TExtRegistry::TryReadInteger(const QString& name, int& value) const {
  const QVariant v = ReadValue(KeyPath(), name);
  if (v.typeId() == QMetaType::UInt) {
    // A double word above the signed range reads as its two's complement.
    value = static_cast<int>(v.toUInt());
    return true;
  }
  bool ok = false;
  qlonglong i = 0;
  if (IsNumber(v)) {
    i = v.toLongLong(&ok);
  } else if (IsText(v)) {
    i = Text(v).trimmed().toLongLong(&ok);
  }
  if (!ok || i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(i);
  return true;
}

int TExtRegistry::ReadInteger(const QString& name, int def) const {
  int value = def;
  return TryReadInteger(name, value) ? value : def;
}

void TExtRegistry::WriteInteger(const QString& name, int value) { WriteValue(KeyPath(), name, value); }

QByteArray TExtRegistry::ReadBinary(const QString& name, const QByteArray& def, int size) const {
  const QVariant v = ReadValue(KeyPath(), name);
  if (v.typeId() == QMetaType::QByteArray) {
    QByteArray b = v.toByteArray();
    return b.size() == size ? b : def;
  }
  if (IsText(v)) return Text(v).toUtf8();
  return def;
}

void TExtRegistry::WriteBinary(const QString& name, const QByteArray& data) { WriteValue(KeyPath(), name, data); }

void TExtRegistry::WriteBinary(const QString& name, const void* data, int size) {
  WriteBinary(name, data && size > 0 ? QByteArray(static_cast<const char*>(data), size) : QByteArray());
}

// ---------------------------------------------------------------------------
// Window placement

TWinPlacement TExtRegistry::ReadPlacement(const QWidget* form) const {
  TWinPlacement p;
  if (!form) return p;
  p.Size = form->size();
  int top = 0, left = 0, width = 0, height = 0;
  p.Complete = TryReadInteger("Top", top) && TryReadInteger("Left", left);
  if (p.Complete && IsSizeable(form)) {
    // A size of nothing is damage, not a placement.
    p.Complete = TryReadInteger("Width", width) && TryReadInteger("Height", height) && width > 0 && height > 0;
    if (p.Complete) p.Size = QSize(width, height);
  }
  if (p.Complete) p.Pos = QPoint(left, top);
  if (!TryReadInteger("WindowState", p.WindowState) || p.WindowState < 0 || p.WindowState > 2) p.WindowState = -1;
  return p;
}

void TExtRegistry::WritePlacement(const QWidget* form) {
  if (!form) return;
  const Qt::WindowStates states = form->windowState();
  const int state = states.testFlag(Qt::WindowMinimized)                                               ? 1
                    : (states.testFlag(Qt::WindowMaximized) || states.testFlag(Qt::WindowFullScreen)) ? 2
                                                                                                       : 0;
  WriteInteger("WindowState", state);
  if (state != 0) return;  // the stored normal placement stays for the next normal start
  WriteInteger("Top", form->pos().y());
  WriteInteger("Left", form->pos().x());
  if (IsSizeable(form)) {
    WriteInteger("Width", form->width());
    WriteInteger("Height", form->height());
  }
}

namespace {

TExtRegistry PlacementKey(const QWidget* form) {
  TExtRegistry key;
  key.SetSection(TExtRegistry::FormName(form) + "\\WinPos");
  return key;
}

void ApplyNormal(QWidget* form, const TWinPlacement& p) {
  form->setWindowState(form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  form->move(p.Pos);
  form->resize(p.Size);
}

// A window stored minimised opens normal: a window that starts as an icon
// looks like one that never opened.
void ApplyState(QWidget* form, const TWinPlacement& p) {
  if (p.WindowState == 2) form->setWindowState((form->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

}  // namespace

bool TExtRegistry::LoadWindowPlacement(QWidget* form) {
  if (!form || placementLoaded_) return false;
  placementLoaded_ = true;
  const TWinPlacement p = PlacementKey(form).ReadPlacement(form);
  if (p.Complete) ApplyNormal(form, p);
  ApplyState(form, p);
  return p.Complete;
}

void TExtRegistry::RestoreWindowPlacement(QWidget* form) {
  if (!form || placementLoaded_) return;
  placementLoaded_ = true;
  const TWinPlacement p = PlacementKey(form).ReadPlacement(form);
  if (p.Complete) {
    ApplyNormal(form, p);
  } else {
    QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    form->move(area.x() + std::max(0, (area.width() - form->width()) / 2),
               area.y() + std::max(0, (area.height() - form->height()) / 2));
  }
  ApplyState(form, p);
}

void TExtRegistry::SaveWindowPlacement(const QWidget* form) {
  if (!form) return;
  PlacementKey(form).WritePlacement(form);
}

TUiLanguageChoice ReadUiLanguageChoice() {
  const QString v = TExtRegistry().ReadString(QStringLiteral("UiLanguage"), QString()).trimmed().toLower();
  if (v == QLatin1String("ja")) return TUiLanguageChoice::Japanese;
  if (v == QLatin1String("en")) return TUiLanguageChoice::English;
  return TUiLanguageChoice::Automatic;
}

void WriteUiLanguageChoice(TUiLanguageChoice choice) {
  const char* v = choice == TUiLanguageChoice::Japanese ? "ja" : choice == TUiLanguageChoice::English ? "en" : "auto";
  TExtRegistry().WriteString(QStringLiteral("UiLanguage"), QString::fromLatin1(v));
}

}  // namespace dlvr
