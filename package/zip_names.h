#pragma once
// Entry names as stored to text: UTF-8 when flagged or when the bytes are
// valid UTF-8; otherwise GB18030 (what Chinese zip tools write) when the
// bytes decode cleanly as such, else CP437, the zip format's own default.
#include <cstdint>
#include <string>

#include <platform/legacy_text.h>

class ZipNameDecoder {
 public:
  ZipNameDecoder() = default;
  ZipNameDecoder(const ZipNameDecoder&) = delete;
  ZipNameDecoder& operator=(const ZipNameDecoder&) = delete;

  // The UTF-8 flag (bit 11) adds nothing: flagged or not, valid UTF-8 is
  // read as such and anything else goes on to the other encodings.
  std::wstring Decode(const std::string& raw);

 private:
  platform::LegacyDecoder gb18030_{platform::LegacyEncoding::Gb18030};
  platform::LegacyDecoder cp437_{platform::LegacyEncoding::Cp437};
};
