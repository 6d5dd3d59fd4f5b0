#pragma once
// HTTP servers for tests, on 127.0.0.1 with an ephemeral port.
#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "loopback_socket.h"

class TestServer {
 public:
  TestServer();
  // HTTPS with the given certificate and key files (test_server_tls.cpp;
  // not on Windows, whose cpp-httplib has no TLS here).
  TestServer(const std::string& certFile, const std::string& keyFile);
  ~TestServer();
  httplib::Server& server() { return *server_; }
  // Starts serving; routes are added before.
  void Start();
  int port() const { return port_; }
  std::string Url(const std::string& path = "") const;

 private:
  std::unique_ptr<httplib::Server> server_;
  std::string scheme_ = "http";
  int port_ = 0;
  std::thread thread_;
};

// A listener that misbehaves at the socket level.
class RawServer {
 public:
  enum class Mode {
    NeverAnswer,  // accepts (the backlog does), reads nothing, says nothing
    DropAtOnce,   // accepts and closes the connection
  };
  explicit RawServer(Mode mode);
  ~RawServer();
  std::string Url(const std::string& path = "/") const;

 private:
  SocketId fd_ = kNoSocket;
  int port_ = 0;
  Mode mode_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
