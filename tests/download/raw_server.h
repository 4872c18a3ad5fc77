// A one-reply server on 127.0.0.1 that writes exactly the bytes it is given, for replies no
// well-behaved server library sends (a length it does not keep).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

class RawServer {
 public:
  explicit RawServer(std::string reply) : reply_(std::move(reply)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      int connection = accept(listener_, nullptr, nullptr);
      if (connection < 0) return;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = read(connection, buffer, sizeof buffer);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      ssize_t ignored = write(connection, reply_.data(), reply_.size());
      (void)ignored;
      close(connection);
    });
  }
  ~RawServer() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }
  int port() const { return port_; }

 private:
  std::string reply_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};
