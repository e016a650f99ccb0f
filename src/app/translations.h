// Qt's own texts (the print and file dialogs, button names, type names) in
// Japanese when the user's or the system's language is Japanese.
#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

namespace dlvr {

// True when one of the user's interface languages (`uiLanguages`, most
// preferred first, e.g. "ja-JP") or the system's configured locale (the
// text of /etc/default/locale or /etc/locale.conf) is Japanese.
bool WantsJapanese(const QStringList& uiLanguages, const QString& systemLocaleText);

// The system's configured locale: the text of /etc/default/locale or
// /etc/locale.conf ("" when neither can be read).
QString SystemLocaleText();

// With `japanese`, loads Qt's Japanese translations from `folder` (empty:
// Qt's own translations folder) and installs them in the application; the
// translator (owned by the application), or null when none was installed.
QTranslator* InstallQtTranslations(bool japanese, const QString& folder = QString());

}  // namespace dlvr
