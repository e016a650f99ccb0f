#include "components/desktop_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

namespace dlvr {
namespace {

// The folders the desktop keeps its applications' records in, the user's
// first: XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_DATA_HOME/applications,
// XDG_DATA_DIRS/applications.
QStringList ConfigFolders() {
  QStringList out;
  const QString home = qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
  out << home;
  const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
  out << dirs.split(u':', Qt::SkipEmptyParts);
  return out;
}

QStringList ApplicationFolders() {
  QStringList out;
  const QString home = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
  out << home + QStringLiteral("/applications");
  const QString dirs = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
  for (const QString& d : dirs.split(u':', Qt::SkipEmptyParts)) out << d + QStringLiteral("/applications");
  return out;
}

// The value of `key` in `group` of an INI-like desktop file, split at ';'.
QStringList ListValue(const QString& file, const QString& group, const QString& key) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream in(&f);
  bool inGroup = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(u'[')) {
      inGroup = line == u'[' + group + u']';
      continue;
    }
    if (!inGroup) continue;
    const qsizetype eq = line.indexOf(u'=');
    if (eq > 0 && line.left(eq).trimmed() == key) return line.mid(eq + 1).split(u';', Qt::SkipEmptyParts);
  }
  return {};
}

// Whether an installed desktop entry of that name exists.
bool EntryInstalled(const QString& entry) {
  for (const QString& folder : ApplicationFolders())
    if (QFileInfo(folder + u'/' + entry).isFile()) return true;
  return false;
}

QString HandlerOfExactType(const QString& type) {
  // Defaults and added associations the user or the system chose.
  QStringList lists;
  for (const QString& folder : ConfigFolders()) lists << folder + QStringLiteral("/mimeapps.list");
  for (const QString& folder : ApplicationFolders()) lists << folder + QStringLiteral("/mimeapps.list");
  for (const QString& list : lists)
    for (const QString& group : {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")})
      for (const QString& entry : ListValue(list, group, type))
        if (EntryInstalled(entry)) return entry;
  // What installed applications declare, through the cache update-desktop-
  // database keeps, else the entries themselves.
  for (const QString& folder : ApplicationFolders()) {
    for (const QString& entry : ListValue(folder + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache"), type))
      if (EntryInstalled(entry)) return entry;
    const QFileInfoList entries = QDir(folder).entryInfoList({QStringLiteral("*.desktop")}, QDir::Files);
    for (const QFileInfo& e : entries)
      if (ListValue(e.filePath(), QStringLiteral("Desktop Entry"), QStringLiteral("MimeType")).contains(type))
        return e.fileName();
  }
  return QString();
}

}  // namespace

QString DesktopHandlerFor(const QString& mimeType) {
  if (mimeType.isEmpty()) return QString();
  QMimeDatabase db;
  const QMimeType type = db.mimeTypeForName(mimeType);
  QStringList names{mimeType};
  if (type.isValid()) {
    names << type.name() << type.aliases() << type.allAncestors();
  }
  QSet<QString> seen;
  for (const QString& name : names) {
    // Every file is application/octet-stream at heart: a handler of that
    // alone (a hex editor, say) is no application for the file's type.
    if (name == u"application/octet-stream" || seen.contains(name)) continue;
    seen.insert(name);
    const QString handler = HandlerOfExactType(name);
    if (!handler.isEmpty()) return handler;
  }
  return QString();
}

QString MimeTypeOfFile(const QString& path) {
  QMimeDatabase db;
  return db.mimeTypeForFile(path).name();
}

bool OpenWithDesktop(const QUrl& url) {
  if (url.isLocalFile() && DesktopHandlerFor(MimeTypeOfFile(url.toLocalFile())).isEmpty()) return false;
  return QDesktopServices::openUrl(url);
}

}  // namespace dlvr
