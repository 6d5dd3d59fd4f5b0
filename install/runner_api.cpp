#include <install/runner_api.h>

#include <config/json_text.h>
#include <net/http_client.h>

namespace {

std::optional<Json::Value> GetJsonObject(const std::string& url, long timeoutMs) {
  HttpResponse response;
  try {
    response = HttpGetRequest(url, {}, timeoutMs);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  Json::Value value;
  if (response.status != 200 || !ParseJson(response.body, value) || !value.isObject()) {
    return std::nullopt;
  }
  return value;
}

std::string StringMember(const Json::Value& object, const char* name) {
  const Json::Value& value = object[name];
  return value.isString() ? value.asString() : std::string();
}

}  // namespace

bool RunnerAnswers(const std::string& address, long timeoutMs) {
  try {
    const HttpResponse response = HttpGetRequest(address + "/", {}, timeoutMs);
    return response.status == 200 && response.body.find("Ollama is running") != std::string::npos;
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<std::string> RunnerVersion(const std::string& address, long timeoutMs) {
  const auto answer = GetJsonObject(address + "/api/version", timeoutMs);
  if (!answer) return std::nullopt;
  const std::string version = StringMember(*answer, "version");
  if (version.empty()) return std::nullopt;
  return version;
}

std::optional<std::vector<RunnerModel>> ListRunnerModels(const std::string& address,
                                                         long timeoutMs) {
  const auto answer = GetJsonObject(address + "/api/tags", timeoutMs);
  if (!answer) return std::nullopt;
  const Json::Value& models = (*answer)["models"];
  // A runner with no models answers null or an empty list.
  if (!models.isArray() && !models.isNull()) return std::nullopt;
  std::vector<RunnerModel> list;
  for (const Json::Value& model : models) {
    if (!model.isObject()) continue;
    RunnerModel entry;
    entry.name = StringMember(model, "name");
    if (entry.name.empty()) entry.name = StringMember(model, "model");
    if (entry.name.empty()) continue;
    entry.size = model["size"].isUInt64() ? model["size"].asUInt64() : 0;
    entry.modifiedAt = StringMember(model, "modified_at");
    entry.digest = StringMember(model, "digest");
    list.push_back(std::move(entry));
  }
  return list;
}

std::vector<std::string> RunnerModelNames(const std::vector<RunnerModel>& models) {
  std::vector<std::string> names;
  names.reserve(models.size());
  for (const RunnerModel& model : models) names.push_back(model.name);
  return names;
}

bool DeleteRunnerModel(const std::string& address, const std::string& tag, long timeoutMs) {
  if (tag.empty()) return false;
  // "model" is the field current runners read; old ones read "name" and
  // ignore members they do not know, so both carry the tag.
  Json::Value request(Json::objectValue);
  request["model"] = tag;
  request["name"] = tag;
  std::string body;
  if (!WriteJson(request, body)) return false;
  try {
    const HttpResponse response =
        HttpRequest("DELETE", address + "/api/delete", body, "application/json", timeoutMs);
    return response.status == 200;
  } catch (const std::exception&) {
    return false;
  }
}
