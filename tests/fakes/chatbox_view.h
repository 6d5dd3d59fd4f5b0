#pragma once
// What a user of the Chatbox client sees from the settings it holds: the
// provider and model a new chat starts with, the Ollama host, and which
// providers the model selector offers.
#include <string>
#include <vector>

#include <json/value.h>
#include <tests/fakes/chatbox_load.h>

namespace fake_chatbox {

struct UserView {
  std::string provider;  // of the model a new chat starts with; empty: none chosen
  std::string model;
  std::string host;  // where the Ollama provider reaches the runner
  // The Ollama models the selector lists; empty when it does not offer
  // Ollama (and always for 1.9.8, which asks the runner at run time).
  std::vector<std::string> ollamaModels;
  std::vector<std::string> offered;  // provider ids the selector offers, in its order
};

// From the settings the client holds (LoadedStore::held).
UserView ViewOf(ClientVersion client, const Json::Value& held);

// One line: "provider=P model=M host=H ollama-models=A,B offered=X,Y", every
// control character shown as '?'.
std::string DescribeView(const UserView& view);

// The current client's chat list, from its browser store
// (LoadedStore::browser): "chats=ID:PROVIDER/MODEL,..." for each listed
// session, with the provider and model its settings name ("?" where the
// session is missing).
std::string DescribeChats(const Json::Value& browser);

}  // namespace fake_chatbox
