// Qt's own texts (the print and file dialogs, button names, type names) in
// Japanese when the user's or the system's language is Japanese.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>

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
// translator, which takes itself out when it goes, or null when none was
// installed. The caller keeps it while the application runs.
std::unique_ptr<QTranslator> InstallQtTranslations(bool japanese, const QString& folder = QString());

}  // namespace dlvr
