#pragma once
// The on-disk form of one root of the key store: a JSON document a person can
// read and edit, that keeps every value's type and exact bytes.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::posix {

struct StoredValue {
  std::wstring name;  // as first written
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

struct StoredKey {
  std::wstring path;                           // as first created
  std::map<std::wstring, StoredValue> values;  // by folded name
};

// Keys by folded path: lookups ignore ASCII case, as the registry does.
using KeyStoreDocument = std::map<std::wstring, StoredKey>;

std::wstring FoldCase(std::wstring_view text);

// Nothing when the text is not a well-formed store document.
std::optional<KeyStoreDocument> ParseKeyStoreDocument(const std::string& text);
std::string SerializeKeyStoreDocument(const KeyStoreDocument& document);

}  // namespace platform::posix
