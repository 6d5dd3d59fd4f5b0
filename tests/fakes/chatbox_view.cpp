#include <tests/fakes/chatbox_view.h>

#include <map>

#include <tests/fakes/chatbox_schema.h>

namespace fake_chatbox {

namespace {

constexpr const char* kOllamaDefaultHost = "http://127.0.0.1:11434";

// The built-in providers in the order the selector lists them.
constexpr const char* kBuiltinProviders[] = {
    "chatbox-ai",  "openai",     "openai-responses", "azure",      "chatglm-6b",
    "claude",      "gemini",     "ollama",           "groq",       "deepseek",
    "siliconflow", "volcengine", "mistral-ai",       "lm-studio",  "perplexity",
    "xAI",         "openrouter", "minimax",          "minimax-cn", "moonshot",
    "qwen",        "qwen-portal"};

std::string StringOf(const Json::Value& value) {
  return value.isString() ? value.asString() : std::string();
}

std::vector<std::string> ModelIds(const Json::Value& provider) {
  std::vector<std::string> ids;
  const Json::Value& models = Member(provider, "models");
  if (!models.isArray()) return ids;
  for (const Json::Value& model : models) ids.push_back(StringOf(Member(model, "modelId")));
  return ids;
}

bool HasModels(const Json::Value& provider) {
  const Json::Value& models = Member(provider, "models");
  return models.isArray() && !models.empty();
}

UserView CurrentView(const Json::Value& held) {
  UserView view;
  const Json::Value& providers = Member(held, "providers");
  for (const char* id : kBuiltinProviders) {
    const Json::Value& settings = Member(providers, id);
    const std::string name = id;
    const bool offered = (name == "chatbox-ai" && Truthy(Member(held, "licenseKey"))) ||
                         Truthy(Member(settings, "apiKey")) ||
                         ((name == "ollama" || name == "lm-studio") && HasModels(settings));
    if (offered) view.offered.push_back(name);
  }
  const Json::Value& custom = Member(held, "customProviders");
  if (custom.isArray()) {
    for (const Json::Value& info : custom) {
      const std::string id = StringOf(Member(info, "id"));
      if (HasModels(Member(providers, id.c_str()))) view.offered.push_back(id);
    }
  }
  const Json::Value& ollama = Member(providers, "ollama");
  for (const std::string& id : view.offered) {
    if (id == "ollama") view.ollamaModels = ModelIds(ollama);
  }
  const std::string host = StringOf(Member(ollama, "apiHost"));
  view.host = host.empty() ? kOllamaDefaultHost : host;
  const Json::Value& chosen = Member(held, "defaultChatModel");
  view.provider = StringOf(Member(chosen, "provider"));
  view.model = StringOf(Member(chosen, "model"));
  return view;
}

// 1.9.8: one provider at a time (aiProvider) with its own flat model key;
// defaults lie under what the file holds.
UserView LegacyView(const Json::Value& held) {
  static const std::map<std::string, std::string> modelKey = {{"openai", "model"},
                                                              {"claude", "claudeModel"},
                                                              {"gemini", "geminiModel"},
                                                              {"ollama", "ollamaModel"},
                                                              {"groq", "groqModel"},
                                                              {"deepseek", "deepseekModel"},
                                                              {"siliconflow", "siliconCloudModel"},
                                                              {"lm-studio", "lmStudioModel"},
                                                              {"perplexity", "perplexityModel"},
                                                              {"xAI", "xAIModel"},
                                                              {"azure", "azureDeploymentName"},
                                                              {"chatbox-ai", "chatboxAIModel"},
                                                              {"chatglm-6b", "chatglmModel"}};
  const Json::Value settings = SettingsToSave(ClientVersion::V1_9_8, held);
  UserView view;
  view.provider = StringOf(settings["aiProvider"]);
  if (const auto key = modelKey.find(view.provider); key != modelKey.end()) {
    view.model = StringOf(settings[key->second]);
  }
  view.host = StringOf(settings["ollamaHost"]);
  if (!view.provider.empty()) view.offered.push_back(view.provider);
  return view;
}

std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return text;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += ',';
    out += Printable(item);
  }
  return out;
}

}  // namespace

std::string DescribeChats(const Json::Value& browser) {
  std::vector<std::string> chats;
  const Json::Value& list = Member(browser, "chat-sessions-list");
  if (list.isArray()) {
    for (const Json::Value& meta : list) {
      const std::string id = StringOf(Member(meta, "id"));
      const Json::Value& session = Member(browser, ("session:" + id).c_str());
      const Json::Value& settings = Member(session, "settings");
      chats.push_back(id + ":" +
                      (session.isObject() ? StringOf(Member(settings, "provider")) + "/" +
                                                StringOf(Member(settings, "modelId"))
                                          : std::string("?")));
    }
  }
  return "chats=" + Joined(chats);
}

UserView ViewOf(ClientVersion client, const Json::Value& held) {
  return client == ClientVersion::V1_9_8 ? LegacyView(held) : CurrentView(held);
}

std::string DescribeView(const UserView& view) {
  return "provider=" + Printable(view.provider) + " model=" + Printable(view.model) +
         " host=" + Printable(view.host) + " ollama-models=" + Joined(view.ollamaModels) +
         " offered=" + Joined(view.offered);
}

}  // namespace fake_chatbox
