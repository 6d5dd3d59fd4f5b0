#include <package/zip_names.h>

#include <cerrno>

#include <platform/utf.h>

namespace {
const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);
}  // namespace

ZipNameDecoder::~ZipNameDecoder() {
  if (gb18030_ != kClosed) iconv_close(gb18030_);
  if (cp437_ != kClosed) iconv_close(cp437_);
}

bool ZipNameDecoder::Convert(iconv_t* converter, const char* from, const std::string& raw,
                             std::wstring* out) {
  if (*converter == kClosed) *converter = iconv_open("WCHAR_T", from);
  if (*converter == kClosed) return false;
  iconv(*converter, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
  std::wstring text(raw.size() + 1, L'\0');               // never more characters than bytes
  char* in = const_cast<char*>(raw.data());
  std::size_t inLeft = raw.size();
  char* outStart = reinterpret_cast<char*>(text.data());
  char* outPtr = outStart;
  std::size_t outLeft = text.size() * sizeof(wchar_t);
  // A sequence that is not the encoding's (EILSEQ) or cut short (EINVAL)
  // means the name is in another one.
  if (iconv(*converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      inLeft != 0) {
    return false;
  }
  text.resize(static_cast<std::size_t>(outPtr - outStart) / sizeof(wchar_t));
  *out = std::move(text);
  return true;
}

std::wstring ZipNameDecoder::Decode(const std::string& raw) {
  if (raw.empty()) return {};
  std::wstring name = platform::Utf8ToWide(raw);
  if (!name.empty()) return name;
  if (Convert(&gb18030_, "GB18030", raw, &name)) return name;
  if (Convert(&cp437_, "CP437", raw, &name)) return name;
  // No converter at all on this system: byte for byte.
  name.clear();
  for (const char c : raw) name.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return name;
}
