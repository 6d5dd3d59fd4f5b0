#include <ui/language.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <base/translate.h>
#include <config/product_values.h>

namespace {

constexpr wchar_t kLanguageValueName[] = L"Language";

UiLanguage g_current = UiLanguage::Chinese;
// The installed translators, owned by the application; replaced on a change.
QTranslator* g_ours = nullptr;
QTranslator* g_qt = nullptr;

std::wstring TranslateForEngine(const char* context, const char* text) {
  return QCoreApplication::translate(context, text).toStdWString();
}

void Remove(QTranslator*& translator) {
  if (translator == nullptr) return;
  QCoreApplication::removeTranslator(translator);
  delete translator;
  translator = nullptr;
}

QTranslator* Load(QCoreApplication& app, const QString& file, const QString& dir = QString()) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(file, dir) || !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace

UiLanguage LanguageForLocale(const QString& localeName) {
  return localeName.startsWith(QLatin1String("zh"), Qt::CaseInsensitive) ? UiLanguage::Chinese
                                                                         : UiLanguage::English;
}

bool ParseLanguage(const QString& text, UiLanguage* language) {
  const QString trimmed = text.trimmed().toLower();
  if (trimmed == QLatin1String("zh") || trimmed.startsWith(QLatin1String("zh_"))) {
    *language = UiLanguage::Chinese;
    return true;
  }
  if (trimmed == QLatin1String("en") || trimmed.startsWith(QLatin1String("en_"))) {
    *language = UiLanguage::English;
    return true;
  }
  return false;
}

UiLanguage StartLanguage() {
  UiLanguage language = UiLanguage::Chinese;
  if (ParseLanguage(qEnvironmentVariable("TIDEWELL_LANGUAGE"), &language)) return language;
  if (const auto stored = ReadProductValue(kLanguageValueName);
      stored && ParseLanguage(QString::fromStdWString(*stored), &language)) {
    return language;
  }
  // Never picked (or unreadable): the system's language.
  return LanguageForLocale(QLocale::system().name());
}

bool RememberLanguage(UiLanguage language) {
  return WriteProductValue(kLanguageValueName, language == UiLanguage::English ? L"en" : L"zh");
}

void ApplyLanguage(QCoreApplication& app, UiLanguage language) {
  Remove(g_ours);
  Remove(g_qt);
  g_current = language;
  if (language == UiLanguage::Chinese) {
    // Qt's own texts (the folder dialog, the boxes' buttons) in Chinese; the
    // translator installed last is asked first, so ours decides.
    g_qt = Load(app, QStringLiteral("qtbase_zh_CN"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    QString file = qEnvironmentVariable("TIDEWELL_TRANSLATION");
    if (file.isEmpty()) file = QStringLiteral(":/translations/lang_cn.qm");
    g_ours = Load(app, file);
  } else {
    // Qt's own texts are English as written.
    g_ours = Load(app, QStringLiteral(":/translations/lang_en.qm"));
  }
  tw::SetTranslateHook(&TranslateForEngine, language == UiLanguage::English ? "en" : "zh");
}

UiLanguage CurrentLanguage() { return g_current; }

void ClearLanguageForTesting() {
  Remove(g_ours);
  Remove(g_qt);
  g_current = UiLanguage::Chinese;
  tw::SetTranslateHook(nullptr);
}
