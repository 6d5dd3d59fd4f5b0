#include <tests/fakes/ollama_endpoint.h>

#include <arpa/inet.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace fake_ollama {

namespace {

std::string_view Trim(std::string_view text, std::string_view chars) {
  while (!text.empty() && chars.find(text.front()) != std::string_view::npos) text.remove_prefix(1);
  while (!text.empty() && chars.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
  return text;
}

// Go's net.SplitHostPort: "host:port" or "[v6]:port"; false when there is no
// port or the colons are ambiguous.
bool SplitHostPort(std::string_view hostport, std::string* host, std::string* port) {
  if (hostport.starts_with('[')) {
    const std::size_t close = hostport.find(']');
    if (close == std::string_view::npos || close + 1 >= hostport.size() ||
        hostport[close + 1] != ':') {
      return false;
    }
    const std::string_view inner = hostport.substr(1, close - 1);
    const std::string_view rest = hostport.substr(close + 2);
    if (rest.find_first_of("[]") != std::string_view::npos) return false;
    *host = inner;
    *port = rest;
    return true;
  }
  const std::size_t colon = hostport.rfind(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view name = hostport.substr(0, colon);
  if (name.find(':') != std::string_view::npos ||
      name.find_first_of("[]") != std::string_view::npos) {
    return false;
  }
  *host = name;
  *port = hostport.substr(colon + 1);
  return true;
}

bool IsIpAddress(const std::string& text, bool* v6) {
  unsigned char buffer[16];
  if (inet_pton(AF_INET, text.c_str(), buffer) == 1) {
    *v6 = false;
    return true;
  }
  if (inet_pton(AF_INET6, text.c_str(), buffer) == 1) {
    *v6 = true;
    return true;
  }
  return false;
}

}  // namespace

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return std::string(Trim(Trim(value != nullptr ? value : "", " \t\r\n\v\f"), "\"'"));
}

std::string HostAddress::ConnectHost() const {
  if (host.empty() || host == "0.0.0.0") return "127.0.0.1";
  if (host == "::") return "::1";
  return host;
}

std::string HostAddress::HostPort() const {
  const std::string name = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return name + ":" + std::to_string(port);
}

HostAddress ParseOllamaHost(const std::string& value) {
  HostAddress address;
  std::string_view text = Trim(value, " \t\r\n\v\f");
  std::string defaultPort = "11434";
  std::string_view hostport = text;
  if (const std::size_t sep = text.find("://"); sep != std::string_view::npos) {
    address.scheme = text.substr(0, sep);
    hostport = text.substr(sep + 3);
    if (address.scheme == "http") defaultPort = "80";
    if (address.scheme == "https") defaultPort = "443";
  }
  hostport = hostport.substr(0, hostport.find('/'));
  std::string host, port;
  if (!SplitHostPort(hostport, &host, &port)) {
    host = "127.0.0.1";
    port = defaultPort;
    std::string bare(Trim(hostport, "[]"));
    bool v6 = false;
    if (IsIpAddress(bare, &v6)) {
      host = bare;
    } else if (!hostport.empty()) {
      host = hostport;
    }
  }
  // A port that is no number or out of range falls back to the default.
  long long number = -1;
  const std::string_view digits = std::string_view(port).starts_with('+')
                                      ? std::string_view(port).substr(1)
                                      : std::string_view(port);
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number < 0 ||
      number > 65535) {
    number = std::stoll(defaultPort);
  }
  address.host = host;
  address.port = static_cast<int>(number);
  return address;
}

HostAddress ConfiguredHost() { return ParseOllamaHost(EnvValue("OLLAMA_HOST")); }

int ServerPort(const char* ollamaHost) {
  return ParseOllamaHost(ollamaHost != nullptr ? ollamaHost : "").port;
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
