#include <tests/fakes/ollama_registry.h>

#include <httplib.h>

#include <cstdlib>

#include <json/json.h>
#include <tests/fakes/ollama_endpoint.h>

namespace fake_ollama {

namespace {

// deepseek-r1's chat template and parameters, shortened; the license is the
// MIT text the real model carries.
constexpr const char* kTemplate =
    "{{- if .System }}{{ .System }}{{ end }}\n"
    "{{- range $i, $_ := .Messages }}\n"
    "{{- $last := eq (len (slice $.Messages $i)) 1}}\n"
    "{{- if eq .Role \"user\" }}<｜User｜>{{ .Content }}\n"
    "{{- else if eq .Role \"assistant\" }}<｜Assistant｜>{{ .Content }}{{- if not $last }}"
    "<｜end▁of▁sentence｜>{{- end }}\n"
    "{{- end }}\n"
    "{{- if and $last (ne .Role \"assistant\") }}<｜Assistant｜>{{- end }}\n"
    "{{- end }}";
constexpr const char* kLicense =
    "MIT License\n\nCopyright (c) 2023 DeepSeek\n\n"
    "Permission is hereby granted, free of charge, to any person obtaining a copy\n"
    "of this software and associated documentation files (the \"Software\"), to deal\n"
    "in the Software without restriction, including without limitation the rights\n"
    "to use, copy, modify, merge, publish, distribute, sublicense, and/or sell\n"
    "copies of the Software, and to permit persons to whom the Software is\n"
    "furnished to do so, subject to the following conditions:\n\n"
    "The above copyright notice and this permission notice shall be included in all\n"
    "copies or substantial portions of the Software.\n\n"
    "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR\n"
    "IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,\n"
    "FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE\n"
    "AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER\n"
    "LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,\n"
    "OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE\n"
    "SOFTWARE.\n";
constexpr const char* kParams =
    "{\"stop\":[\"<｜begin▁of▁sentence｜>\",\"<｜end▁of▁sentence｜>\",\"<｜User｜>\","
    "\"<｜Assistant｜>\"]}";

struct Family {
  const char* tag;
  const char* family;
  const char* parameters;
};
constexpr Family kFamilies[] = {{"1.5b", "qwen2", "1.8B"},      {"7b", "qwen2", "7.6B"},
                                {"8b", "llama", "8.0B"},        {"14b", "qwen2", "14.8B"},
                                {"32b", "qwen2", "32.8B"},      {"70b", "llama", "70.6B"},
                                {"671b", "deepseek2", "671.0B"}};

RemoteLayer Small(const char* mediaType, std::string bytes) {
  RemoteLayer remote;
  remote.layer = {mediaType, "sha256:" + Sha256Hex(bytes), static_cast<std::int64_t>(bytes.size())};
  remote.bytes = std::move(bytes);
  return remote;
}

std::string ConfigJson(const ModelName& name, const std::vector<Layer>& layers) {
  Family family{"", "qwen2", ""};
  for (const auto& known : kFamilies) {
    if (name.tag == known.tag) family = known;
  }
  Json::Value config(Json::objectValue);
  config["model_format"] = "gguf";
  config["model_family"] = family.family;
  config["model_families"] = Json::Value(Json::arrayValue);
  config["model_families"].append(family.family);
  config["model_type"] = family.parameters[0] != '\0' ? family.parameters : "";
  config["file_type"] = "Q4_K_M";
  config["architecture"] = "amd64";
  config["os"] = "linux";
  config["rootfs"]["type"] = "layers";
  config["rootfs"]["diff_ids"] = Json::Value(Json::arrayValue);
  for (const auto& layer : layers) config["rootfs"]["diff_ids"].append(layer.digest);
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, config);
}

}  // namespace

std::string ModelSourceUrl(const std::string& source, const ModelName& name) {
  std::string base = source;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/" + name.DisplayShortest();
}

std::string TransportError(const std::string& url, const std::string& hostPort, int httplibError) {
  std::string reason;
  switch (static_cast<httplib::Error>(httplibError)) {
    case httplib::Error::Connection:
      reason = "dial tcp " + hostPort + ": connect: connection refused";
      break;
    case httplib::Error::ConnectionTimeout:
      reason = "dial tcp " + hostPort + ": i/o timeout";
      break;
    case httplib::Error::Read:
      return "unexpected EOF";
    default:
      reason = "read tcp " + hostPort + ": connection reset by peer";
  }
  return "Get \"" + url + "\": " + reason;
}

bool FetchRemoteModel(const std::string& source, const ModelName& name, RemoteModel* model,
                      std::string* error) {
  std::string base, prefix;
  if (!SplitBaseUrl(source, &base, &prefix)) {
    *error = "no model source: TIDEWELL_MODEL_SOURCE is not an http URL";
    return false;
  }
  const std::string url = ModelSourceUrl(source, name);
  httplib::Client client(base);
  client.set_connection_timeout(10);
  client.set_read_timeout(30);
  int status = 0;
  std::int64_t size = -1;
  // Only the headers: the length stands in for the manifest's layer size.
  const httplib::Result result = client.Get(
      url.substr(base.size()),
      [&](const httplib::Response& response) {
        status = response.status;
        if (response.has_header("Content-Length")) {
          size = std::strtoll(response.get_header_value("Content-Length").c_str(), nullptr, 10);
        }
        return false;
      },
      [](const char*, std::size_t) { return false; });
  if (status == 0) {
    *error = TransportError(url, base.substr(7), static_cast<int>(result.error()));
    return false;
  }
  if (status == 404) {
    *error = "file does not exist";
    return false;
  }
  if (status != 200 || size < 0) {
    *error = "unexpected status code " + std::to_string(status);
    return false;
  }

  RemoteLayer blob;
  blob.layer = {"application/vnd.ollama.image.model",
                "sha256:" + Sha256Hex("tidewell model source\n" + name.DisplayShortest() + "\n" +
                                      std::to_string(size)),
                size};
  blob.fromSource = true;
  model->layers = {blob, Small("application/vnd.ollama.image.template", kTemplate),
                   Small("application/vnd.ollama.image.license", kLicense),
                   Small("application/vnd.ollama.image.params", kParams)};
  model->manifestLayers.clear();
  for (const auto& layer : model->layers) model->manifestLayers.push_back(layer.layer);
  RemoteLayer config = Small("application/vnd.docker.container.image.v1+json",
                             ConfigJson(name, model->manifestLayers));
  model->config = config.layer;
  model->layers.push_back(config);
  return true;
}

}  // namespace fake_ollama
