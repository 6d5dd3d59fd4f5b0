#include <platform/legacy_text.h>

#include <windows.h>

#include <climits>

namespace platform {

struct LegacyDecoder::State {
  UINT codePage;
  UINT fallback;  // a subset, for systems without the whole set
};

LegacyDecoder::LegacyDecoder(LegacyEncoding encoding) : state_(std::make_unique<State>()) {
  if (encoding == LegacyEncoding::Gb18030) {
    *state_ = {54936, 936};
  } else {
    *state_ = {437, 437};
  }
}

LegacyDecoder::~LegacyDecoder() = default;

namespace {

// The text when every byte is a clean character of codePage.
bool Convert(UINT codePage, const std::string& raw, std::wstring* out) {
  if (raw.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(raw.size());
  const int needed =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, raw.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, raw.data(), length, text.data(),
                          needed) != needed) {
    return false;
  }
  *out = std::move(text);
  return true;
}

}  // namespace

bool LegacyDecoder::Decode(const std::string& raw, std::wstring* out) {
  if (raw.empty()) {
    out->clear();
    return true;
  }
  if (Convert(state_->codePage, raw, out)) return true;
  // Only a system without the code page tries the subset.
  return GetLastError() == ERROR_INVALID_PARAMETER && state_->fallback != state_->codePage &&
         Convert(state_->fallback, raw, out);
}

}  // namespace platform
