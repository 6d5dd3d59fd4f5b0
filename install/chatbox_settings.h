#pragma once
// The chat client's settings document, as rules on JSON values only: which
// layout a client reads from a document, the document we create, how our
// model goes into a user's document, and whether a client would use it.
//
// The top-level configVersion decides how a client reads "settings". From
// version 10 a client reads settings.providers (a model list per provider,
// a provider shown only with models) and settings.defaultChatModel; before
// that it read the flat aiProvider / ollamaHost / ollamaModel. A document
// without a version is a first run to a current client (flat keys never
// read) and an ordinary file to an old one, so both layouts are kept there.
#include <json/value.h>

#include <string>
#include <vector>

inline constexpr int kChatboxProvidersVersion = 10;
inline constexpr int kChatboxCurrentVersion = 14;

enum class ChatboxLayout {
  kBoth,       // no usable version (missing, 0, not a number): either client
  kFlat,       // a version before 10: the flat keys (a current client migrates)
  kProviders,  // version 10 or later: providers and defaultChatModel
};

// Never throws, whatever the document holds.
ChatboxLayout ChatboxLayoutOf(const Json::Value& root);

// The document for a client without settings: the current version, both
// layouts, our model chosen on the local runner at host. model and host are
// UTF-8.
Json::Value NewChatboxSettings(const std::string& model, const std::string& host);

// Adds the model to the runner's model list (kept as it is otherwise), points
// the runner provider at host and makes the model the default; for a document
// an old client may read, the flat keys too. A flat document (version 3 to
// 9) is first taken to version 10 as the current client's own steps would
// take it, our flat choice in it (chats split and converted, providers built
// from the flat keys): at its first start that client would otherwise
// rebuild the providers and drop our list. Where we would not end exactly
// where it does (values it may take otherwise or throw on, the step to 3
// that moves its own browser data, custom providers the old client still
// reads) the document stays flat. Every other member stays as it was.
// False, with root unchanged, when root is no object or a place the model
// must go holds a value of another kind (someone else's: left alone).
bool MergeChatboxSettings(Json::Value& root, const std::string& model, const std::string& host);

// True when the client that reads this document would chat with the model on
// the runner: where the document's layout says a client looks (both places
// when either client may read it).
bool ChatboxSettingsUseModel(const Json::Value& root, const std::string& model);

// The document loses the model on the runner: it leaves the runner's model
// list, and where it is the chosen model (settings.defaultChatModel on the
// runner, the flat ollamaModel) the first of remaining takes its place
// (listed too), or, with nothing remaining, the choice is cleared
// (defaultChatModel removed, ollamaModel ""). Both layouts are handled
// wherever they are present. Every other member stays as it was; a place
// holding a value of another kind is left alone. True when anything changed.
bool DropChatboxModel(Json::Value& root, const std::string& model,
                      const std::vector<std::string>& remaining);

// The user chose a model of their own in the client: the document's choice
// (the providers' default, or the flat choice where only that is read) is
// set and is none of ours (UTF-8 runner names) on the runner.
bool ChatboxUserChoseOtherModel(const Json::Value& root, const std::vector<std::string>& ours);
// True when the client offers the model on the runner: it is in the
// runner's model list (the flat choice, where only that is read).
bool ChatboxSettingsListModel(const Json::Value& root, const std::string& model);
// Offers the model on the runner at host without choosing it: into the
// runner's model list, the runner pointed at host; the user's choice stays.
// False, root unchanged, for a document whose client reads no list (flat)
// or where a place holds a value of another kind.
bool ListChatboxModel(Json::Value& root, const std::string& model, const std::string& host);

// Uninstall: what we put into a document (current) is taken back as the
// user had it (original, the file before our first change; an empty object
// when there was none): the chosen provider, host and model, our models
// (UTF-8 runner names) in the runner's list, and the containers we made for
// them. Everything else (chats, the client's own changes) stays.
void RestoreChatboxChoice(Json::Value& current, const Json::Value& original,
                          const std::vector<std::string>& ours);
