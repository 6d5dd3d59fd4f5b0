#pragma once
// The deployed service's configuration file: one "key = value" a line,
// blank lines and lines starting with '#' ignored. Values are taken as they
// stand (no quotes, no inline comments: '#' may be part of a value), with
// the blanks around them trimmed. Every key at most once; an unknown key, a
// line without '=', an empty value or a value that does not fit its key is
// refused with the line's number.
#include <string>
#include <string_view>

struct VendorConfig {
  std::string listenAddress = "127.0.0.1";  // listen_address (numeric IPv4 or IPv6)
  int listenPort = 0;                       // listen_port (required, 1-65535)
  std::string publicBaseUrl;                // public_base_url (required)
  std::string configDocument;               // config_document: a JSON file served as the answer
  std::string package;                      // package: the file served as the install package
  std::string packageSha256;                // package_sha256: 64 hex digits, lower case here
  std::string packageSha256File;            // package_sha256_file: "sha256sum" output
  std::string eventLog;                     // event_log
};

// False with "line N: ..." (or a message about the whole file) in *error.
bool ParseVendorConfig(std::string_view text, VendorConfig* config, std::string* error);

// An absolute http or https URL of scheme, host, optional port and optional
// path, without user, query, fragment or trailing slash, and with nothing
// JSON, HTTP headers or a shell would treat specially. False with the
// reason in *why.
bool CheckPublicBaseUrl(std::string_view url, std::string* why);

// A numeric IPv4 address (four decimal parts) or an IPv6 address.
bool IsNumericAddress(std::string_view address);

// 64 hexadecimal digits; *lower gets them in lower case.
bool ParseSha256Hex(std::string_view text, std::string* lower);
