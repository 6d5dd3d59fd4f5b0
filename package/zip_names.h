#pragma once
// Entry names as stored to text: UTF-8 when flagged or when the bytes are
// valid UTF-8; otherwise GB18030 (what Chinese zip tools write) when the
// bytes decode cleanly as such, else CP437, the zip format's own default.
#include <iconv.h>

#include <cstdint>
#include <string>

class ZipNameDecoder {
 public:
  ZipNameDecoder() = default;
  ~ZipNameDecoder();
  ZipNameDecoder(const ZipNameDecoder&) = delete;
  ZipNameDecoder& operator=(const ZipNameDecoder&) = delete;

  // The UTF-8 flag (bit 11) adds nothing: flagged or not, valid UTF-8 is
  // read as such and anything else goes on to the other encodings.
  std::wstring Decode(const std::string& raw);

 private:
  // The text in the given encoding; false when it does not decode cleanly.
  static bool Convert(iconv_t* converter, const char* from, const std::string& raw,
                      std::wstring* out);

  iconv_t gb18030_ = reinterpret_cast<iconv_t>(-1);  // opened on first use
  iconv_t cp437_ = reinterpret_cast<iconv_t>(-1);
};
