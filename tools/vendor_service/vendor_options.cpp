#include <tools/vendor_service/vendor_options.h>

#include <base/package_version.h>

#include <charconv>
#include <string_view>

const char* const kVendorUsage =
    "usage: tidewell_vendor_service [--config FILE [--check-config]] [options]\n"
    "  --config FILE          read the deployment's settings from FILE; the options\n"
    "                         below, when given too, win over it\n"
    "  --check-config         check the configuration (and the package's digest)\n"
    "                         and exit\n"
    "  --port N               listen on 127.0.0.1:N (0, the default: any free port)\n"
    "  --port-file F          also write the port to F\n"
    "  --event-log F          append each reported event to F\n"
    "  --package F            serve F as /package/deepseek.zip\n"
    "  --no-package-url       answer the configuration with an empty package URL\n"
    "  --package-version V    announce the package as version V (digits and dots);\n"
    "                         installations of an older one are offered an update\n"
    "  --package-breaks-at N  drop every package answer after N bytes\n"
    "  --mirror               serve the package at a second location too, listed in\n"
    "                         DeepSeekUrls after the first\n"
    "  --location-breaks-at K:N  location K (1 first, 2 mirror) drops its answers\n"
    "                         after N bytes\n"
    "  --location-refuses K   location K answers 404\n"
    "  --config-delay-ms N    wait N ms before answering the configuration\n"
    "  --model-size-bytes N   size of every model under /models/ (default 4 MiB)\n"
    "  --model-rate N         send models at N bytes per second\n"
    "  --broken-model TAG     drop the connection halfway through this model\n"
    "  --model TAG            serve this model too (the catalogue's seven always are)\n";

namespace {

template <typename T>
bool ParseNumber(std::string_view text, T* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseVendorOptions(int argc, char** argv, VendorOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--check-config") {
      options->checkConfig = true;
      continue;
    }
    if (name == "--no-package-url" || name == "--mirror") {
      (name == "--mirror" ? options->mirror : options->noPackageUrl) = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = "unknown option or missing value: " + std::string(name);
      return false;
    }
    const std::string_view value = argv[++i];
    bool ok = true;
    if (name == "--config") {
      options->configFile = value;
    } else if (name == "--port") {
      ok = ParseNumber(value, &options->port) && options->port >= 0 && options->port < 65536;
    } else if (name == "--port-file") {
      options->portFile = value;
    } else if (name == "--event-log") {
      options->eventLog = value;
    } else if (name == "--package") {
      options->packageFile = value;
    } else if (name == "--package-version") {
      ok = IsPackageVersion(value);
      options->packageVersion = value;
    } else if (name == "--package-breaks-at") {
      ok = ParseNumber(value, &options->packageBreaksAt) && options->packageBreaksAt > 0;
    } else if (name == "--location-breaks-at") {
      const std::size_t colon = value.find(':');
      int location = 0;
      std::uint64_t bytes = 0;
      ok = colon != std::string_view::npos && ParseNumber(value.substr(0, colon), &location) &&
           (location == 1 || location == 2) && ParseNumber(value.substr(colon + 1), &bytes) &&
           bytes > 0;
      if (ok) options->locationBreaksAt[location - 1] = bytes;
    } else if (name == "--location-refuses") {
      int location = 0;
      ok = ParseNumber(value, &location) && (location == 1 || location == 2);
      if (ok) options->locationRefuses[location - 1] = true;
    } else if (name == "--config-delay-ms") {
      ok = ParseNumber(value, &options->configDelayMs);
    } else if (name == "--model-size-bytes") {
      ok = ParseNumber(value, &options->modelSizeBytes);
    } else if (name == "--model-rate") {
      ok = ParseNumber(value, &options->modelRate);
    } else if (name == "--broken-model") {
      options->brokenModels.emplace(value);
    } else if (name == "--model") {
      options->extraModels.emplace(value);
    } else {
      *error = "unknown option: " + std::string(name);
      return false;
    }
    if (!ok) {
      *error = "bad value for " + std::string(name) + ": " + std::string(value);
      return false;
    }
  }
  return true;
}
