#pragma once
// The settings step of the current client's migration from configVersion 9
// to 10: provider settings built from the flat keys of older versions.
#include <json/value.h>

namespace fake_chatbox {

// `{...old, providers, customProviders}`: the providers object is built anew
// from the flat keys (whatever `providers` the old settings held is
// replaced). For Ollama only the host is carried over ({apiHost:
// ollamaHost}); the flat model goes into old sessions, not into settings.
Json::Value MigrateSettings9To10(const Json::Value& oldSettings);

}  // namespace fake_chatbox
