// Opening a file or folder with the desktop's application for its type.
// Asking the desktop to open a file succeeds as soon as its opener program
// starts, whether or not any application takes that type; so the desktop's
// own records are asked first: the default applications of mimeapps.list
// and the types the installed .desktop entries declare (mimeinfo.cache, or
// the entries themselves), in the XDG folders of the user and the system.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace dlvr {

// The desktop entry (a file name such as "org.gnome.Evince.desktop") that
// opens files of `mimeType` or of a type it derives from (a subclass or an
// alias, as the MIME database has them); "" when no installed application
// is registered for any of them. GUI thread or not: reads files only.
QString DesktopHandlerFor(const QString& mimeType);

// The MIME type of a local file or folder, by content and name.
QString MimeTypeOfFile(const QString& path);

// Opens `url` with the desktop: a local file or folder only when an
// application is registered for its type (false otherwise, and nothing is
// started); anything else as the desktop opens it.
bool OpenWithDesktop(const QUrl& url);

}  // namespace dlvr
