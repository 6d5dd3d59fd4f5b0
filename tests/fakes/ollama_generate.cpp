#include <tests/fakes/ollama_generate.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <vector>

#include <json/json.h>
#include <tests/fakes/ollama_format.h>
#include <tests/fakes/ollama_json.h>
#include <tests/fakes/ollama_names.h>
#include <tests/fakes/ollama_reply.h>
#include <tests/fakes/ollama_request.h>

namespace fake_ollama {

namespace {

using Clock = std::chrono::steady_clock;

// The answer, cut where a tokenizer would cut it: what a small reasoning
// model says to a greeting.
const std::vector<std::string> kAnswer = {"<think>", "\n\n",   "</think>", "\n\n", "Hello",
                                          "!",       " How",   " can",     " I",   " assist",
                                          " you",    " today", "?",        " 😊"};
// Reading the prompt is quick next to writing the answer, as on a
// processor.
constexpr auto kPromptTokenTime = std::chrono::milliseconds(1);
constexpr auto kAnswerTokenTime = std::chrono::milliseconds(25);

const std::vector<RequestField> kGenerateFields = {
    {"model", FieldKind::kString},
    {"prompt", FieldKind::kString},
    {"suffix", FieldKind::kString},
    {"system", FieldKind::kString},
    {"template", FieldKind::kString},
    {"context", FieldKind::kArray, "[]int"},
    {"stream", FieldKind::kBool},
    {"raw", FieldKind::kBool},
    {"format", FieldKind::kAny},
    {"keep_alive", FieldKind::kAny},
    {"images", FieldKind::kArray, "[]api.ImageData"},
    {"options", FieldKind::kObject, "map[string]interface {}"}};
const std::vector<RequestField> kChatFields = {
    {"model", FieldKind::kString},
    {"messages", FieldKind::kArray, "[]api.Message"},
    {"stream", FieldKind::kBool},
    {"format", FieldKind::kAny},
    {"keep_alive", FieldKind::kAny},
    {"tools", FieldKind::kArray, "api.Tools"},
    {"options", FieldKind::kObject, "map[string]interface {}"}};

// A JSON object written in the order its fields are added, as Go writes a
// struct: the two answers order done and done_reason differently, which
// GoJson's one table cannot.
class GoObject {
 public:
  GoObject& Add(const char* key, const Json::Value& value) { return Raw(key, GoJson(value)); }
  GoObject& Raw(const char* key, const std::string& json) {
    text_ += (text_.size() > 1 ? ",\"" : "\"") + std::string(key) + "\":" + json;
    return *this;
  }
  // Left out when zero, as omitempty does.
  GoObject& Count(const char* key, std::int64_t value) {
    return value == 0 ? *this : Add(key, Json::Int64(value));
  }
  std::string Text() const { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

std::string CreatedAt() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  return Rfc3339NanoUtc(nanos / 1'000'000'000, nanos % 1'000'000'000);
}

// Go's %q for the names that reach it (printable ASCII).
std::string GoQuote(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Roughly how a tokenizer cuts text: a run of letters or digits with the
// blank before it, and every other character alone.
std::vector<std::string> Tokens(const std::string& text) {
  const auto word = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           static_cast<unsigned char>(c) >= 0x80;
  };
  std::vector<std::string> tokens;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at + 1;
    if (word(text[at]) || (text[at] == ' ' && end < text.size() && word(text[end]))) {
      while (end < text.size() && word(text[end])) ++end;
    }
    tokens.push_back(text.substr(at, end - at));
    at = end;
  }
  return tokens;
}

// A token's number in the made-up vocabulary: the same text, the same number.
int TokenId(const std::string& token) {
  std::uint32_t hash = 2166136261u;
  for (const char c : token) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return static_cast<int>(hash % 128000u);
}

// options.num_predict as the runner's options read it: null is the default
// (no limit), a number is cut to a whole one, zero or less means no limit.
bool ReadNumPredict(const Json::Value& options, std::int64_t* limit, std::string* error) {
  *limit = 0;
  const Json::Value value = options.isObject() ? options["num_predict"] : Json::Value();
  if (value.isNull()) return true;
  if (value.isBool() || !value.isNumeric()) {
    *error = "option \"num_predict\" must be of type integer";
    return false;
  }
  *limit = static_cast<std::int64_t>(std::clamp(value.asDouble(), -1e18, 1e18));
  return true;
}

// Each message's content; Go reads a message through a local alias type,
// and a wrong one is reported against the messages field.
bool ReadMessages(const Json::Value& messages, std::vector<std::string>* contents,
                  std::string* error) {
  const std::string prefix = "json: cannot unmarshal ";
  const std::string field = " into Go struct field ChatRequest.messages of type ";
  const auto typeName = [](const Json::Value& v) {
    return v.isString() ? "string" : v.isBool() ? "bool" : v.isArray() ? "array" : "number";
  };
  for (const auto& message : messages) {
    if (message.isNull()) continue;
    if (!message.isObject()) {
      *error = prefix + typeName(message) + field + "api.Alias";
      return false;
    }
    for (const char* key : {"role", "content"}) {
      const Json::Value& item = message[key];
      if (!item.isNull() && !item.isString()) {
        *error = prefix + (item.isObject() ? "object" : typeName(item)) + field + "string";
        return false;
      }
    }
    contents->push_back(message["content"].asString());
  }
  return true;
}

// One answer object: generate holds the text in "response", chat in an
// assistant's message.
struct Metrics {
  std::int64_t total = 0, load = 0, promptCount = 0, promptTime = 0, evalCount = 0, evalTime = 0;
};
struct Reply {
  std::string text;
  bool done = false;
  std::string doneReason;
  Json::Value context;  // generate's last object only
  Metrics metrics;
};

std::string AnswerJson(bool chat, const std::string& model, const Reply& reply) {
  GoObject answer;
  answer.Add("model", model).Add("created_at", CreatedAt());
  if (chat) {
    answer.Raw("message", GoObject().Add("role", "assistant").Add("content", reply.text).Text());
    if (!reply.doneReason.empty()) answer.Add("done_reason", reply.doneReason);
    answer.Add("done", reply.done);
  } else {
    answer.Add("response", reply.text).Add("done", reply.done);
    if (!reply.doneReason.empty()) answer.Add("done_reason", reply.doneReason);
    if (!reply.context.empty()) answer.Add("context", reply.context);
  }
  const Metrics& m = reply.metrics;
  return answer.Count("total_duration", m.total)
      .Count("load_duration", m.load)
      .Count("prompt_eval_count", m.promptCount)
      .Count("prompt_eval_duration", m.promptTime)
      .Count("eval_count", m.evalCount)
      .Count("eval_duration", m.evalTime)
      .Text();
}

// The answer to a request that does nothing past loading or unloading.
std::string Finished(bool chat, const std::string& model, const char* reason) {
  Reply reply;
  reply.done = true;
  reply.doneReason = reason;
  return AnswerJson(chat, model, reply);
}

std::int64_t Since(Clock::time_point from, Clock::time_point to = Clock::now()) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

}  // namespace

struct Generation::Turn {
  bool chat = false;
  bool stream = true;
  std::string model;  // as the request named it
  std::vector<int> prompt;
  std::int64_t limit = 0;
  Clock::time_point start, loaded;
  std::shared_ptr<ModelLease> lease;
};

void Generation::Generate(const httplib::Request& req, httplib::Response& res) {
  auto turn = std::make_shared<Turn>();
  turn->start = Clock::now();
  Json::Value body;
  std::string error;
  std::optional<Nanoseconds> keepAlive;
  if (!DecodeRequest(req.body, "GenerateRequest", kGenerateFields, &body, &error) ||
      !(error = ReadKeepAlive(body["keep_alive"], &keepAlive)).empty()) {
    return SendError(res, 400, error);
  }
  turn->model = body["model"].asString();
  turn->stream = !body["stream"].isBool() || body["stream"].asBool();
  const std::string prompt = body["prompt"].asString();
  const ModelName name = ParseModelName(turn->model);
  Layer weights;
  if (!store_.Weights(name, &weights)) {
    return SendError(res, 404, "model '" + turn->model + "' not found");
  }
  if (prompt.empty() && keepAlive && *keepAlive < std::chrono::seconds(1)) {
    scheduler_.Expire(weights.digest);
    return res.set_content(Finished(false, turn->model, "unload"), kJsonType);
  }
  if (body["raw"].asBool() && (!body["template"].asString().empty() ||
                               !body["system"].asString().empty() || !body["context"].empty())) {
    return SendError(res, 400, "raw mode does not support template, system, or context");
  }
  if (!ReadNumPredict(body["options"], &turn->limit, &error) ||
      !(error = scheduler_.Acquire(weights, name.DisplayShortest(), keepAlive, &turn->lease))
           .empty()) {
    return SendError(res, 500, error);
  }
  turn->loaded = Clock::now();
  if (prompt.empty()) {
    return res.set_content(Finished(false, turn->model, "load"), kJsonType);
  }
  // The model's template around it: the start, the user's turn, the
  // assistant's turn.
  turn->prompt = {0, 1};
  for (const auto& token : Tokens(body["system"].asString() + prompt)) {
    turn->prompt.push_back(TokenId(token));
  }
  turn->prompt.push_back(2);
  Answer(turn, res);
}

void Generation::Chat(const httplib::Request& req, httplib::Response& res) {
  auto turn = std::make_shared<Turn>();
  turn->chat = true;
  turn->start = Clock::now();
  Json::Value body;
  std::string error;
  std::optional<Nanoseconds> keepAlive;
  std::vector<std::string> contents;
  if (!DecodeRequest(req.body, "ChatRequest", kChatFields, &body, &error) ||
      !(error = ReadKeepAlive(body["keep_alive"], &keepAlive)).empty() ||
      !ReadMessages(body["messages"], &contents, &error)) {
    return SendError(res, 400, error);
  }
  turn->model = body["model"].asString();
  turn->stream = !body["stream"].isBool() || body["stream"].asBool();
  const ModelName name = ParseModelName(turn->model);
  Layer weights;
  const bool found = store_.Weights(name, &weights);
  // Chat looks for the model in its own ways before and after the unload.
  if (body["messages"].empty() && keepAlive && *keepAlive < std::chrono::seconds(1)) {
    if (!found) return SendError(res, 404, "model '" + turn->model + "' not found");
    scheduler_.Expire(weights.digest);
    return res.set_content(Finished(true, turn->model, "unload"), kJsonType);
  }
  if (!name.IsValid()) return SendError(res, 400, "model is required");
  if (!found) {
    return SendError(res, 404,
                     "model " + GoQuote(turn->model) + " not found, try pulling it first");
  }
  if (!ReadNumPredict(body["options"], &turn->limit, &error) ||
      !(error = scheduler_.Acquire(weights, name.DisplayShortest(), keepAlive, &turn->lease))
           .empty()) {
    return SendError(res, 500, error);
  }
  turn->loaded = Clock::now();
  if (body["messages"].empty()) {
    return res.set_content(Finished(true, turn->model, "load"), kJsonType);
  }
  // Each message after its role's marker, between the start and the
  // assistant's turn.
  turn->prompt = {0};
  for (const auto& content : contents) {
    turn->prompt.push_back(1);
    for (const auto& token : Tokens(content)) turn->prompt.push_back(TokenId(token));
  }
  turn->prompt.push_back(2);
  Answer(turn, res);
}

void Generation::Running(httplib::Response& res) {
  const std::vector<StoredModel> stored = store_.List();
  std::string models;
  for (const auto& running : scheduler_.Running()) {
    StoredModel model;
    for (const auto& candidate : stored) {
      if (candidate.name == running.name) model = candidate;
    }
    GoObject entry;
    entry.Add("name", running.name)
        .Add("model", running.name)
        .Add("size", Json::UInt64(running.size))
        .Add("digest", model.digest)
        .Add("details", model.details.isNull() ? Json::Value(Json::objectValue) : model.details)
        .Add("expires_at", Rfc3339Nano(running.expiresSeconds, running.expiresNanoseconds))
        .Add("size_vram", 0);  // the stand-in has no graphics card
    models += (models.empty() ? "" : ",") + entry.Text();
  }
  res.set_content(GoObject().Raw("models", "[" + models + "]").Text(), kJsonType);
}

void Generation::Answer(const std::shared_ptr<Turn>& turn, httplib::Response& res) {
  // Reads the prompt, then writes the answer a token at a time through emit
  // (false: the client has gone); false when cut off, else *last is the
  // last object, its text left empty.
  const auto complete = [this, turn](const std::function<bool(const std::string&)>& emit,
                                     Reply* last) {
    Metrics& metrics = last->metrics;
    const auto reading = Clock::now();
    const auto promptSize = static_cast<std::int64_t>(turn->prompt.size());
    if (!PauseUnlessStopping(kPromptTokenTime * promptSize, stopping_)) return false;
    metrics.promptCount = promptSize;
    metrics.promptTime = Since(reading);
    const auto writing = Clock::now();
    const std::size_t count = turn->limit > 0
                                  ? std::min(static_cast<std::size_t>(turn->limit), kAnswer.size())
                                  : kAnswer.size();
    Json::Value context(Json::arrayValue);
    for (const int id : turn->prompt) context.append(id);
    for (std::size_t i = 0; i < count; ++i) {
      if (!PauseUnlessStopping(kAnswerTokenTime, stopping_) || !emit(kAnswer[i])) return false;
      context.append(TokenId(kAnswer[i]));
    }
    metrics.evalCount = static_cast<std::int64_t>(count);
    metrics.evalTime = Since(writing);
    metrics.load = Since(turn->start, turn->loaded);
    metrics.total = Since(turn->start);
    last->done = true;
    // The runner stops at the limit even when the answer would end there.
    last->doneReason = turn->limit > 0 && static_cast<std::size_t>(turn->limit) <= kAnswer.size()
                           ? "length"
                           : "stop";
    if (!turn->chat) last->context = context;
    return true;
  };

  if (!turn->stream) {
    // The last object with the whole answer in it.
    Reply last;
    if (!complete(
            [&last](const std::string& token) {
              last.text += token;
              return true;
            },
            &last)) {
      return SendError(res, 500, "context canceled");
    }
    return res.set_content(AnswerJson(turn->chat, turn->model, last), kJsonType);
  }
  res.set_chunked_content_provider(
      "application/x-ndjson", [this, turn, complete](std::size_t, httplib::DataSink& sink) {
        const auto write = [&sink](const std::string& json) {
          const std::string line = json + "\n";
          return sink.write(line.data(), line.size());
        };
        Reply last;
        const bool whole = complete(
            [&](const std::string& token) {
              Reply piece;
              piece.text = token;
              return write(AnswerJson(turn->chat, turn->model, piece));
            },
            &last);
        if (!whole || stopping_ || !write(AnswerJson(turn->chat, turn->model, last))) {
          return false;  // cut off, no last object
        }
        sink.done();
        return true;
      });
}

}  // namespace fake_ollama
