#pragma once
// Where the stand-in runner's server listens and where it fetches models.
#include <string>

namespace fake_ollama {

inline constexpr int kDefaultPort = 11434;

// An environment value as the real runner reads it: blanks around it and
// quotes at either end removed.
std::string EnvValue(const char* name);

// OLLAMA_HOST read the real runner's way: an optional scheme ("http" makes
// the default port 80, "https" 443), host default 127.0.0.1, port default
// 11434, a path after the first '/' ignored, a bad port replaced by the
// default. Any host and port (0 too) are taken.
struct HostAddress {
  std::string scheme = "http";
  std::string host = "127.0.0.1";  // without brackets for IPv6
  int port = kDefaultPort;
  // Where a client connects: a wildcard or empty host means this machine.
  std::string ConnectHost() const;
  // "host:port", brackets around an IPv6 host, as the real one prints it.
  std::string HostPort() const;
};
HostAddress ParseOllamaHost(const std::string& value);
// From the OLLAMA_HOST environment variable.
HostAddress ConfiguredHost();

// The port OLLAMA_HOST names, as above.
int ServerPort(const char* ollamaHost);

// A base URL split for an HTTP client: "http://host:port" and the path
// prefix without a trailing slash. False when it is not an http URL.
bool SplitBaseUrl(const std::string& url, std::string* schemeHostPort, std::string* prefix);

}  // namespace fake_ollama
