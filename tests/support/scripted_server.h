#pragma once
// An HTTP server on 127.0.0.1 whose every answer is scripted, for the faults
// real servers and networks have: bodies cut short, connections reset,
// stalls after the headers, ranges ignored. One connection per request.
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_socket.h"

struct ScriptedRequest {
  int index = 0;  // 0 for the first request the server saw
  std::string path;
  std::map<std::string, std::string> headers;  // names in lowercase
  std::string Header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

struct ScriptedReply {
  enum class End { Close, Reset, Stall };
  std::string head;  // status line and header lines, each ending in \r\n
  std::string body;
  std::size_t sendBytes = std::string::npos;  // body bytes sent before the end
  End end = End::Close;
  int stallMs = 0;  // End::Stall: silence this long, then close
};

// A complete answer: status, Content-Length and the extra header lines.
ScriptedReply Answer(int status, const std::string& body, const std::string& extraHeaders = "");

// body served as a well-behaved server would: a Range request gets 206
// with the rest, unless If-Range names another validator than etag.
ScriptedReply ServeWithRanges(const ScriptedRequest& request, const std::string& body,
                              const std::string& etag);

class ScriptedServer {
 public:
  using Handler = std::function<ScriptedReply(const ScriptedRequest&)>;
  explicit ScriptedServer(Handler handler);
  ~ScriptedServer();
  std::string Url(const std::string& path = "/") const;
  std::vector<ScriptedRequest> Requests();
  long long BodyBytesSent() const { return bodyBytes_; }

 private:
  void Serve(SocketId client);

  Handler handler_;
  SocketId fd_ = kNoSocket;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<long long> bodyBytes_{0};
  std::mutex mutex_;
  std::vector<ScriptedRequest> requests_;
  std::vector<std::thread> connections_;
  std::thread thread_;
};
