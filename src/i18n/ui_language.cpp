#include "i18n/ui_language.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/translate.h"

namespace dlvr {

namespace {

std::vector<std::unique_ptr<QTranslator>>& Installed() {
  static std::vector<std::unique_ptr<QTranslator>> translators;
  return translators;
}

UiLanguage g_language = UiLanguage::Japanese;

std::string TranslateThroughQt(const char* context, const char* source) {
  return QCoreApplication::translate(context, source).toStdString();
}

}  // namespace

UiLanguage LanguageOfLocaleName(const QString& name) {
  const QString n = name.trimmed();
  if (n.size() >= 2 && n.left(2).compare(QLatin1String("en"), Qt::CaseInsensitive) == 0 &&
      (n.size() == 2 || !n[2].isLetter()))
    return UiLanguage::English;
  return UiLanguage::Japanese;
}

UiLanguage LanguageFromEnvironment() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return LanguageOfLocaleName(QString::fromLocal8Bit(v));
  }
  return UiLanguage::Japanese;
}

QString LanguageCode(UiLanguage lang) {
  return lang == UiLanguage::English ? QStringLiteral("en") : QStringLiteral("ja");
}

QStringList TranslationFiles() {
  QStringList files;
  const QDir dir(QStringLiteral(":/i18n"));
  for (const QString& name : dir.entryList({QStringLiteral("*_en.qm")}, QDir::Files, QDir::Name))
    files << dir.filePath(name);
  return files;
}

void InstallUiTranslations(UiLanguage lang) {
  auto& translators = Installed();
  translators.clear();  // a translator takes itself out of the application when it goes
  SetTranslateHook(nullptr);
  g_language = lang;
  if (lang == UiLanguage::Japanese) return;
  for (const QString& file : TranslationFiles()) {
    auto t = std::make_unique<QTranslator>();
    if (t->load(file) && QCoreApplication::installTranslator(t.get())) translators.push_back(std::move(t));
  }
  SetTranslateHook(&TranslateThroughQt);
}

UiLanguage InstalledUiLanguage() { return g_language; }

QString TranslateIn(UiLanguage lang, const char* context, const char* source) {
  if (lang == UiLanguage::English) {
    // Loaded once, never installed: the program's language stays.
    static const std::vector<std::unique_ptr<QTranslator>> english = [] {
      std::vector<std::unique_ptr<QTranslator>> out;
      for (const QString& file : TranslationFiles()) {
        auto t = std::make_unique<QTranslator>();
        if (t->load(file)) out.push_back(std::move(t));
      }
      return out;
    }();
    for (const auto& t : english) {
      const QString text = t->translate(context, source);
      if (!text.isEmpty()) return text;
    }
  }
  return QString::fromUtf8(source);
}

}  // namespace dlvr
