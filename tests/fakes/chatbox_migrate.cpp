#include <tests/fakes/chatbox_migrate.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <tests/fakes/chatbox_schema.h>

namespace fake_chatbox {

namespace {

std::string NewUuid() {
  std::random_device random;
  unsigned char bytes[16];
  for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
  std::string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    text += hex;
  }
  return text;
}

// Only keys whose value exists: JSON has no `undefined`, so the ones the
// client would leave undefined are simply not written.
void CopyIfPresent(Json::Value& to, const char* toKey, const Json::Value& from,
                   const char* fromKey) {
  if (from.isObject() && from.isMember(fromKey)) to[toKey] = from[fromKey];
}

// A throw inside the client's code; caught where the client catches it.
struct Throws {};

// The member, or nullptr where JavaScript reads `undefined`; reading a
// member of null throws.
const Json::Value* Read(const Json::Value& object, const char* key) {
  if (object.isNull()) throw Throws{};
  return object.isObject() && object.isMember(key) ? &object[key] : nullptr;
}

// `a ?? b`
const Json::Value* Coalesce(const Json::Value* a, const Json::Value* b) {
  return a != nullptr && !a->isNull() ? a : b;
}

// String(value), as a template literal writes it.
std::string JsString(const Json::Value* value) {
  if (value == nullptr) return "undefined";
  switch (value->type()) {
    case Json::nullValue:
      return "null";
    case Json::booleanValue:
      return value->asBool() ? "true" : "false";
    case Json::stringValue:
      return value->asString();
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue: {
      const double number = value->asDouble();
      char text[32];
      if (std::floor(number) == number && std::fabs(number) < 1e21) {
        std::snprintf(text, sizeof text, "%.0f", number);
      } else {
        std::snprintf(text, sizeof text, "%.17g", number);
      }
      return text;
    }
    case Json::arrayValue: {
      std::string joined;
      for (Json::ArrayIndex i = 0; i < value->size(); ++i) {
        if (i > 0) joined += ',';
        const Json::Value& item = (*value)[i];
        if (!item.isNull()) joined += JsString(&item);
      }
      return joined;
    }
    case Json::objectValue:
      return "[object Object]";
  }
  return "";
}

// SameValueZero, as lodash's uniq compares: every parsed object or array is
// one of its own.
bool SameValueZero(const Json::Value& a, const Json::Value& b) {
  if (a.isNumeric() && b.isNumeric()) return a.asDouble() == b.asDouble();
  if (a.isObject() || a.isArray() || a.type() != b.type()) return false;
  return a == b;
}

// The characters `[...text]` spreads a string into (code points).
std::vector<Json::Value> CodePoints(const std::string& text) {
  std::vector<Json::Value> points;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = 1;
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xf0) {
      length = 4;
    } else if (lead >= 0xe0) {
      length = 3;
    } else if (lead >= 0xc0) {
      length = 2;
    }
    points.emplace_back(text.substr(i, length));
    i += length;
  }
  return points;
}

struct KeyOnly {
  const char* provider;
  const char* key;     // flat key that opens the provider
  const char* target;  // where its value goes
};

// uniq(ids).filter(Boolean).map(id => ({modelId: id}))
Json::Value ModelList(const std::vector<Json::Value>& ids) {
  std::vector<Json::Value> unique;
  for (const Json::Value& id : ids) {
    bool seen = false;
    for (const Json::Value& u : unique) seen = seen || SameValueZero(u, id);
    if (!seen) unique.push_back(id);
  }
  Json::Value models(Json::arrayValue);
  for (const Json::Value& id : unique) {
    if (!Truthy(id)) continue;
    Json::Value model(Json::objectValue);
    model["modelId"] = id;
    models.append(model);
  }
  return models;
}

// The client's own OpenAI models (its provider definition's defaults).
const Json::Value& OpenAiBuiltinModels() {
  static const Json::Value models = [] {
    const struct {
      const char* id;
      std::vector<const char*> capabilities;
      int contextWindow;
      int maxOutput;
    } rows[] = {
        {"gpt-5.4", {"vision", "tool_use", "reasoning"}, 1050000, 128000},
        {"gpt-5-mini", {"vision", "tool_use", "reasoning"}, 400000, 128000},
        {"gpt-4o", {"vision", "tool_use"}, 128000, 16384},
        {"gpt-4o-mini", {"vision", "tool_use"}, 128000, 16384},
        {"o4-mini", {"vision", "tool_use", "reasoning"}, 200000, 100000},
        {"o3-pro", {"vision", "tool_use", "reasoning"}, 200000, 100000},
        {"o3-mini", {"vision", "tool_use", "reasoning"}, 200000, 100000},
    };
    Json::Value list(Json::arrayValue);
    for (const auto& row : rows) {
      Json::Value model(Json::objectValue);
      model["modelId"] = row.id;
      for (const char* c : row.capabilities) model["capabilities"].append(c);
      model["contextWindow"] = row.contextWindow;
      model["maxOutput"] = row.maxOutput;
      list.append(model);
    }
    Json::Value embedding(Json::objectValue);
    embedding["modelId"] = "text-embedding-3-small";
    embedding["type"] = "embedding";
    list.append(embedding);
    return list;
  }();
  return models;
}

void MigrateOpenAi(const Json::Value& old, Json::Value& providers) {
  if (!Truthy(old["openaiKey"]) && !Truthy(old["apiHost"])) return;
  const Json::Value& custom = old["openaiCustomModel"];
  const Json::Value& options = old["openaiCustomModelOptions"];
  // `(options || []).map` on anything but a list throws inside the client's
  // try: the OpenAI settings are left out.
  if (Truthy(options) && !options.isArray()) return;
  Json::Value p(Json::objectValue);
  CopyIfPresent(p, "apiHost", old, "apiHost");
  CopyIfPresent(p, "apiKey", old, "openaiKey");
  if (Truthy(custom) || Truthy(options)) {
    // uniqBy([...builtin, custom?, ...options], 'modelId'): the first stays.
    std::vector<Json::Value> entries;
    for (const Json::Value& builtin : OpenAiBuiltinModels()) entries.push_back(builtin);
    Json::Value entry(Json::objectValue);
    if (Truthy(custom)) {
      entry["modelId"] = custom;
      entries.push_back(entry);
    }
    if (options.isArray()) {
      for (const Json::Value& o : options) {
        entry["modelId"] = o;
        entries.push_back(entry);
      }
    }
    Json::Value models(Json::arrayValue);
    for (const Json::Value& e : entries) {
      bool seen = false;
      for (const Json::Value& m : models) seen = seen || SameValueZero(m["modelId"], e["modelId"]);
      if (!seen) models.append(e);
    }
    p["models"] = models;
  }
  providers["openai"] = p;
}

// False where `azureDeploymentNameOptions?.map` throws (outside any try).
bool MigrateAzure(const Json::Value& old, Json::Value& providers) {
  const Json::Value& options = old["azureDeploymentNameOptions"];
  if (!Truthy(old["azureEndpoint"]) && !Truthy(options) &&
      !Truthy(old["azureDalleDeploymentName"]) && !Truthy(old["azureApikey"]) &&
      !Truthy(old["azureApiVersion"])) {
    return true;
  }
  if (!options.isNull() && !options.isArray()) return false;
  Json::Value p(Json::objectValue);
  CopyIfPresent(p, "apiKey", old, "azureApikey");
  CopyIfPresent(p, "endpoint", old, "azureEndpoint");
  CopyIfPresent(p, "dalleDeploymentName", old, "azureDalleDeploymentName");
  CopyIfPresent(p, "apiVersion", old, "azureApiVersion");
  if (options.isArray()) {
    Json::Value models(Json::arrayValue);
    for (const Json::Value& o : options) {
      Json::Value model(Json::objectValue);
      model["modelId"] = o;
      models.append(model);
    }
    p["models"] = models;
  }
  providers["azure"] = p;
  return true;
}

void MigrateCustom(const Json::Value& old, Json::Value& providers, Json::Value& customProviders) {
  const Json::Value& list = old["customProviders"];
  if (!Truthy(list) || !list.isArray()) return;  // forEach of no list throws in a try
  for (const Json::Value& cp : list) {
    if (cp.isNull()) break;  // the client's loop throws there and stops
    const std::string id = "custom-provider-" + NewUuid();
    Json::Value info(Json::objectValue);
    info["id"] = id;
    CopyIfPresent(info, "name", cp, "name");
    info["isCustom"] = true;
    info["type"] = "openai";
    customProviders.append(info);
    // `[...(cp.modelOptions || [])]`: a string spreads into its characters,
    // anything else but a list throws.
    const Json::Value& options = Member(cp, "modelOptions");
    std::vector<Json::Value> ids;
    if (options.isString() && Truthy(options)) {
      ids = CodePoints(options.asString());
    } else if (options.isArray()) {
      for (const Json::Value& o : options) ids.push_back(o);
    } else if (Truthy(options)) {
      break;
    }
    Json::Value p(Json::objectValue);
    CopyIfPresent(p, "apiKey", cp, "key");
    CopyIfPresent(p, "apiHost", cp, "host");
    CopyIfPresent(p, "apiPath", cp, "path");
    CopyIfPresent(p, "useProxy", cp, "useProxy");
    const Json::Value& model = Member(cp, "model");
    ids.push_back(Truthy(model) ? model : Json::Value(""));
    p["models"] = ModelList(ids);
    providers[id] = p;
  }
}

const char* SessionModelKey(const Json::Value* provider) {
  static const std::pair<const char*, const char*> keys[] = {
      {"chatbox-ai", "chatboxAIModel"},  {"openai", "model"},
      {"claude", "claudeModel"},         {"gemini", "geminiModel"},
      {"ollama", "ollamaModel"},         {"lm-studio", "lmStudioModel"},
      {"deepseek", "deepseekModel"},     {"siliconflow", "siliconCloudModel"},
      {"azure", "azureDeploymentName"},  {"xAI", "xAIModel"},
      {"perplexity", "perplexityModel"}, {"groq", "groqModel"},
      {"chatglm-6b", "chatglmModel"},    {"custom", "model"}};
  const std::string name = JsString(provider);
  for (const auto& [id, key] : keys) {
    if (name == id) return key;
  }
  return "undefined";  // obj[undefined] reads the key "undefined"
}

void PutIfDefined(Json::Value& to, const char* key, const Json::Value* value) {
  if (value != nullptr) to[key] = *value;
}

// One session as the step to 10 converts it; throws as the client does.
Json::Value ConvertSession(Json::Value session, const Json::Value& oldSettings) {
  const Json::Value& settings = Member(session, "settings");
  const Json::Value own = Truthy(settings) ? settings : Json::Value(Json::objectValue);
  Json::Value next(Json::objectValue);
  const Json::Value& type = Member(session, "type");
  if (type.isString() && type.asString() == "chat") {
    const Json::Value* provider = Read(own, "aiProvider");
    if (provider == nullptr || provider->isNull()) provider = Read(oldSettings, "aiProvider");
    const char* modelKey = SessionModelKey(provider);
    PutIfDefined(next, "provider", provider);
    for (const auto& [name, key] : {std::pair<const char*, const char*>{"modelId", modelKey},
                                    {"maxContextMessageCount", "maxContextMessageCount"},
                                    {"temperature", "temperature"},
                                    {"topP", "topP"}}) {
      const Json::Value* value = Read(own, key);
      if (value == nullptr || value->isNull()) value = Read(oldSettings, key);
      PutIfDefined(next, name, value);
    }
  } else {
    const Json::Value* global = Read(oldSettings, "aiProvider");
    const std::string name = global != nullptr && global->isString() ? global->asString() : "";
    next["provider"] =
        name == "chatbox-ai" || name == "openai" || name == "azure" ? name : "chatbox-ai";
    next["modelId"] = "DALL-E-3";
    const Json::Value three(3);
    const Json::Value vivid("vivid");
    next["imageGenerateNum"] = *Coalesce(Read(own, "imageGenerateNum"), &three);
    next["dalleStyle"] = *Coalesce(Read(own, "dalleStyle"), &vivid);
  }
  session["settings"] = next;
  return session;
}

}  // namespace

bool MigrateSessions7To8(Json::Value& store) {
  const Json::Value sessions = Member(store, "chat-sessions");
  if (sessions.isNull() || (sessions.isArray() && sessions.empty())) return true;
  if (sessions.isString() && sessions.asString().empty()) return true;  // length 0
  if (!sessions.isArray()) return false;                                // `.map` of no list
  Json::Value list(Json::arrayValue);
  Json::Value byKey(Json::objectValue);
  for (const Json::Value& session : sessions) {
    if (session.isNull()) return false;  // keyBy reads its id
    Json::Value meta(Json::objectValue);
    for (const char* key : {"id", "name", "starred", "hidden", "assistantAvatarKey", "picUrl",
                            "backgroundImage", "type"}) {
      CopyIfPresent(meta, key, session, key);
    }
    list.append(meta);
    byKey["session:" + JsString(session.isObject() && session.isMember("id") ? &session["id"]
                                                                             : nullptr)] = session;
  }
  store["chat-sessions-list"] = list;
  for (const std::string& key : byKey.getMemberNames()) store[key] = byKey[key];
  return true;
}

void MigrateSessions9To10(Json::Value& store, const Json::Value& oldSettings) {
  const Json::Value list = Member(store, "chat-sessions-list");
  std::vector<Json::Value> metas;
  if (list.isArray()) {
    for (const Json::Value& meta : list) metas.push_back(meta);
  } else if (list.isString() && !list.asString().empty()) {
    metas.emplace_back("c");  // characters have no id: each reads session:undefined
  }
  Json::Value converted(Json::objectValue);
  for (const Json::Value& meta : metas) {
    try {
      const std::string key = "session:" + JsString(Read(meta, "id"));
      // A missing session reads as {}, which the store then holds.
      if (store[key].isNull()) store[key] = Json::Value(Json::objectValue);
      const Json::Value session = store[key];
      const Json::Value* id =
          session.isObject() && session.isMember("id") ? &session["id"] : nullptr;
      if (id == nullptr || !Truthy(*id)) continue;
      converted["session:" + JsString(id)] = ConvertSession(session, oldSettings);
    } catch (const Throws&) {
      // the client logs it and goes on with the next session
    }
  }
  for (const std::string& key : converted.getMemberNames()) store[key] = converted[key];
}

std::optional<Json::Value> MigrateSettings9To10(const Json::Value& old) {
  Json::Value providers(Json::objectValue);
  Json::Value customProviders(Json::arrayValue);
  MigrateOpenAi(old, providers);
  const std::vector<std::pair<std::vector<KeyOnly>, const char*>> simple = {
      {{{"claude", "claudeApiKey", "apiKey"}, {"claude", "claudeApiHost", "apiHost"}}, "claude"},
      {{{"gemini", "geminiAPIKey", "apiKey"}, {"gemini", "geminiAPIHost", "apiHost"}}, "gemini"},
      {{{"deepseek", "deepseekAPIKey", "apiKey"}}, "deepseek"},
      {{{"siliconflow", "siliconCloudKey", "apiKey"}}, "siliconflow"},
  };
  for (const auto& [keys, provider] : simple) {
    bool open = false;
    for (const KeyOnly& k : keys) open = open || Truthy(old[k.key]);
    if (!open) continue;
    Json::Value p(Json::objectValue);
    for (const KeyOnly& k : keys) CopyIfPresent(p, k.target, old, k.key);
    providers[provider] = p;
  }
  if (!MigrateAzure(old, providers)) return std::nullopt;
  const std::vector<KeyOnly> single = {
      {"xAI", "xAIKey", "apiKey"},
      {"ollama", "ollamaHost", "apiHost"},
      {"lm-studio", "lmStudioHost", "apiHost"},
      {"perplexity", "perplexityApiKey", "apiKey"},
      {"groq", "groqAPIKey", "apiKey"},
      {"chatglm-6b", "chatglmApiKey", "apiKey"},
  };
  for (const KeyOnly& k : single) {
    if (!Truthy(old[k.key])) continue;
    Json::Value p(Json::objectValue);
    p[k.target] = old[k.key];
    providers[k.provider] = p;
  }
  MigrateCustom(old, providers, customProviders);

  Json::Value settings = old;
  settings["providers"] = providers;
  settings["customProviders"] = customProviders;
  return settings;
}

}  // namespace fake_chatbox
