#include <tests/fakes/ollama_request.h>

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <memory>

namespace fake_ollama {

namespace {

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Quote(char c) {
  if (c == '\'') return "'\\''";
  if (c == '"') return "'\"'";
  if (static_cast<unsigned char>(c) < 0x20) {
    char text[16];
    std::snprintf(text, sizeof text, "'\\x%02x'", static_cast<unsigned char>(c));
    return text;
  }
  return std::string("'") + c + "'";
}

// A recursive reader of one value that words its complaints as Go does.
class Scanner {
 public:
  explicit Scanner(const std::string& text) : text_(text) {}
  std::string Value(const char* context = "looking for beginning of value") {
    SkipSpace();
    if (AtEnd()) return "unexpected EOF";
    const char c = text_[pos_];
    if (c == '{') return Object();
    if (c == '[') return Array();
    if (c == '"') return String();
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    if (c == 't') return Literal("true");
    if (c == 'f') return Literal("false");
    if (c == 'n') return Literal("null");
    return Invalid(c, context);
  }
  std::size_t pos() const { return pos_; }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  void SkipSpace() {
    while (!AtEnd() && Space(text_[pos_])) ++pos_;
  }
  static std::string Invalid(char c, const std::string& context) {
    return "invalid character " + Quote(c) + " " + context;
  }
  std::string Literal(const std::string& word) {
    for (std::size_t i = 0; i < word.size(); ++i, ++pos_) {
      if (AtEnd()) return "unexpected EOF";
      if (text_[pos_] != word[i]) {
        return Invalid(text_[pos_], "in literal " + word + " (expecting " + Quote(word[i]) + ")");
      }
    }
    return "";
  }
  std::string Digits(const char* context) {
    if (AtEnd()) return "unexpected EOF";
    if (text_[pos_] < '0' || text_[pos_] > '9') return Invalid(text_[pos_], context);
    while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return "";
  }
  std::string Number() {
    if (text_[pos_] == '-') ++pos_;
    if (AtEnd()) return "unexpected EOF";
    if (text_[pos_] == '0') {
      ++pos_;
    } else if (std::string e = Digits("in numeric literal"); !e.empty()) {
      return e;
    }
    if (!AtEnd() && text_[pos_] == '.') {
      ++pos_;
      if (std::string e = Digits("after decimal point in numeric literal"); !e.empty()) return e;
    }
    if (!AtEnd() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (!AtEnd() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (std::string e = Digits("in exponent of numeric literal"); !e.empty()) return e;
    }
    return "";
  }
  std::string String() {
    for (++pos_;; ++pos_) {
      if (AtEnd()) return "unexpected EOF";
      const char c = text_[pos_];
      if (c == '"') {
        ++pos_;
        return "";
      }
      if (static_cast<unsigned char>(c) < 0x20) return Invalid(c, "in string literal");
      if (c != '\\') continue;
      if (++pos_ >= text_.size()) return "unexpected EOF";
      const char e = text_[pos_];
      if (e == 'u') {
        for (int i = 0; i < 4; ++i) {
          if (++pos_ >= text_.size()) return "unexpected EOF";
          if (!std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
            return Invalid(text_[pos_], "in \\u hexadecimal character escape");
          }
        }
      } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
        return Invalid(e, "in string escape code");
      }
    }
  }
  std::string Object() {
    ++pos_;
    SkipSpace();
    if (!AtEnd() && text_[pos_] == '}') {
      ++pos_;
      return "";
    }
    for (;;) {
      SkipSpace();
      if (AtEnd()) return "unexpected EOF";
      if (text_[pos_] != '"')
        return Invalid(text_[pos_], "looking for beginning of object key string");
      if (std::string e = String(); !e.empty()) return e;
      SkipSpace();
      if (AtEnd()) return "unexpected EOF";
      if (text_[pos_] != ':') return Invalid(text_[pos_], "after object key");
      ++pos_;
      if (std::string e = Value(); !e.empty()) return e;
      SkipSpace();
      if (AtEnd()) return "unexpected EOF";
      if (text_[pos_] == '}') {
        ++pos_;
        return "";
      }
      if (text_[pos_] != ',') return Invalid(text_[pos_], "after object key:value pair");
      ++pos_;
    }
  }
  std::string Array() {
    ++pos_;
    SkipSpace();
    if (!AtEnd() && text_[pos_] == ']') {
      ++pos_;
      return "";
    }
    for (;;) {
      if (std::string e = Value(); !e.empty()) return e;
      SkipSpace();
      if (AtEnd()) return "unexpected EOF";
      if (text_[pos_] == ']') {
        ++pos_;
        return "";
      }
      if (text_[pos_] != ',') return Invalid(text_[pos_], "after array element");
      ++pos_;
    }
  }

  const std::string& text_;
  std::size_t pos_ = 0;
};

const char* JsonTypeName(const Json::Value& value) {
  switch (value.type()) {
    case Json::stringValue:
      return "string";
    case Json::booleanValue:
      return "bool";
    case Json::arrayValue:
      return "array";
    case Json::objectValue:
      return "object";
    default:
      return "number";
  }
}

bool Fits(FieldKind kind, const Json::Value& item) {
  switch (kind) {
    case FieldKind::kString:
      return item.isString();
    case FieldKind::kBool:
      return item.isBool();
    case FieldKind::kArray:
      return item.isArray();
    case FieldKind::kObject:
      return item.isObject();
    case FieldKind::kAny:
      break;
  }
  return true;
}

}  // namespace

std::string CheckJsonSyntax(const std::string& text, std::size_t* end) {
  Scanner scanner(text);
  std::string error = scanner.Value();
  *end = scanner.pos();
  return error;
}

bool DecodeRequest(const std::string& body, const std::string& goType,
                   const std::vector<RequestField>& fields, Json::Value* out, std::string* error) {
  *out = Json::Value(Json::objectValue);
  std::size_t first = 0;
  while (first < body.size() && Space(body[first])) ++first;
  if (first == body.size()) {
    *error = "missing request body";
    return false;
  }
  std::size_t end = 0;
  if (*error = CheckJsonSyntax(body, &end); !error->empty()) return false;

  Json::Value value;
  std::string parseError;
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(body.data(), body.data() + end, &value, &parseError)) {
    *error = "unexpected EOF";
    return false;
  }
  if (value.isNull()) return true;
  if (!value.isObject()) {
    *error = std::string("json: cannot unmarshal ") + JsonTypeName(value) +
             " into Go value of type api." + goType;
    return false;
  }
  for (const auto& key : value.getMemberNames()) {
    for (const auto& field : fields) {
      if (::strcasecmp(key.c_str(), field.name) != 0) continue;
      const Json::Value& item = value[key];
      if (item.isNull()) break;
      if (!Fits(field.kind, item)) {
        if (error->empty()) {
          const char* type = field.goType != nullptr            ? field.goType
                             : field.kind == FieldKind::kString ? "string"
                                                                : "bool";
          *error = std::string("json: cannot unmarshal ") + JsonTypeName(item) +
                   " into Go struct field " + goType + "." + field.name + " of type " + type;
        }
        break;
      }
      (*out)[field.name] = item;
      break;
    }
  }
  return error->empty();
}

}  // namespace fake_ollama
