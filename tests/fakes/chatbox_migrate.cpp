#include <tests/fakes/chatbox_migrate.h>

#include <cstdio>
#include <random>
#include <string>
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
  if (from.isMember(fromKey)) to[toKey] = from[fromKey];
}

struct KeyOnly {
  const char* provider;
  const char* key;     // flat key that opens the provider
  const char* target;  // where its value goes
};

Json::Value ModelList(const std::vector<Json::Value>& ids) {
  Json::Value models(Json::arrayValue);
  std::vector<std::string> seen;
  for (const Json::Value& id : ids) {
    if (!Truthy(id)) continue;
    const std::string key = id.toStyledString();
    bool duplicate = false;
    for (const std::string& s : seen) duplicate = duplicate || s == key;
    if (duplicate) continue;
    seen.push_back(key);
    Json::Value model(Json::objectValue);
    model["modelId"] = id;
    models.append(model);
  }
  return models;
}

void MigrateOpenAi(const Json::Value& old, Json::Value& providers) {
  if (!Truthy(old["openaiKey"]) && !Truthy(old["apiHost"])) return;
  Json::Value p(Json::objectValue);
  CopyIfPresent(p, "apiHost", old, "apiHost");
  CopyIfPresent(p, "apiKey", old, "openaiKey");
  const Json::Value& custom = old["openaiCustomModel"];
  const Json::Value& options = old["openaiCustomModelOptions"];
  if (Truthy(custom) || Truthy(options)) {
    // The client starts this list with OpenAI's built-in models; only the
    // user's own ones matter here.
    std::vector<Json::Value> ids;
    if (Truthy(custom)) ids.push_back(custom);
    if (options.isArray()) {
      for (const Json::Value& o : options) ids.push_back(o);
    }
    p["models"] = ModelList(ids);
  }
  providers["openai"] = p;
}

void MigrateAzure(const Json::Value& old, Json::Value& providers) {
  const Json::Value& options = old["azureDeploymentNameOptions"];
  if (!Truthy(old["azureEndpoint"]) && !Truthy(options) &&
      !Truthy(old["azureDalleDeploymentName"]) && !Truthy(old["azureApikey"]) &&
      !Truthy(old["azureApiVersion"])) {
    return;
  }
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
}

void MigrateCustom(const Json::Value& old, Json::Value& providers, Json::Value& customProviders) {
  const Json::Value& list = old["customProviders"];
  if (!Truthy(list) || !list.isArray()) return;
  for (const Json::Value& cp : list) {
    if (!cp.isObject()) break;  // the client's loop throws there and stops
    const std::string id = "custom-provider-" + NewUuid();
    Json::Value info(Json::objectValue);
    info["id"] = id;
    CopyIfPresent(info, "name", cp, "name");
    info["isCustom"] = true;
    info["type"] = "openai";
    customProviders.append(info);
    const Json::Value& options = cp["modelOptions"];
    if (Truthy(options) && !options.isArray()) break;
    Json::Value p(Json::objectValue);
    CopyIfPresent(p, "apiKey", cp, "key");
    CopyIfPresent(p, "apiHost", cp, "host");
    CopyIfPresent(p, "apiPath", cp, "path");
    CopyIfPresent(p, "useProxy", cp, "useProxy");
    std::vector<Json::Value> ids;
    if (options.isArray()) {
      for (const Json::Value& o : options) ids.push_back(o);
    }
    ids.push_back(Truthy(cp["model"]) ? cp["model"] : Json::Value(""));
    p["models"] = ModelList(ids);
    providers[id] = p;
  }
}

}  // namespace

Json::Value MigrateSettings9To10(const Json::Value& old) {
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
  MigrateAzure(old, providers);
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
