#include <tests/fakes/chatbox_config.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include <json/json.h>
#include <platform/atomic_file.h>
#include <platform/known_folders.h>
#include <platform/utf.h>
#include <platform/whole_file.h>
#include <tests/fakes/utf8_path.h>

namespace fake_chatbox {

namespace fs = std::filesystem;

fs::path SettingsFile() {
  // Electron's userData: the app data folder (XDG_CONFIG_HOME or ~/.config
  // here, roaming app data on Windows) and the product name.
  const fs::path config =
      fake_text::Utf8Path(platform::WideToUtf8(platform::RoamingAppDataFolder()));
  return config / "xyz.chatboxapp.app" / "config.json";
}

std::optional<Json::Value> ParseStoreText(const std::string& text) {
  Json::CharReaderBuilder builder;
  // JSON.parse: no comments, nothing after the value, any value at the root.
  builder["allowComments"] = false;
  builder["failIfExtra"] = true;
  builder["allowSpecialFloats"] = false;
  builder["allowSingleQuotes"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string error;
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &error)) return std::nullopt;
  return root;
}

namespace {

std::optional<Json::Value> ReadStore(const fs::path& file) {
  std::string text;
  if (!platform::ReadWholeFileExact(file, text)) return std::nullopt;
  return ParseStoreText(text);
}

// Backups by the time in their names, oldest first; names whose time does
// not read sort first, as the client's invalid dates do.
std::vector<fs::path> Backups(const fs::path& folder) {
  std::vector<std::pair<std::string, fs::path>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("config-backup-", 0) != 0) continue;
    std::string stamp = name.substr(14);
    if (stamp.size() > 5 && stamp.substr(stamp.size() - 5) == ".json")
      stamp.resize(stamp.size() - 5);
    const bool dated =
        stamp.size() == 24 && stamp[4] == '-' && stamp[10] == 'T' && stamp.back() == 'Z';
    found.emplace_back(dated ? stamp : std::string(), entry.path());
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<fs::path> paths;
  for (auto& [stamp, path] : found) paths.push_back(path);
  return paths;
}

}  // namespace

Json::Value OpenStore(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return Json::Value(Json::objectValue);
  if (std::optional<Json::Value> store = ReadStore(file)) return *store;
  const std::vector<fs::path> backups = Backups(file.parent_path());
  for (auto backup = backups.rbegin(); backup != backups.rend(); ++backup) {
    std::string text;
    if (!platform::ReadWholeFileExact(*backup, text) || !ParseStoreText(text)) continue;
    platform::WriteFileAtomically(file, text);
    return *ParseStoreText(text);
  }
  return Json::Value(Json::objectValue);
}

int SaveStore(const fs::path& file, const Json::Value& store) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "\t";
  builder["emitUTF8"] = true;
  builder["enableYAMLCompatibility"] = true;  // "key": value, as JSON.stringify
  if (const int error = platform::CreatePrivateFolders(file.parent_path()); error != 0)
    return error;
  return platform::WriteFileAtomically(file, Json::writeString(builder, store));
}

}  // namespace fake_chatbox
