// The platform-neutral half of program control: the argument list that a test may set and the
// splitting of a command line's arguments.
#include "runtime/process.h"

#include <mutex>
#include <optional>

// The process's own arguments, read by the platform part.
std::vector<Text> PlatformCommandLineArgs();

namespace {

std::mutex argsMutex;
std::optional<std::vector<Text>> setArgs;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<Text> GetCommandLineArgs() {
  {
    std::lock_guard<std::mutex> lock(argsMutex);
    if (setArgs) return *setArgs;
  }
  return PlatformCommandLineArgs();
}

void SetCommandLineArgs(const std::vector<Text>& args) {
  std::lock_guard<std::mutex> lock(argsMutex);
  setArgs = args;
}

std::vector<Text> SplitCommandLine(const Text& line) {
  // Neither a blank nor a double quote can be the second byte of a GBK character, so a plain
  // byte scan is double-byte safe here.
  std::vector<Text> args;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    Text arg;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        arg += line[i];
      }
    }
    args.push_back(arg);
  }
  return args;
}
