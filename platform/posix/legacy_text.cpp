#include <platform/legacy_text.h>

#include <iconv.h>

namespace platform {

struct LegacyDecoder::State {
  const char* from;
  iconv_t converter = reinterpret_cast<iconv_t>(-1);  // opened on first use
};

namespace {
const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);
}  // namespace

LegacyDecoder::LegacyDecoder(LegacyEncoding encoding) : state_(std::make_unique<State>()) {
  state_->from = encoding == LegacyEncoding::Gb18030 ? "GB18030" : "CP437";
}

LegacyDecoder::~LegacyDecoder() {
  if (state_->converter != kClosed) iconv_close(state_->converter);
}

bool LegacyDecoder::Decode(const std::string& raw, std::wstring* out) {
  if (state_->converter == kClosed) state_->converter = iconv_open("WCHAR_T", state_->from);
  if (state_->converter == kClosed) return false;
  iconv(state_->converter, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
  std::wstring text(raw.size() + 1, L'\0');  // never more characters than bytes
  char* in = const_cast<char*>(raw.data());
  std::size_t inLeft = raw.size();
  char* outStart = reinterpret_cast<char*>(text.data());
  char* outPtr = outStart;
  std::size_t outLeft = text.size() * sizeof(wchar_t);
  // A sequence that is not the encoding's (EILSEQ) or cut short (EINVAL)
  // means the name is in another one.
  if (iconv(state_->converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      inLeft != 0) {
    return false;
  }
  text.resize(static_cast<std::size_t>(outPtr - outStart) / sizeof(wchar_t));
  *out = std::move(text);
  return true;
}

}  // namespace platform
