#include "test_server.h"

#include <chrono>

TestServer::TestServer() : server_(std::make_unique<httplib::Server>()) {}

TestServer::~TestServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void TestServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string TestServer::Url(const std::string& path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

RawServer::RawServer(Mode mode) : mode_(mode) {
  fd_ = ListenOnLoopback(&port_);
  if (mode_ == Mode::DropAtOnce) {
    thread_ = std::thread([this] {
      while (!stop_) {
        if (!WaitReadable(fd_, 50)) continue;
        const SocketId client = AcceptClient(fd_);
        if (client != kNoSocket) CloseSocket(client);
      }
    });
  }
}

RawServer::~RawServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseSocket(fd_);
}

std::string RawServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}
