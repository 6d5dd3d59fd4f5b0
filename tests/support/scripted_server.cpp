#include "scripted_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include "loopback_socket.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 302:
      return "Found";
    case 416:
      return "Range Not Satisfiable";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

}  // namespace

ScriptedReply Answer(int status, const std::string& body, const std::string& extraHeaders) {
  ScriptedReply reply;
  reply.head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
               extraHeaders;
  reply.body = body;
  return reply;
}

ScriptedReply ServeWithRanges(const ScriptedRequest& request, const std::string& body,
                              const std::string& etag) {
  const std::string validator = "ETag: " + etag + "\r\n";
  const std::string range = request.Header("range");
  const std::string ifRange = request.Header("if-range");
  unsigned long long first = 0;
  if (range.empty() || (!ifRange.empty() && ifRange != etag) ||
      std::sscanf(range.c_str(), "bytes=%llu-", &first) != 1) {
    return Answer(200, body, validator);
  }
  if (first >= body.size()) return Answer(416, "", validator);
  return Answer(206, body.substr(first),
                validator + "Content-Range: bytes " + std::to_string(first) + "-" +
                    std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n");
}

ScriptedServer::ScriptedServer(Handler handler) : handler_(std::move(handler)) {
  fd_ = ListenOnLoopback(&port_);
  thread_ = std::thread([this] {
    while (!stop_) {
      if (!WaitReadable(fd_, 20)) continue;
      const SocketId client = AcceptClient(fd_);
      if (client == kNoSocket) continue;
      std::lock_guard lock(mutex_);
      connections_.emplace_back([this, client] { Serve(client); });
    }
  });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  for (auto& connection : connections_) connection.join();
  CloseSocket(fd_);
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ScriptedRequest> ScriptedServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Serve(SocketId client) {
  std::string text;
  char buffer[4096];
  while (text.find("\r\n\r\n") == std::string::npos && !stop_) {
    if (!WaitReadable(client, 20)) continue;
    const long long n = ReceiveSome(client, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ScriptedRequest request;
  const std::size_t lineEnd = text.find("\r\n");
  if (lineEnd == std::string::npos) {
    CloseSocket(client);
    return;
  }
  const std::string line = text.substr(0, lineEnd);
  const std::size_t space = line.find(' ');
  request.path = line.substr(space + 1, line.rfind(' ') - space - 1);
  for (std::size_t at = lineEnd + 2; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos || end == at) break;
    const std::string header = text.substr(at, end - at);
    const std::size_t colon = header.find(':');
    if (colon != std::string::npos) {
      std::string value = header.substr(colon + 1);
      value.erase(0, value.find_first_not_of(' '));
      request.headers[Lower(header.substr(0, colon))] = value;
    }
    at = end + 2;
  }
  {
    std::lock_guard lock(mutex_);
    request.index = static_cast<int>(requests_.size());
    requests_.push_back(request);
  }
  const ScriptedReply reply = handler_(request);
  const std::string head = reply.head + "\r\n";
  const std::size_t count = std::min(reply.sendBytes, reply.body.size());
  if (SendAll(client, head.data(), head.size()) && SendAll(client, reply.body.data(), count)) {
    bodyBytes_ += static_cast<long long>(count);
  }
  if (reply.end == ScriptedReply::End::Stall) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.stallMs);
    while (!stop_ && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  } else if (reply.end == ScriptedReply::End::Reset) {
    CloseWithReset(client);
    return;
  }
  CloseSocket(client);
}

bool ResetReachesPeer() {
  int port = 0;
  const SocketId listener = ListenOnLoopback(&port);
  if (listener == kNoSocket) return true;
  const SocketId client = ConnectToLoopback(port);
  bool reached = true;
  if (client != kNoSocket) {
    const SocketId accepted = WaitReadable(listener, 5000) ? AcceptClient(listener) : kNoSocket;
    if (accepted != kNoSocket) {
      const char byte = 'x';
      SendAll(accepted, &byte, 1);
      CloseWithReset(accepted);
      char buffer[16];
      long long got = 0;
      // The byte sent first may or may not be dropped with the reset.
      for (int i = 0; i < 2 && WaitReadable(client, 5000); ++i) {
        got = ReceiveSome(client, buffer, sizeof buffer);
        if (got <= 0) break;
      }
      reached = got < 0;
    }
    CloseSocket(client);
  }
  CloseSocket(listener);
  return reached;
}
