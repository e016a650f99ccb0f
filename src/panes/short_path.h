// A path shortened to fit a width, for captions and columns that show
// where a file lies.
#pragma once

#include <QFontMetrics>
#include <QString>

#include <functional>

namespace dlvr {

// Fits a path into `width` (as measured by `textWidth`) by replacing its
// leading folders with ".../", one at a time: "/a/b/c/" becomes
// "/.../b/c/", then "/.../c/", "/.../", ".../" and finally the bare file
// name (empty for a folder path ending in '/'). The file name is never cut.
QString ShortenPath(const QString& path, int width, const std::function<int(const QString&)>& textWidth);
QString ShortenPath(const QString& path, int width, const QFontMetrics& metrics);

}  // namespace dlvr
