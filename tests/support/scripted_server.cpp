#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

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

bool SendAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
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
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(fd_, 16);
  socklen_t length = sizeof address;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      std::lock_guard lock(mutex_);
      connections_.emplace_back([this, client] { Serve(client); });
    }
  });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  for (auto& connection : connections_) connection.join();
  ::close(fd_);
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ScriptedRequest> ScriptedServer::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Serve(int client) {
  std::string text;
  char buffer[4096];
  while (text.find("\r\n\r\n") == std::string::npos && !stop_) {
    pollfd p{client, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ScriptedRequest request;
  const std::size_t lineEnd = text.find("\r\n");
  if (lineEnd == std::string::npos) {
    ::close(client);
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
    const linger reset{1, 0};  // close with RST, as a dropped connection looks
    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  }
  ::close(client);
}
