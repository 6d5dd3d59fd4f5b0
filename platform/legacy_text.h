#pragma once
// Text in the legacy single- and multi-byte encodings that file names in
// old archives use, to wide text.
#include <memory>
#include <string>

namespace platform {

enum class LegacyEncoding {
  Gb18030,  // simplified Chinese (a superset of code page 936)
  Cp437,    // the original IBM PC set
};

// Keeps what the conversion needs between calls; one per thread.
class LegacyDecoder {
 public:
  explicit LegacyDecoder(LegacyEncoding encoding);
  ~LegacyDecoder();
  LegacyDecoder(const LegacyDecoder&) = delete;
  LegacyDecoder& operator=(const LegacyDecoder&) = delete;

  // False when raw is not clean text in the encoding (or the system has no
  // converter for it); *out is then left alone.
  bool Decode(const std::string& raw, std::wstring* out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
