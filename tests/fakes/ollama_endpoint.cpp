#include <tests/fakes/ollama_endpoint.h>

#include <charconv>
#include <string_view>

namespace fake_ollama {

int ServerPort(const char* ollamaHost) {
  std::string_view host = ollamaHost != nullptr ? ollamaHost : "";
  if (host.starts_with("http://")) host.remove_prefix(7);
  while (!host.empty() && host.back() == '/') host.remove_suffix(1);
  if (host.empty()) return kDefaultPort;
  const std::size_t colon = host.rfind(':');
  const std::string_view name = host.substr(0, colon);
  if (name != "" && name != "127.0.0.1" && name != "localhost") return -1;
  if (colon == std::string_view::npos) return kDefaultPort;
  const std::string_view digits = host.substr(colon + 1);
  int port = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (ec != std::errc() || end != digits.data() + digits.size() || port <= 0 || port > 65535) {
    return -1;
  }
  return port;
}

bool SplitBaseUrl(const std::string& url, std::string* schemeHostPort, std::string* prefix) {
  if (!url.starts_with("http://") || url.size() <= 7) return false;
  const std::size_t slash = url.find('/', 7);
  *schemeHostPort = url.substr(0, slash);
  *prefix = slash == std::string::npos ? "" : url.substr(slash);
  while (!prefix->empty() && prefix->back() == '/') prefix->pop_back();
  return true;
}

}  // namespace fake_ollama
