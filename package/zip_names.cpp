#include <package/zip_names.h>

#include <platform/utf.h>

std::wstring ZipNameDecoder::Decode(const std::string& raw) {
  if (raw.empty()) return {};
  std::wstring name = platform::Utf8ToWide(raw);
  if (!name.empty()) return name;
  if (gb18030_.Decode(raw, &name)) return name;
  if (cp437_.Decode(raw, &name)) return name;
  // No converter at all on this system: byte for byte.
  name.clear();
  for (const char c : raw) name.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return name;
}
