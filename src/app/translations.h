// Qt's own texts (the print and file dialogs, button names, type names) in
// Japanese when the program speaks Japanese.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace dlvr {

// With `japanese`, loads Qt's Japanese translations from `folder` (empty:
// Qt's own translations folder) and installs them in the application; the
// translator, which takes itself out when it goes, or null when none was
// installed. The caller keeps it while the application runs.
std::unique_ptr<QTranslator> InstallQtTranslations(bool japanese, const QString& folder = QString());

}  // namespace dlvr
