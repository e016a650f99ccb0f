#include "panes/short_path.h"

namespace dlvr {

QString ShortenPath(const QString& path, int width, const std::function<int(const QString&)>& textWidth) {
  const qsizetype cut = path.lastIndexOf('/');
  QString folder = path.left(cut + 1);
  const QString name = path.mid(cut + 1);
  const QString dots = QStringLiteral(".../");
  while (!folder.isEmpty() && textWidth(folder + name) > width) {
    if (folder == "/" + dots) {
      folder = dots;
      continue;
    }
    if (folder == "/") {
      folder.clear();
      continue;
    }
    QString lead;
    if (folder.startsWith('/')) {
      lead = "/";
      folder.remove(0, 1);
    }
    if (folder.startsWith(dots)) folder.remove(0, dots.size());
    const qsizetype slash = folder.indexOf('/');
    folder = slash < 0 ? QString() : lead + dots + folder.mid(slash + 1);
  }
  return folder + name;
}

QString ShortenPath(const QString& path, int width, const QFontMetrics& metrics) {
  return ShortenPath(path, width, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); });
}

}  // namespace dlvr
