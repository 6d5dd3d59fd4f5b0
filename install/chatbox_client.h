#pragma once
// The chat client: its silent setup, the key its setup reads, its settings
// file (pointed at the pulled model without losing what the user set), and
// stopping a running copy. The install folder is the service state's.
#include <json/value.h>

#include <string>

// Creates the client folder, writes the setup key and, unless the client is
// already there, runs its setup silently and waits for it.
void InstallChatbox();
// The per-user key that tells the client's setup where to install.
void WriteChatboxSetupKey(const std::wstring& folder);

// Points the client's settings at the model (tag in the OS narrow encoding).
// An existing settings object keeps everything but the model (and the
// provider and host the template sets); otherwise the file is built from the
// template. The file is replaced in one step; the first file found is kept
// once beside it as "config.json.before-tidewell". Callers on any thread.
void WriteChatboxConfig(const std::string& tag);
// True when the settings name a model longer than five bytes.
bool ChatboxConfigHasModel();
// Puts the default settings template into the work folder when none is
// there; true when a template is there afterwards.
bool EnsureChatboxSettingsTemplate(const std::wstring& workFolder);
// The default template: the local runner as provider, its host, no model.
Json::Value DefaultChatboxSettings();
// Applies the model, and the template's provider and host, to a settings
// document of either format. Exposed for tests.
void ApplyChatboxModel(Json::Value& settings, const Json::Value& templateRoot,
                       const std::string& tag);

// Ends the first process of this user whose program name is name exactly.
void KillProcessByName(const std::wstring& name);
