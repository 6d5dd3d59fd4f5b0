#pragma once
// Settings as we write them for the client stand-in, and the line it prints
// once it has read them: shared by the tests of its start on every system.
namespace chatbox_samples {

inline constexpr const char* kOurs = R"({"configVersion": 14, "settings": {"__version": 2,
    "providers": {"ollama": {"apiHost": "http://127.0.0.1:6000", "models": [{"modelId": "deepseek-r1:7b"}]}},
    "defaultChatModel": {"provider": "ollama", "model": "deepseek-r1:7b"}}})";
inline constexpr const char* kOursSeen =
    "provider=ollama model=deepseek-r1:7b host=http://127.0.0.1:6000 ollama-models=deepseek-r1:7b "
    "offered=ollama\n";

}  // namespace chatbox_samples
