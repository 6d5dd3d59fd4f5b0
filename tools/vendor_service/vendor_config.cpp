#include <tools/vendor_service/vendor_config.h>

#include <charconv>
#include <map>

#include <platform/os_encoding.h>

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool ParsePort(std::string_view text, int* port) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *port);
  return ec == std::errc() && end == text.data() + text.size() && *port >= 1 && *port <= 65535 &&
         !text.empty() && IsDigit(text.front());
}

// Paths are the service's own files: absolute, so that they never depend on
// the folder it was started in (on Windows a drive's root counts too).
bool IsAbsolutePath(std::string_view value) {
  return !value.empty() &&
         (value.front() == '/' ||
          platform::OsPath(platform::OsNarrowToWide(std::string(value))).is_absolute());
}

bool IsIpv4(std::string_view text) {
  int parts = 0;
  while (true) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) ++n;
    if (n == 0 || n > 3 || (n > 1 && text[0] == '0')) return false;
    int value = 0;
    std::from_chars(text.data(), text.data() + n, value);
    if (value > 255) return false;
    ++parts;
    text.remove_prefix(n);
    if (text.empty()) return parts == 4;
    if (text.front() != '.' || parts == 4) return false;
    text.remove_prefix(1);
  }
}

bool IsIpv6(std::string_view text) {
  // Groups of up to four hex digits, "::" at most once, an IPv4 tail allowed.
  if (text.size() < 2) return false;
  int groups = 0;
  bool compressed = false;
  std::size_t i = 0;
  if (text.substr(0, 2) == "::") {
    compressed = true;
    i = 2;
  } else if (text.front() == ':') {
    return false;
  }
  while (i < text.size()) {
    std::size_t n = 0;
    while (i + n < text.size() && IsHex(text[i + n])) ++n;
    if (i + n < text.size() && text[i + n] == '.') {
      if (!IsIpv4(text.substr(i))) return false;
      groups += 2;
      i = text.size();
      break;
    }
    if (n == 0 || n > 4) return false;
    ++groups;
    i += n;
    if (i == text.size()) break;
    if (text[i] != ':') return false;
    ++i;
    if (i < text.size() && text[i] == ':') {
      if (compressed) return false;
      compressed = true;
      ++i;
    } else if (i == text.size()) {
      return false;  // a single trailing ':'
    }
  }
  return compressed ? groups < 8 : groups == 8;
}

// Characters a URL path may hold here: RFC 3986's unreserved ones, '%'
// escapes and the sub-delimiters that mean nothing to JSON, a header or a
// shell ('!', '$', '&', '\'', '(', ')', '*', ';', '`' and '"' are out).
bool IsPathChar(char c) {
  return IsAlpha(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' ||
         c == '+' || c == ',' || c == '=' || c == ':' || c == '@';
}

bool CheckHost(std::string_view host, std::string* why) {
  if (host.empty()) {
    *why = "no host";
    return false;
  }
  if (host.front() == '[') {
    if (host.back() != ']' || !IsIpv6(host.substr(1, host.size() - 2))) {
      *why = "bad IPv6 host";
      return false;
    }
    return true;
  }
  for (const char c : host) {
    if (!(IsAlpha(c) || IsDigit(c) || c == '-' || c == '.')) {
      *why = std::string("bad character '") + c + "' in the host";
      return false;
    }
  }
  if (host.front() == '.' || host.front() == '-' || host.find("..") != std::string_view::npos) {
    *why = "bad host";
    return false;
  }
  return true;
}

bool CheckPath(std::string_view path, std::string* why) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c == '%') {
      if (i + 2 >= path.size() || !IsHex(path[i + 1]) || !IsHex(path[i + 2])) {
        *why = "bad %-escape in the path";
        return false;
      }
      i += 2;
      continue;
    }
    if (!IsPathChar(c)) {
      *why = std::string("character '") + c + "' not allowed in the path";
      return false;
    }
  }
  if (!path.empty() && path.back() == '/') {
    *why = "ends with '/' (the service adds paths starting with '/')";
    return false;
  }
  if (path.find("//") != std::string_view::npos) {
    *why = "empty path segment";
    return false;
  }
  return true;
}

}  // namespace

bool IsNumericAddress(std::string_view address) { return IsIpv4(address) || IsIpv6(address); }

bool ParseSha256Hex(std::string_view text, std::string* lower) {
  if (text.size() != 64) return false;
  std::string out;
  for (const char c : text) {
    if (!IsHex(c)) return false;
    out += (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  *lower = out;
  return true;
}

bool CheckPublicBaseUrl(std::string_view url, std::string* why) {
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f) {
      *why = "spaces, control characters and non-ASCII bytes are not allowed";
      return false;
    }
  }
  std::string_view rest;
  if (url.substr(0, 7) == "http://") {
    rest = url.substr(7);
  } else if (url.substr(0, 8) == "https://") {
    rest = url.substr(8);
  } else {
    *why = "the scheme must be http:// or https://";
    return false;
  }
  if (rest.find('?') != std::string_view::npos) {
    *why = "a query ('?') is not allowed";
    return false;
  }
  if (rest.find('#') != std::string_view::npos) {
    *why = "a fragment ('#') is not allowed";
    return false;
  }
  const std::size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  const std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash);
  if (authority.find('@') != std::string_view::npos) {
    *why = "a user name ('@') is not allowed";
    return false;
  }
  std::string_view host = authority;
  const std::size_t bracket = authority.rfind(']');
  const std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    host = authority.substr(0, colon);
    int port = 0;
    if (!ParsePort(authority.substr(colon + 1), &port)) {
      *why = "bad port";
      return false;
    }
  }
  if (!CheckHost(host, why)) return false;
  if (path == "/") {
    *why = "ends with '/' (the service adds paths starting with '/')";
    return false;
  }
  return CheckPath(path, why);
}

bool ParseVendorConfig(std::string_view text, VendorConfig* config, std::string* error) {
  VendorConfig parsed;
  std::map<std::string, int, std::less<>> seen;  // key -> line
  int number = 0;
  std::string why;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // edited on Windows
    const std::string at = "line " + std::to_string(number) + ": ";
    for (const char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
        *error = at + "control character";
        return false;
      }
    }
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      *error = at + "expected \"key = value\"";
      return false;
    }
    const std::string key(Trim(line.substr(0, equals)));
    const std::string value(Trim(line.substr(equals + 1)));
    if (key.empty()) {
      *error = at + "no key before '='";
      return false;
    }
    if (value.empty()) {
      *error = at + "empty value for " + key + " (comment the line out to leave it unset)";
      return false;
    }
    if (const auto earlier = seen.find(key); earlier != seen.end()) {
      *error = at + key + " already set on line " + std::to_string(earlier->second);
      return false;
    }
    seen.emplace(key, number);
    bool ok = true;
    if (key == "listen_address") {
      ok = IsNumericAddress(value);
      why = "not a numeric IPv4 or IPv6 address";
      parsed.listenAddress = value;
    } else if (key == "listen_port") {
      ok = ParsePort(value, &parsed.listenPort);
      why = "not a port number from 1 to 65535";
    } else if (key == "public_base_url") {
      ok = CheckPublicBaseUrl(value, &why);
      parsed.publicBaseUrl = value;
    } else if (key == "package_sha256") {
      ok = ParseSha256Hex(value, &parsed.packageSha256);
      why = "not 64 hexadecimal digits";
    } else if (key == "config_document" || key == "package" || key == "package_sha256_file" ||
               key == "event_log") {
      ok = IsAbsolutePath(value);
      why = "not an absolute path";
      (key == "config_document" ? parsed.configDocument
       : key == "package"       ? parsed.package
       : key == "event_log"     ? parsed.eventLog
                                : parsed.packageSha256File) = value;
    } else {
      *error = at + "unknown key \"" + key + "\"";
      return false;
    }
    if (!ok) {
      *error = at + key + ": " + why;
      return false;
    }
  }
  // What the file as a whole must say.
  for (const char* required : {"listen_port", "public_base_url"}) {
    if (seen.count(required) == 0) {
      *error = std::string("missing ") + required;
      return false;
    }
  }
  const bool digest = seen.count("package_sha256") != 0;
  const bool digestFile = seen.count("package_sha256_file") != 0;
  if (digest && digestFile) {
    *error = "line " + std::to_string(seen["package_sha256_file"]) +
             ": package_sha256 and package_sha256_file are both set; keep one";
    return false;
  }
  if (seen.count("package") != 0 && !digest && !digestFile) {
    *error = "package is set without package_sha256 or package_sha256_file";
    return false;
  }
  if (seen.count("package") == 0 && (digest || digestFile)) {
    *error = "a package digest is set without package";
    return false;
  }
  *config = parsed;
  return true;
}
