#pragma once
// The configuration document a deployed service answers /api/dpsk/config
// with: a JSON file the vendor writes, served byte for byte, except that
// every "{public_base_url}" in it is replaced by the public base URL once at
// start (so that moving the service behind another address changes one line
// of the configuration file, not the document as well).
#include <string>
#include <string_view>

inline constexpr std::string_view kPublicBaseUrlPlaceholder = "{public_base_url}";

// Replaces the placeholder, then checks the result: strict JSON (no
// comments, no trailing text, no duplicate members), an object, and the
// members clients read ("serviceurl", "DeepSeekUrl": strings, empty or an
// http/https URL; "DeepSeekUrls": an array of such URLs; "DeepSeekVersion":
// a dotted version). publicBaseUrl must
// already be a checked base URL (it holds nothing JSON treats specially).
bool PrepareConfigDocument(std::string_view text, std::string_view publicBaseUrl,
                           std::string* document, std::string* error);
