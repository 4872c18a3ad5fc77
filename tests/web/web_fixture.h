// Each test gets its own loopback server; every connection of the inet layer goes to it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/inet.h"
#include "runtime/threads.h"
#include "tests/web/test_server.h"

namespace web_test {

class WebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInetConnectTo({server.ConnectRule()});
    InetClearCookies();
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForThreads(5000)) << "a worker is still running";
    EXPECT_EQ(InetOpenHandleCount(), 0) << "handles left open";
    SetInetConnectTo({});
    SetInetTimeLimits({});
  }
  // Arrivals for one path (the query included).
  std::vector<Arrival> ArrivalsAt(const std::string& target) const {
    std::vector<Arrival> found;
    for (const Arrival& a : server.Arrivals()) {
      if (a.path == target) found.push_back(a);
    }
    return found;
  }

  // The one request that arrived for the target.
  Arrival Only(const std::string& target) const {
    std::vector<Arrival> got = ArrivalsAt(target);
    EXPECT_EQ(got.size(), 1u) << target;
    return got.empty() ? Arrival{} : got[0];
  }

  TestServer server;
};

// A Cookie header's pairs in name order: the store's own order is not part of the contract.
inline std::string SortedCookies(const std::string& header) {
  std::vector<std::string> pairs;
  std::size_t i = 0;
  while (i <= header.size() && !header.empty()) {
    std::size_t end = header.find("; ", i);
    if (end == std::string::npos) end = header.size();
    pairs.push_back(header.substr(i, end - i));
    i = end + 2;
  }
  std::sort(pairs.begin(), pairs.end());
  std::string joined;
  for (const std::string& p : pairs) joined += (joined.empty() ? "" : "; ") + p;
  return joined;
}

inline Text ToTextOf(const Bytes& bytes) { return Text(bytes.begin(), bytes.end()); }

}  // namespace web_test
