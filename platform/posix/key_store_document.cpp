#include "key_store_document.h"

#include <json/json.h>

#include <sstream>

#include <platform/key_store.h>
#include <platform/utf.h>

namespace platform::posix {
namespace {

constexpr const char* kFormat = "tidewell-key-store 1";

const std::map<std::uint32_t, std::string>& TypeNames() {
  static const std::map<std::uint32_t, std::string> names = {
      {kRegNone, "REG_NONE"},     {kRegSz, "REG_SZ"},       {kRegExpandSz, "REG_EXPAND_SZ"},
      {kRegBinary, "REG_BINARY"}, {kRegDword, "REG_DWORD"},
  };
  return names;
}

std::optional<std::uint32_t> TypeFromJson(const Json::Value& value) {
  if (value.isUInt()) return value.asUInt();
  if (!value.isString()) return std::nullopt;
  for (const auto& [type, name] : TypeNames()) {
    if (name == value.asString()) return type;
  }
  return std::nullopt;
}

Json::Value TypeToJson(std::uint32_t type) {
  const auto it = TypeNames().find(type);
  return it != TypeNames().end() ? Json::Value(it->second) : Json::Value(type);
}

// A string value is shown as text when that loses nothing: UTF-16 with one
// terminating zero and no other.
std::optional<std::string> AsText(const std::vector<std::uint8_t>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
  std::u16string units = Utf16LeUnits(data.data(), data.size() / 2);
  if (units.back() != 0) return std::nullopt;
  units.pop_back();
  if (units.find(u'\0') != std::u16string::npos) return std::nullopt;
  const std::wstring wide = Utf16ToWide(units);
  if (WideToUtf16(wide) != units) return std::nullopt;  // malformed UTF-16
  return WideToUtf8(wide);
}

std::string ToHex(const std::vector<std::uint8_t>& data) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : data) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<std::uint8_t> data;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = nibble(text[i]);
    const int low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    data.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return data;
}

Json::Value ValueToJson(const StoredValue& value) {
  Json::Value out(Json::objectValue);
  out["type"] = TypeToJson(value.type);
  if (value.type == kRegDword && value.data.size() == 4) {
    std::uint32_t dword = 0;
    for (int i = 3; i >= 0; --i) dword = (dword << 8) | value.data[static_cast<std::size_t>(i)];
    out["dword"] = static_cast<Json::UInt>(dword);
  } else if (auto text = (value.type == kRegSz || value.type == kRegExpandSz) ? AsText(value.data)
                                                                              : std::nullopt) {
    out["text"] = *text;
  } else {
    out["hex"] = ToHex(value.data);
  }
  return out;
}

std::optional<StoredValue> ValueFromJson(const std::string& name, const Json::Value& json) {
  if (!json.isObject()) return std::nullopt;
  StoredValue value;
  value.name = Utf8ToWide(name);
  const auto type = TypeFromJson(json["type"]);
  if (!type) return std::nullopt;
  value.type = *type;
  if (json.isMember("dword")) {
    if (!json["dword"].isUInt()) return std::nullopt;
    const std::uint32_t v = json["dword"].asUInt();
    value.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                  static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  } else if (json.isMember("text")) {
    if (!json["text"].isString()) return std::nullopt;
    value.data = ToUtf16LeBytes(Utf8ToWide(json["text"].asString()));
  } else if (json.isMember("hex")) {
    if (!json["hex"].isString()) return std::nullopt;
    auto data = FromHex(json["hex"].asString());
    if (!data) return std::nullopt;
    value.data = std::move(*data);
  } else {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::wstring FoldCase(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return out;
}

std::optional<KeyStoreDocument> ParseKeyStoreDocument(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream stream(text);
  try {
    if (!Json::parseFromStream(builder, stream, &root, &errors)) return std::nullopt;
    if (!root.isObject() || root["format"] != kFormat || !root["keys"].isObject()) {
      return std::nullopt;
    }
    KeyStoreDocument document;
    const Json::Value& keys = root["keys"];
    for (const std::string& path : keys.getMemberNames()) {
      const Json::Value& values = keys[path];
      if (!values.isObject()) return std::nullopt;
      StoredKey key;
      key.path = Utf8ToWide(path);
      for (const std::string& name : values.getMemberNames()) {
        auto value = ValueFromJson(name, values[name]);
        if (!value) return std::nullopt;
        key.values[FoldCase(value->name)] = std::move(*value);
      }
      document[FoldCase(key.path)] = std::move(key);
    }
    return document;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string SerializeKeyStoreDocument(const KeyStoreDocument& document) {
  Json::Value root(Json::objectValue);
  root["format"] = kFormat;
  Json::Value& keys = root["keys"] = Json::Value(Json::objectValue);
  for (const auto& [folded, key] : document) {
    Json::Value& values = keys[WideToUtf8(key.path)] = Json::Value(Json::objectValue);
    for (const auto& [foldedName, value] : key.values) {
      values[WideToUtf8(value.name)] = ValueToJson(value);
    }
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "  ";
  writer["emitUTF8"] = true;  // Chinese paths stay readable
  return Json::writeString(writer, root) + "\n";
}

}  // namespace platform::posix
