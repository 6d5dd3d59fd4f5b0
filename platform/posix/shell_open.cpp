// The opener takes a target that starts with '-' for an option, and it hands
// any scheme to whatever program claims it. Only web addresses and absolute
// local paths (as file URIs, which cannot start with '-') are passed on.
#include <platform/shell_open.h>

#include <cctype>
#include <optional>
#include <string_view>

#include <platform/os_info.h>
#include <platform/process.h>

namespace platform {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool HasControlCharacters(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  }
  return false;
}

bool IsWebAddress(std::string_view target) {
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (!StartsWithNoCase(target, scheme)) continue;
    const std::string_view rest = target.substr(scheme.size());
    return !rest.empty() && rest.front() != '/';  // a host comes first
  }
  return false;
}

std::string FileUri(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

std::optional<std::string> OpenerArgument(const std::string& target) {
  if (target.empty() || HasControlCharacters(target)) return std::nullopt;
  if (IsWebAddress(target)) return target;
  if (target.front() == '/') return FileUri(target);
  return std::nullopt;
}

}  // namespace

bool ShellOpen(const std::string& target) {
  const std::optional<std::string> argument = OpenerArgument(target);
  if (!argument) {
    DebugOutput("shell open refused: not a web address or an absolute path\n");
    return false;
  }
  // The opener runs on its own; nobody waits for the document to be closed.
  StartOptions options;
  options.detached = true;
  return StartProcess({"xdg-open", *argument}, options) != nullptr;
}

bool ShellOpenInFileManager(const std::string& path) { return ShellOpen(path); }

}  // namespace platform
