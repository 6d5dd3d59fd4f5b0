#include <setup/payload_links.h>

#include <cstring>

#include <package/path_beneath.h>
#include <platform/symbolic_link.h>

namespace setup {

namespace {

// Targets come from the archive: keep odd bytes out of the message.
std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c);
  }
  return out;
}

std::string Refusal(std::string_view name, std::string_view target, const char* why) {
  return "refusing the link \"" + Printable(name) + "\" -> \"" + Printable(target) + "\": " + why;
}

}  // namespace

bool LinkTargetStaysInside(std::string_view name, std::string_view target, std::string* reason) {
  if (target.empty() || target.find('\0') != std::string_view::npos) {
    *reason = Refusal(name, target, "it has no usable target");
    return false;
  }
  if (target.front() == '/') {
    *reason = Refusal(name, target, "an absolute target may point anywhere on the machine");
    return false;
  }
  // How deep the link's own folder lies below the install folder.
  std::size_t depth = 0;
  for (const char c : name) depth += c == '/' ? 1 : 0;
  std::size_t climbs = 0;
  bool named = false;
  std::size_t start = 0;
  while (start <= target.size()) {
    std::size_t end = target.find('/', start);
    if (end == std::string_view::npos) end = target.size();
    const std::string_view step = target.substr(start, end - start);
    if (step == "..") {
      if (named) {
        *reason = Refusal(name, target, "\"..\" after a named step may climb out through a link");
        return false;
      }
      if (++climbs > depth) {
        *reason = Refusal(name, target, "it leads out of the install folder");
        return false;
      }
    } else if (!step.empty() && step != ".") {
      named = true;
    }
    start = end + 1;
  }
  return true;
}

bool MakeLinkBeneath(platform::NativeFile root, const std::string& name, const std::string& target,
                     std::string* reason) {
  const std::size_t slash = name.rfind('/');
  const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
  const platform::FileHandle folder(
      OpenFolderBeneath(root, slash == std::string::npos ? std::string() : name.substr(0, slash)));
  if (!folder.valid() || leaf.empty()) {
    *reason = "cannot make the folder of the link \"" + Printable(name) + "\"";
    return false;
  }
  const int error = platform::MakeLinkIn(folder.get(), leaf, target);
  if (error != 0) {
    *reason = "cannot make the link \"" + Printable(name) + "\": " + std::strerror(error);
  }
  return error == 0;
}

}  // namespace setup
