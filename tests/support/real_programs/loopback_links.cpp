// Linked only into the test build of snipdock: before the program entry its web links are
// pointed at the test's loopback server, given as SNIPDOCK_TEST_SERVER ("http://127.0.0.1:PORT"),
// and are empty without one. So a test of the real program never looks up the built-in host.
#include <cstdlib>
#include <string>

#include "snippets/web_links_test_hooks.h"

namespace {

// Nothing but a loopback address is taken: whatever the environment holds, the test build
// reaches no other host.
bool IsLoopbackServer(const std::string& server) {
  const std::string prefix = "http://127.0.0.1:";
  if (server.rfind(prefix, 0) != 0 || server.size() == prefix.size()) return false;
  for (std::size_t i = prefix.size(); i < server.size(); ++i) {
    if (server[i] < '0' || server[i] > '9') return false;
  }
  return true;
}

struct LoopbackLinks {
  LoopbackLinks() {
    const char* given = std::getenv("SNIPDOCK_TEST_SERVER");
    const std::string server = given != nullptr ? given : "";
    if (!IsLoopbackServer(server)) {
      SetWebServiceLinks({});
      return;
    }
    SetWebServiceLinks({server + "/update-info", server + "/online-count", server + "/notice",
                        server + "/feedback"});
  }
};

const LoopbackLinks links;

}  // namespace
