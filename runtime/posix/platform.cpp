// POSIX side of the platform facts: /proc/self/exe, $TMPDIR, CLOCK_MONOTONIC, process ids,
// mkdtemp and the desktop's file opener.
#include "runtime/platform.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

std::string PlatformExecutableFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(n));
      std::size_t slash = path.rfind('/');
      if (slash == std::string::npos) return std::string();
      return path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string PlatformTempFolder() {
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0') return "/tmp";
  return dir;
}

std::uint64_t PlatformMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

long PlatformProcessId() { return static_cast<long>(getpid()); }

bool PlatformProcessAlive(long pid) {
  if (pid <= 0) return false;
  // EPERM: it runs, under another user.
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::string PlatformMakeUniqueFolder(const std::string& parent, const std::string& prefix) {
  std::string pattern = parent;
  if (pattern.empty() || pattern.back() != '/') pattern += '/';
  pattern += prefix + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) return std::string();
  return std::string(buffer.data());
}

bool PlatformOpenWithDefaultProgram(const std::string& nativePath) {
  std::string program = "xdg-open";
  std::string argument = nativePath;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  // posix_spawnp searches the PATH itself: the path reaches the opener as one argument, never
  // through a shell that would read its blanks, quotes or "$".
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  std::thread([child] {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}
