#include <base/translate.h>

#include <atomic>

#include <base/text_helpers.h>

namespace tw {

namespace {
std::atomic<TranslateHook> g_hook{nullptr};
std::atomic<const char*> g_language{"zh"};
}  // namespace

void SetTranslateHook(TranslateHook hook, const char* language) {
  g_language.store(hook != nullptr && language != nullptr ? language : "zh");
  g_hook.store(hook);
}

const char* ShownLanguage() { return g_language.load(); }

std::wstring Translate(const char* context, const char* text) {
  if (text == nullptr) return std::wstring();
  const TranslateHook hook = g_hook.load();
  if (hook != nullptr) {
    std::wstring translated = hook(context, text);
    if (!translated.empty()) return translated;
  }
  return Utf8ToWide(text);
}

std::string TranslateUtf8(const char* context, const char* text) {
  return WideToUtf8(Translate(context, text));
}

}  // namespace tw
