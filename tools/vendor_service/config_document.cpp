#include <tools/vendor_service/config_document.h>

#include <memory>

#include <json/json.h>

#include <base/package_version.h>

namespace {

bool IsServedUrl(const Json::Value& value) {
  if (!value.isString()) return false;
  const std::string text = value.asString();
  return text.empty() || text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

}  // namespace

bool PrepareConfigDocument(std::string_view text, std::string_view publicBaseUrl,
                           std::string* document, std::string* error) {
  std::string replaced;
  for (std::size_t from = 0;;) {
    const std::size_t at = text.find(kPublicBaseUrlPlaceholder, from);
    replaced += text.substr(from, at - from);
    if (at == std::string_view::npos) break;
    replaced += publicBaseUrl;
    from = at + kPublicBaseUrlPlaceholder.size();
  }

  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string why;
  if (!reader->parse(replaced.data(), replaced.data() + replaced.size(), &root, &why)) {
    // jsoncpp's message spans lines; its first one names the place.
    *error = "not valid JSON: " + why.substr(0, why.find('\n'));
    return false;
  }
  if (!root.isObject()) {
    *error = "the document must be a JSON object";
    return false;
  }
  for (const char* member : {"serviceurl", "DeepSeekUrl"}) {
    if (root.isMember(member) && !IsServedUrl(root[member])) {
      *error = std::string("\"") + member + "\" must be a string: empty or an http(s) URL";
      return false;
    }
  }
  if (root.isMember("DeepSeekUrls")) {
    const Json::Value& list = root["DeepSeekUrls"];
    bool ok = list.isArray();
    for (Json::ArrayIndex i = 0; ok && i < list.size(); ++i) {
      ok = IsServedUrl(list[i]) && !list[i].asString().empty();
    }
    if (!ok) {
      *error = "\"DeepSeekUrls\" must be an array of http(s) URLs";
      return false;
    }
  }
  if (root.isMember("DeepSeekVersion") && (!root["DeepSeekVersion"].isString() ||
                                           !IsPackageVersion(root["DeepSeekVersion"].asString()))) {
    *error = "\"DeepSeekVersion\" must be a string of numbers joined by dots, such as \"1.2.0\"";
    return false;
  }
  *document = replaced;
  return true;
}
