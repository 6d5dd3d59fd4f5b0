#include <tests/fakes/ollama_endpoint.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include <platform/process_variable.h>

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

// Four decimal numbers up to 255, without leading zeros (which some
// parsers would read as octal), as Go and inet_pton take them.
bool IsDottedQuad(std::string_view text) {
  int parts = 0;
  for (std::size_t start = 0;; ++parts) {
    const std::size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view part = text.substr(start, dot - start);
    int value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || error != std::errc() ||
        end != part.data() + part.size() || value > 255 || (part.size() > 1 && part[0] == '0') ||
        part[0] == '-' || part[0] == '+') {
      return false;
    }
    if (dot == text.size()) return parts == 3;
    start = dot + 1;
  }
}

// Groups of one to four hex digits split by ':', one "::" standing for the
// missing zero groups, and a dotted quad allowed as the last two groups.
bool IsIpv6(std::string_view text) {
  const std::size_t gap = text.find("::");
  if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos) {
    return false;
  }
  int groups = 0;
  const auto countGroups = [&](std::string_view side, bool last) {
    if (side.empty()) return true;
    for (std::size_t start = 0;;) {
      const std::size_t colon = std::min(side.find(':', start), side.size());
      const std::string_view group = side.substr(start, colon - start);
      if (last && colon == side.size() && group.find('.') != std::string_view::npos) {
        groups += 2;
        return IsDottedQuad(group);
      }
      if (group.empty() || group.size() > 4 ||
          group.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
        return false;
      }
      ++groups;
      if (colon == side.size()) return true;
      start = colon + 1;
    }
  };
  if (gap == std::string_view::npos) return countGroups(text, true) && groups == 8;
  return countGroups(text.substr(0, gap), false) && countGroups(text.substr(gap + 2), true) &&
         groups <= 7;
}

bool IsIpAddress(const std::string& text, bool* v6) {
  if (IsDottedQuad(text)) {
    *v6 = false;
    return true;
  }
  if (IsIpv6(text)) {
    *v6 = true;
    return true;
  }
  return false;
}

}  // namespace

std::string EnvValue(const char* name) {
  const std::string value = platform::ProcessVariable(name);
  return std::string(Trim(Trim(value, " \t\r\n\v\f"), "\"'"));
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
