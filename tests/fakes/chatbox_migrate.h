#pragma once
// The current client's migration steps that touch settings and sessions on a
// desktop: 7 to 8 (chat-sessions split into a list and a key per session)
// and 9 to 10 (provider settings built from the flat keys of older versions,
// each session's settings put into the new form).
#include <optional>

#include <json/value.h>

namespace fake_chatbox {

// `{...old, providers, customProviders}`: the providers object is built anew
// from the flat keys (whatever `providers` the old settings held is
// replaced). For Ollama only the host is carried over ({apiHost:
// ollamaHost}); the flat model goes into old sessions, not into settings.
// nullopt where the client's step throws before it saves anything (the
// migration stops there).
std::optional<Json::Value> MigrateSettings9To10(const Json::Value& oldSettings);

// The step to 8 on the store the desktop client moved the file's other keys
// to: every entry of chat-sessions also under `session:<id>`, its meta data
// in chat-sessions-list (chat-sessions stays). False where it throws.
bool MigrateSessions7To8(Json::Value& store);

// The sessions' part of the step to 10 on that store: every listed session's
// settings become {provider, modelId, ...} from its own old ones, else those
// of oldSettings (the settings before the step). A session whose conversion
// throws is left as it was.
void MigrateSessions9To10(Json::Value& store, const Json::Value& oldSettings);

}  // namespace fake_chatbox
