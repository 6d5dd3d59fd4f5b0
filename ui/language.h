#pragma once
// The language of the window: Chinese or English. It follows the system
// locale until the person picks one with the caption bar's switch; the pick
// is remembered as "Language" ("zh" or "en") under the product key.
// TIDEWELL_LANGUAGE ("zh"/"en") overrides both, for screenshots and tests.
#include <QString>

class QCoreApplication;

enum class UiLanguage { Chinese, English };

// Chinese for a zh_* locale name, English for any other.
UiLanguage LanguageForLocale(const QString& localeName);
// "zh"/"en" (any case, "zh_CN" too) or nothing.
bool ParseLanguage(const QString& text, UiLanguage* language);

// The environment's choice, else the remembered one (read without creating
// anything), else the system locale's.
UiLanguage StartLanguage();
// Remembers the pick in the key store; false when it could not be written.
bool RememberLanguage(UiLanguage language);

// Installs the translators for `language` (ours and Qt's own), replacing
// those of the previous one; every widget receives a LanguageChange event.
// Also points the engine's text hook at Qt's translator.
void ApplyLanguage(QCoreApplication& app, UiLanguage language);
UiLanguage CurrentLanguage();
// Tests: removes the translators and the engine's hook again (as before any
// ApplyLanguage: the texts as written).
void ClearLanguageForTesting();
