#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace dlvr {

std::unique_ptr<QTranslator> InstallQtTranslations(bool japanese, const QString& folder) {
  if (!japanese) return nullptr;
  const QString dir = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  // "qt" pulls in every Qt module's file; qtbase alone holds the dialogs' texts.
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qt_ja"), dir) && !translator->load(QStringLiteral("qtbase_ja"), dir))
    return nullptr;
  if (!QCoreApplication::installTranslator(translator.get())) return nullptr;
  return translator;
}

}  // namespace dlvr
