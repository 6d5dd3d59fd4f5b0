#include <tests/fakes/chatbox_schema.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>

#include <json/json.h>

namespace fake_chatbox {

namespace {

// A check gives the value as the schema keeps it (nested unknown keys gone),
// or nothing when the value does not fit.
using Check = std::function<std::optional<Json::Value>(const Json::Value&)>;

// How a key reacts to a missing or wrong value, after the schema's
// `.optional()`, `.catch(x)` and `.default(x)`.
enum class Mode {
  OptionalDropped,   // .optional().catch(undefined): wrong -> dropped
  OptionalFallback,  // .optional().catch(x): missing stays missing, wrong -> x
  Fallback,          // .catch(x): missing or wrong -> x
  OptionalStrict,    // .optional(): wrong -> the parse fails
  Required,          // missing or wrong -> the parse fails
  Default,           // .default(x): missing -> x, wrong -> the parse fails
};

struct Field {
  const char* name;
  Mode mode;
  Check check;
  Json::Value fallback = Json::Value();
};

bool IsNumber(const Json::Value& v) {
  return v.type() == Json::intValue || v.type() == Json::uintValue || v.type() == Json::realValue;
}

std::optional<Json::Value> Keep(bool ok, const Json::Value& v) {
  return ok ? std::optional<Json::Value>(v) : std::nullopt;
}

Check String() {
  return [](const Json::Value& v) { return Keep(v.isString(), v); };
}
Check Number() {
  return [](const Json::Value& v) { return Keep(IsNumber(v), v); };
}
Check Bool() {
  return [](const Json::Value& v) { return Keep(v.isBool(), v); };
}
Check OneOf(std::vector<std::string> values) {
  return [values = std::move(values)](const Json::Value& v) {
    return Keep(
        v.isString() && std::find(values.begin(), values.end(), v.asString()) != values.end(), v);
  };
}
Check AnyObject() {
  return [](const Json::Value& v) { return Keep(v.isObject(), v); };
}
Check ArrayOf(Check item) {
  return [item = std::move(item)](const Json::Value& v) -> std::optional<Json::Value> {
    if (!v.isArray()) return std::nullopt;
    Json::Value out(Json::arrayValue);
    for (const Json::Value& element : v) {
      std::optional<Json::Value> kept = item(element);
      if (!kept) return std::nullopt;
      out.append(*kept);
    }
    return out;
  };
}
Check RecordOf(Check item) {
  return [item = std::move(item)](const Json::Value& v) -> std::optional<Json::Value> {
    if (!v.isObject()) return std::nullopt;
    Json::Value out(Json::objectValue);
    for (const std::string& key : v.getMemberNames()) {
      std::optional<Json::Value> kept = item(v[key]);
      if (!kept) return std::nullopt;
      out[key] = *kept;
    }
    return out;
  };
}

// z.object({...}): known keys only, each by its own rule; nothing when a key
// fails without a fallback.
std::optional<Json::Value> ParseObject(const Json::Value& v, const std::vector<Field>& fields) {
  if (!v.isObject()) return std::nullopt;
  Json::Value out(Json::objectValue);
  for (const Field& field : fields) {
    const bool present = v.isMember(field.name);
    std::optional<Json::Value> kept = present ? field.check(v[field.name]) : std::nullopt;
    if (kept) {
      out[field.name] = *kept;
      continue;
    }
    switch (field.mode) {
      case Mode::OptionalDropped:
        break;
      case Mode::OptionalFallback:
        if (present) out[field.name] = field.fallback;
        break;
      case Mode::Fallback:
        out[field.name] = field.fallback;
        break;
      case Mode::OptionalStrict:
        if (present) return std::nullopt;
        break;
      case Mode::Required:
        return std::nullopt;
      case Mode::Default:
        if (present) return std::nullopt;
        out[field.name] = field.fallback;
        break;
    }
  }
  return out;
}
Check Object(std::vector<Field> fields) {
  return [fields = std::move(fields)](const Json::Value& v) { return ParseObject(v, fields); };
}

Check ModelRef() {
  return Object({{"provider", Mode::Required, String()}, {"model", Mode::Required, String()}});
}

Check ModelInfo() {
  return Object({
      {"modelId", Mode::Required, String()},
      {"type", Mode::OptionalDropped, OneOf({"chat", "embedding", "rerank"})},
      {"apiStyle", Mode::OptionalDropped, OneOf({"google", "openai", "anthropic"})},
      {"nickname", Mode::OptionalDropped, String()},
      {"labels", Mode::OptionalFallback, ArrayOf(String()), Json::Value(Json::arrayValue)},
      {"capabilities", Mode::OptionalFallback,
       ArrayOf(OneOf({"vision", "reasoning", "tool_use", "web_search"})),
       Json::Value(Json::arrayValue)},
      {"contextWindow", Mode::OptionalDropped, Number()},
      {"maxOutput", Mode::OptionalDropped, Number()},
  });
}

Check ProviderSettings() {
  return Object({
      {"apiKey", Mode::OptionalDropped, String()},
      {"apiHost", Mode::OptionalDropped, String()},
      {"apiPath", Mode::OptionalDropped, String()},
      {"models", Mode::OptionalDropped, ArrayOf(ModelInfo())},
      {"excludedModels", Mode::OptionalDropped, ArrayOf(String())},
      {"useProxy", Mode::OptionalDropped, Bool()},
      {"oauth", Mode::OptionalDropped,
       Object({{"accessToken", Mode::Required, String()},
               {"refreshToken", Mode::OptionalDropped, String()},
               {"expiresAt", Mode::OptionalDropped, Number()},
               {"extra", Mode::OptionalDropped, AnyObject()}})},
      {"activeAuthMode", Mode::OptionalDropped, OneOf({"apikey", "oauth"})},
      {"endpoint", Mode::OptionalDropped, String()},
      {"deploymentName", Mode::OptionalDropped, String()},
      {"dalleDeploymentName", Mode::OptionalDropped, String()},
      {"apiVersion", Mode::OptionalDropped, String()},
  });
}

Check NullableString() {
  return [](const Json::Value& v) { return Keep(v.isString() || v.isNull(), v); };
}

Check CustomProvider() {
  Check custom = [](const Json::Value& v) { return Keep(v.isBool() && v.asBool(), v); };
  return Object({
      {"id", Mode::Required, String()},
      {"name", Mode::Required, String()},
      {"type", Mode::Fallback,
       OneOf({"chatbox-ai", "openai", "gemini", "claude", "openai-responses"}),
       Json::Value("openai")},
      {"isCustom", Mode::Required, custom},
      {"description", Mode::OptionalDropped, String()},
      {"urls", Mode::OptionalDropped,
       Object({{"website", Mode::OptionalStrict, NullableString()},
               {"apiKey", Mode::OptionalStrict, NullableString()},
               {"docs", Mode::OptionalStrict, NullableString()},
               {"models", Mode::OptionalStrict, NullableString()}})},
      {"defaultSettings", Mode::OptionalDropped, ProviderSettings()},
      {"iconUrl", Mode::OptionalDropped, String()},
  });
}

Check Theme() {
  return [](const Json::Value& v) {
    return Keep(IsNumber(v) && (v.asDouble() == 0 || v.asDouble() == 1 || v.asDouble() == 2), v);
  };
}

Check Threshold() {
  return [](const Json::Value& v) {
    return Keep(IsNumber(v) && v.asDouble() >= 0.4 && v.asDouble() <= 0.9, v);
  };
}

Check Shortcuts() {
  std::vector<Field> fields;
  for (const char* name :
       {"quickToggle", "inputBoxFocus", "inputBoxWebBrowsingMode", "newChat", "newPictureChat",
        "sessionListNavNext", "sessionListNavPrev", "sessionListNavTargetIndex",
        "messageListRefreshContext", "dialogOpenSearch", "optionNavUp", "optionNavDown",
        "optionSelect", "inputBoxSendMessage", "inputBoxSendMessageWithoutResponse"}) {
    fields.push_back({name, Mode::Required, String()});
  }
  return Object(std::move(fields));
}

// The extension, MCP and license blocks are kept as the objects they are:
// nothing here reads inside them.
Check Extension() {
  return Object({{"webSearch", Mode::Required, AnyObject()},
                 {"knowledgeBase", Mode::OptionalStrict, AnyObject()},
                 {"documentParser", Mode::OptionalStrict, AnyObject()}});
}
Check Mcp() {
  return Object({{"servers", Mode::Required, ArrayOf(AnyObject())},
                 {"enabledBuiltinServers", Mode::Required, ArrayOf(String())}});
}

Json::Value SkillsFallback() {
  Json::Value skills(Json::objectValue);
  skills["enabledSkillNames"] = Json::Value(Json::arrayValue);
  skills["translationEnabled"] = true;
  return skills;
}

const std::vector<Field>& SettingsFields() {
  static const std::vector<Field> fields = [] {
    std::vector<Field> f = {
        // settings every new session starts from
        {"maxContextMessageCount", Mode::OptionalDropped, Number()},
        {"temperature", Mode::OptionalDropped, Number()},
        {"topP", Mode::OptionalDropped, Number()},
        {"maxTokens", Mode::OptionalDropped, Number()},
        {"stream", Mode::OptionalFallback, Bool(), Json::Value(true)},
        // providers and models
        {"providers", Mode::OptionalDropped, RecordOf(ProviderSettings())},
        {"customProviders", Mode::OptionalDropped, ArrayOf(CustomProvider())},
        {"favoritedModels", Mode::OptionalDropped, ArrayOf(ModelRef())},
        {"defaultChatModel", Mode::OptionalDropped, ModelRef()},
        {"threadNamingModel", Mode::OptionalDropped, ModelRef()},
        {"searchTermConstructionModel", Mode::OptionalDropped, ModelRef()},
        {"ocrModel", Mode::OptionalDropped, ModelRef()},
        // license
        {"licenseKey", Mode::OptionalStrict, String()},
        {"licenseInstances", Mode::OptionalDropped, RecordOf(String())},
        {"licenseDetail", Mode::OptionalDropped, AnyObject()},
        {"licenseActivationMethod", Mode::OptionalStrict, OneOf({"login", "manual"})},
        {"lastSelectedLicenseByUser", Mode::OptionalDropped, RecordOf(String())},
        {"memorizedManualLicenseKey", Mode::OptionalStrict, String()},
    };
    for (const char* name : {"showWordCount", "showTokenCount", "showTokenUsed", "showModelName",
                             "showMessageTimestamp", "showFirstTokenLatency", "showAvatar"}) {
      f.push_back({name, Mode::OptionalDropped, Bool()});
    }
    const std::vector<Field> rest = {
        {"messageLayout", Mode::OptionalDropped, OneOf({"left", "bubble"})},
        {"theme", Mode::Required, Theme()},
        {"language", Mode::Required,
         OneOf({"en", "zh-Hans", "zh-Hant", "ja", "ko", "ru", "de", "fr", "pt-PT", "es", "ar",
                "it-IT", "sv", "nb-NO"})},
        {"languageInited", Mode::OptionalStrict, Bool()},
        {"fontSize", Mode::Fallback, Number(), Json::Value(14)},
        {"spellCheck", Mode::OptionalStrict, Bool()},
        {"startupPage", Mode::OptionalStrict, OneOf({"home", "session"})},
        {"defaultPrompt", Mode::OptionalStrict, String()},
        {"proxy", Mode::OptionalStrict, String()},
        {"allowReportingAndTracking", Mode::OptionalStrict, Bool()},
        {"userAvatarKey", Mode::OptionalStrict, String()},
        {"defaultAssistantAvatarKey", Mode::OptionalStrict, String()},
        {"backgroundImageKey", Mode::OptionalStrict, String()},
    };
    f.insert(f.end(), rest.begin(), rest.end());
    for (auto [name, value] :
         std::initializer_list<std::pair<const char*, bool>>{{"enableMarkdownRendering", true},
                                                             {"enableMermaidRendering", true},
                                                             {"enableLaTeXRendering", true},
                                                             {"injectDefaultMetadata", true},
                                                             {"autoPreviewArtifacts", false},
                                                             {"autoCollapseCodeBlock", true},
                                                             {"pasteLongTextAsAFile", true},
                                                             {"autoGenerateTitle", true},
                                                             {"autoCompaction", true}}) {
      f.push_back({name, Mode::Default, Bool(), Json::Value(value)});
    }
    f.push_back({"compactionThreshold", Mode::Default, Threshold(), Json::Value(0.6)});
    for (auto [name, value] : std::initializer_list<std::pair<const char*, bool>>{
             {"autoLaunch", false}, {"autoUpdate", true}, {"betaUpdate", false}}) {
      f.push_back({name, Mode::Default, Bool(), Json::Value(value)});
    }
    f.push_back({"shortcuts", Mode::Required, Shortcuts()});
    f.push_back({"extension", Mode::Required, Extension()});
    f.push_back({"mcp", Mode::Required, Mcp()});
    f.push_back({"skills", Mode::Fallback,
                 Object({{"enabledSkillNames", Mode::Fallback, ArrayOf(String()),
                          Json::Value(Json::arrayValue)},
                         {"translationEnabled", Mode::Fallback, Bool(), Json::Value(true)}}),
                 SkillsFallback()});
    return f;
  }();
  return fields;
}

constexpr const char* kDefaultSettings = R"({
  "showWordCount": false, "showTokenCount": false, "showTokenUsed": true,
  "showModelName": true, "showMessageTimestamp": false, "showFirstTokenLatency": false,
  "showAvatar": true, "userAvatarKey": "", "defaultAssistantAvatarKey": "",
  "backgroundImageKey": "", "theme": 2, "language": "en", "fontSize": 14, "spellCheck": true,
  "defaultPrompt": "You are a helpful assistant.", "allowReportingAndTracking": true,
  "enableMarkdownRendering": true, "enableLaTeXRendering": true, "enableMermaidRendering": true,
  "injectDefaultMetadata": true, "autoPreviewArtifacts": false, "autoCollapseCodeBlock": true,
  "pasteLongTextAsAFile": true, "autoGenerateTitle": true, "autoCompaction": true,
  "compactionThreshold": 0.6, "autoLaunch": false, "autoUpdate": true, "betaUpdate": false,
  "shortcuts": {
    "quickToggle": "Alt+`", "inputBoxFocus": "mod+i", "inputBoxWebBrowsingMode": "mod+e",
    "newChat": "mod+n", "newPictureChat": "mod+shift+n", "sessionListNavNext": "mod+tab",
    "sessionListNavPrev": "mod+shift+tab", "sessionListNavTargetIndex": "mod",
    "messageListRefreshContext": "mod+r", "dialogOpenSearch": "mod+k",
    "inputBoxSendMessage": "Enter", "inputBoxSendMessageWithoutResponse": "Ctrl+Enter",
    "optionNavUp": "up", "optionNavDown": "down", "optionSelect": "enter"
  },
  "extension": {
    "webSearch": {"provider": "build-in", "tavilyApiKey": "", "queritApiKey": "",
                  "queritMaxResults": 5, "queritTimeRange": "none"},
    "knowledgeBase": {"models": {}}
  },
  "mcp": {"servers": [], "enabledBuiltinServers": []},
  "skills": {"enabledSkillNames": [], "translationEnabled": true}
})";

}  // namespace

Json::Value CurrentDefaultSettings() {
  static const Json::Value defaults = [] {
    Json::Value value;
    std::string error;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    reader->parse(kDefaultSettings,
                  kDefaultSettings + std::char_traits<char>::length(kDefaultSettings), &value,
                  &error);
    return value;
  }();
  return defaults;
}

std::optional<Json::Value> ParseCurrentSettings(const Json::Value& settings) {
  return ParseObject(settings, SettingsFields());
}

std::vector<std::string> CurrentSettingsKeys() {
  std::vector<std::string> keys;
  for (const Field& field : SettingsFields()) keys.emplace_back(field.name);
  return keys;
}

const Json::Value& Member(const Json::Value& object, const char* key) {
  static const Json::Value null;
  return object.isObject() ? object[key] : null;
}

bool Truthy(const Json::Value& value) {
  switch (value.type()) {
    case Json::nullValue:
      return false;
    case Json::booleanValue:
      return value.asBool();
    case Json::stringValue:
      return !value.asString().empty();
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue:
      return value.asDouble() != 0;  // NaN never reaches here: JSON has none
    default:
      return true;  // objects and arrays, even empty ones
  }
}

}  // namespace fake_chatbox
