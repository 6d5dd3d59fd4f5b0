#pragma once
// Translation of the texts the layers below the window show. They hold no
// translation themselves: the window installs a hook at start (Qt's
// translator) and every shown text goes through Translate. Without a hook a
// text stays as written (Chinese).
//
// TW_TR marks a text for the translation tools: run lupdate with
// `-tr-function-alias QT_TRANSLATE_NOOP+=TW_TR,QT_TRANSLATE_NOOP+=TW_TR8,
// QT_TRANSLATE_NOOP+=TW_TR_NOOP` to collect them. The text is
// a plain UTF-8 literal (lupdate reads no L"" literals). Format strings are
// marked whole, never as pieces, so a translation may reorder or reword.
#include <string>

namespace tw {

// Gives the translation of the UTF-8 `text` in `context` as wide text, or
// nothing to keep the text itself.
using TranslateHook = std::wstring (*)(const char* context, const char* text);

// Any thread may call Translate; the hook is set on the window thread
// before the workers start. `language` is the code of the language the hook
// translates into ("zh", "en"), for what is chosen rather than translated
// (which guide to open); it must outlive the program (a literal).
void SetTranslateHook(TranslateHook hook, const char* language = "zh");
// The code given with the hook; "zh" without one.
const char* ShownLanguage();
std::wstring Translate(const char* context, const char* text);
// The same as UTF-8, for the texts kept narrow.
std::string TranslateUtf8(const char* context, const char* text);

}  // namespace tw

#define TW_TR(context, text) ::tw::Translate(context, text)
#define TW_TR8(context, text) ::tw::TranslateUtf8(context, text)
// Marks a text kept in a constant; it is translated where shown, with
// Translate and the same context.
#define TW_TR_NOOP(context, text) text
