#pragma once
// Chatbox's settings file on disk: where it is, how the client reads it (a
// damaged file is replaced by its newest readable backup, else taken as
// empty) and how it writes it (the whole store, tab-indented, replaced in
// one step).
#include <filesystem>
#include <optional>
#include <string>

#include <json/value.h>

namespace fake_chatbox {

// $XDG_CONFIG_HOME/xyz.chatboxapp.app/config.json (default ~/.config).
std::filesystem::path SettingsFile();

// JSON.parse of the text: nullopt where it refuses.
std::optional<Json::Value> ParseStoreText(const std::string& text);

// The store as the client opens it: a missing file is an empty store; a file
// that does not parse is first replaced by the newest backup beside it
// (config-backup-<ISO time with '_' for ':'>.json) that parses, else the
// store starts empty. Only that repair writes anything.
Json::Value OpenStore(const std::filesystem::path& file);

// The store as the client writes it; 0 or an errno.
int SaveStore(const std::filesystem::path& file, const Json::Value& store);

}  // namespace fake_chatbox
