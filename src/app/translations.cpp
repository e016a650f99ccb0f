#include "app/translations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

namespace dlvr {
namespace {

bool IsJapaneseName(const QString& name) {
  const QString n = name.trimmed().remove('"').remove('\'');
  return n == QLatin1String("ja") || n.startsWith(QLatin1String("ja_")) || n.startsWith(QLatin1String("ja-")) ||
         n.startsWith(QLatin1String("ja."));
}

}  // namespace

QString SystemLocaleText() {
  for (const char* path : {"/etc/default/locale", "/etc/locale.conf"}) {
    QFile f(QString::fromLatin1(path));
    if (f.open(QIODevice::ReadOnly)) return QString::fromUtf8(f.read(64 * 1024));
  }
  return QString();
}

bool WantsJapanese(const QStringList& uiLanguages, const QString& systemLocaleText) {
  for (const QString& l : uiLanguages)
    if (IsJapaneseName(l)) return true;
  // LANG=ja_JP.UTF-8 (or LC_MESSAGES / LC_ALL) in the system's locale file.
  static const QRegularExpression line(QStringLiteral("^\\s*(?:export\\s+)?(LANG|LC_ALL|LC_MESSAGES)\\s*=\\s*(\\S+)"),
                                       QRegularExpression::MultilineOption);
  for (auto it = line.globalMatch(systemLocaleText); it.hasNext();)
    if (IsJapaneseName(it.next().captured(2))) return true;
  return false;
}

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
