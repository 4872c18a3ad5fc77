// The loopback server over cpp-httplib. Compiled with UTF-8 literals (the library's own
// headers do not build for GBK).
#include "tests/web/test_server.h"

#include <httplib.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace web_test {

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

std::string Arrival::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (SameNoCase(key, name)) return value;
  }
  return "";
}

bool Arrival::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (SameNoCase(header.first, name)) return true;
  }
  return false;
}

struct TestServer::Impl {
  httplib::Server server;
  std::thread thread;
  int port = 0;
  mutable std::mutex mutex;
  std::condition_variable released;
  mutable std::condition_variable noted;
  bool closing = false;
  std::map<std::string, Route> routes;
  std::vector<Arrival> arrivals;
  std::vector<std::string> methods;

  // Waits up to ms, or less when the server is going; false when it is going.
  bool Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return !released.wait_for(lock, std::chrono::milliseconds(ms), [this] { return closing; });
  }

  void Handle(const httplib::Request& request, httplib::Response& response) {
    Arrival arrival;
    arrival.method = request.method;
    arrival.path = request.target;
    for (const auto& header : request.headers) arrival.headers.push_back(header);
    arrival.body = request.body;
    Route route;
    {
      std::lock_guard<std::mutex> lock(mutex);
      arrivals.push_back(arrival);
      auto it = routes.find(request.path);
      if (it != routes.end()) route = it->second;
    }
    // The library answers an HTTP/1.0 request as if the connection stayed open (a Keep-Alive
    // header, no "Connection: close") and then closes it; a client that takes the reply at its
    // word sends its next request (a redirect's) on a socket being closed, and gives up once
    // that has happened a few times. The reply says what the server does.
    if (request.version == "HTTP/1.0" && request.get_header_value("Connection") != "Keep-Alive") {
      response.set_header("Connection", "close");
    }
    if (!route) {
      response.status = 404;
      return;
    }
    Reply reply = route(arrival);
    response.status = reply.status;
    for (const auto& header : reply.headers) response.headers.emplace(header.first, header.second);
    auto body = std::make_shared<std::string>(reply.body);
    switch (reply.mode) {
      case ReplyMode::Normal:
        response.body = reply.body;
        break;
      case ReplyMode::Silent:
        Pause(120000);
        response.status = 500;
        break;
      case ReplyMode::CloseEarly:
        response.set_content_provider(body->size(), "text/plain",
                                      [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                        if (offset > 0) return false;
                                        sink.write(body->data(), body->size() / 2);
                                        return false;
                                      });
        break;
      case ReplyMode::Trickle:
        response.set_content_provider(body->size(), "text/plain",
                                      [this, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                        if (offset > 0 && !Pause(1000)) return false;
                                        return sink.write(body->data() + offset, 1);
                                      });
        break;
      case ReplyMode::Endless:
        response.set_chunked_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
          static const std::string piece(64 * 1024, 'x');
          return sink.write(piece.data(), piece.size());
        });
        break;
    }
  }
};

TestServer::TestServer() : impl_(std::make_unique<Impl>()) {
  Impl& impl = *impl_;
  auto handler = [&impl](const httplib::Request& request, httplib::Response& response) {
    impl.Handle(request, response);
  };
  impl.server.Get(".*", handler);
  impl.server.Post(".*", handler);
  impl.server.set_logger([&impl](const httplib::Request& request, const httplib::Response&) {
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.methods.push_back(request.method);
    impl.noted.notify_all();
  });
  impl.port = impl.server.bind_to_any_port("127.0.0.1");
  impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
  while (!impl.server.is_running()) std::this_thread::yield();
}

TestServer::~TestServer() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->closing = true;
  }
  impl_->released.notify_all();
  impl_->server.stop();
  impl_->thread.join();
}

int TestServer::port() const { return impl_->port; }

std::string TestServer::ConnectRule() const { return "::127.0.0.1:" + std::to_string(impl_->port); }

void TestServer::On(const std::string& path, Route route) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->routes[path] = std::move(route);
}

void TestServer::On(const std::string& path, Reply reply) {
  On(path, [reply](const Arrival&) { return reply; });
}

std::vector<Arrival> TestServer::Arrivals() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->arrivals;
}

std::vector<std::string> TestServer::Methods(std::size_t atLeast) const {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->noted.wait_for(lock, std::chrono::seconds(5), [this, atLeast] { return impl_->methods.size() >= atLeast; });
  return impl_->methods;
}

}  // namespace web_test
