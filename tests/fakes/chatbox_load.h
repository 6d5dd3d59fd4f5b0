#pragma once
// What a Chatbox client makes of its config.json when it starts: the
// top-level `configVersion` decides between a first run (no migration), the
// migrations up to the client's own version, or reading the file as it is;
// then the settings store takes what its schema knows. Two clients are
// emulated: 1.20.0 (the current layout) and 1.9.8 (flat settings keys).
#include <optional>
#include <string>
#include <string_view>

#include <json/value.h>

namespace fake_chatbox {

enum class ClientVersion { V1_9_8, V1_20_0 };

// "1.20.0" and "1.9.8"; an empty name is the current client.
std::optional<ClientVersion> ClientVersionNamed(std::string_view name);

// The configVersion the client writes when it is up to date: 14 or 6.
int OwnConfigVersion(ClientVersion client);

struct LoadedStore {
  // The whole file as the client leaves it after starting: configVersion,
  // the settings it holds, and the other top-level keys it keeps there.
  Json::Value file;
  // The settings the client holds in memory (what it shows and saves).
  Json::Value held;
  // The browser store the current desktop client keeps everything else in:
  // the file's other keys it moved there from an older file, as its
  // migrations leave them (chat sessions among them).
  Json::Value browser{Json::objectValue};
  bool firstRun = false;
  bool migrated = false;  // migrations ran from an older configVersion
};

// Applies the client's start-up rules to the file's content (anything that
// is not a JSON object counts as an empty store).
LoadedStore LoadStore(ClientVersion client, const Json::Value& file);

// The settings the client holds as it would save them now: the current
// client runs its schema over them (unknown keys gone) and tags them with its
// store version; 1.9.8 saves what it holds, defaults filled in.
Json::Value SettingsToSave(ClientVersion client, const Json::Value& held);

// The file the client writes when it saves its settings into `onDisk` (the
// file as it is at that moment: the store replaces only the settings key).
Json::Value FileWithSettings(ClientVersion client, const Json::Value& onDisk,
                             const Json::Value& held);

}  // namespace fake_chatbox
