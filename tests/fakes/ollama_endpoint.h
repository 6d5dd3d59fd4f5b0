#pragma once
// Where the stand-in runner's server listens and where it fetches models.
#include <string>

namespace fake_ollama {

inline constexpr int kDefaultPort = 11434;

// OLLAMA_HOST as "127.0.0.1:PORT", "http://127.0.0.1:PORT", "localhost:PORT"
// or ":PORT"; the server is always on 127.0.0.1. -1 when the value is bad.
int ServerPort(const char* ollamaHost);

// A base URL split for an HTTP client: "http://host:port" and the path
// prefix without a trailing slash. False when it is not an http URL.
bool SplitBaseUrl(const std::string& url, std::string* schemeHostPort, std::string* prefix);

}  // namespace fake_ollama
