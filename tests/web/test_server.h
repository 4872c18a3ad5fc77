// An HTTP server on 127.0.0.1 (an ephemeral port) inside the test process. It records every
// request that arrives and answers each path with the reply its route gives.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace web_test {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct Arrival {
  std::string method;
  std::string path;  // the request target with its query
  HeaderList headers;
  std::string body;
  // The value of the first header of that name (ASCII case ignored); "" when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

enum class ReplyMode {
  Normal,
  Silent,      // never answers (until the server goes)
  CloseEarly,  // announces the body's length, sends part of it and closes
  Trickle,     // one byte of the body a second
  Endless,     // a body that never ends
};

struct Reply {
  int status = 200;
  HeaderList headers;
  std::string body;
  ReplyMode mode = ReplyMode::Normal;
};

using Route = std::function<Reply(const Arrival&)>;

class TestServer {
 public:
  TestServer();
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const;
  // A connect-to rule that sends every host and port here.
  std::string ConnectRule() const;
  // Answers requests for this path (without the query), any method; other paths get 404.
  void On(const std::string& path, Route route);
  void On(const std::string& path, Reply reply);
  // Requests as they arrived, in order.
  std::vector<Arrival> Arrivals() const;
  // The method of every request line received, also of ones the server refused to parse. A
  // method is noted after its reply went out, so this waits (a few seconds at most) until
  // there are atLeast of them.
  std::vector<std::string> Methods(std::size_t atLeast = 0) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace web_test
