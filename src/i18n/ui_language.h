// The language of the program's own texts: Japanese (the texts as written in
// the code) or English (the translations under translations/). Both programs
// take it from the environment; the viewer's setting can overrule that.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace dlvr {

enum class UiLanguage { Japanese, English };

// The language a POSIX locale name asks for: English for "en..." ("en_US.UTF-8",
// "en"), Japanese for anything else, "C" and "POSIX" included, so that scripts
// without a locale keep the Japanese texts.
UiLanguage LanguageOfLocaleName(const QString& name);

// The language of the environment: the first set of LC_ALL, LC_MESSAGES and
// LANG, as the C library reads them.
UiLanguage LanguageFromEnvironment();

// "ja" or "en".
QString LanguageCode(UiLanguage lang);

// Installs the translations of the program's texts for `lang` in the
// application and the core's translation hook; Japanese installs nothing (and
// takes out what an earlier call installed). Needs a QCoreApplication. The
// language stays until the next call.
void InstallUiTranslations(UiLanguage lang);

// The language installed last (Japanese before any call).
UiLanguage InstalledUiLanguage();

// A text of the program (its Japanese source text and translation context)
// in `lang`, whatever language is installed: to ask a question in the
// language the user just chose. The source text itself for Japanese or
// where no translation is found.
QString TranslateIn(UiLanguage lang, const char* context, const char* source);

// The English translation files built into the program (resource paths), for
// tests that look at their completeness.
QStringList TranslationFiles();

}  // namespace dlvr
