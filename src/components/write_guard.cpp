#include "components/write_guard.h"

#include <QDir>
#include <QFileInfo>

namespace dlvr {
namespace {

QString CanonicalOrClean(const QString& path) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

}  // namespace

bool PathInsideFolders(const QString& path, const QStringList& folders) {
  // The folder the file goes into, as it is reached on disk.
  const QString target = CanonicalOrClean(QFileInfo(path).absolutePath());
  for (const QString& folder : folders) {
    if (folder.isEmpty()) continue;
    QString f = CanonicalOrClean(folder);
    if (target == f) return true;
    if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    if (target.startsWith(f)) return true;
  }
  return false;
}

}  // namespace dlvr
