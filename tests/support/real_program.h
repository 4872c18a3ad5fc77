// Running the real programs in a test: an X server of the test's own, a program started with a
// given environment and waited for, and its windows found, closed or answered by their titles.
//
// Each test runs its own X server. On a display shared by the suite, other tests' windows bear
// the same titles ("信息：", "Lorvane-Snipdock"), so a window search or a close request could hit
// one of theirs; and a shared server started without -noreset resets whenever its last client
// leaves, so a start that fell into a reset found no display to show the windows on.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "tests/support/command_output.h"

extern char** environ;

namespace real_program {

inline constexpr std::uint64_t kLimitMs = 20000;

// The title of both programs' message boxes, as X11 holds it (UTF-8).
inline const std::string kMessageBoxTitle = reinterpret_cast<const char*>(u8"信息：");

// The whole file; "" when it cannot be read.
inline std::string FileContents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The names in a folder, for a failure's message.
inline std::string FolderNames(const std::filesystem::path& folder) {
  std::string names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) names += entry.path().filename().string() + " ";
  return names;
}

// Polls condition every 50 ms until it holds or 20 s passed.
template <typename Condition>
bool WaitFor(Condition condition) {
  const std::uint64_t end = MonotonicMilliseconds() + kLimitMs;
  while (MonotonicMilliseconds() < end) {
    if (condition()) return true;
    const timespec step{0, 50 * 1000000L};
    nanosleep(&step, nullptr);
  }
  return condition();
}

inline bool CommandFound(const std::string& name) {
  int status = 0;
  return !CommandOutput("command -v " + name, status).empty();
}

// An X server on a free display, never reset, ended with the object.
class OwnXServer {
 public:
  OwnXServer() {
    int ready[2];
    if (pipe(ready) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"Xvfb",     "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                     "1280x1024x24", "-noreset", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    // The server writes its display number once it accepts clients.
    std::string number;
    pollfd wait = {ready[0], POLLIN, 0};
    while (pid_ > 0 && poll(&wait, 1, static_cast<int>(kLimitMs)) == 1) {
      char c = 0;
      if (read(ready[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(ready[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~OwnXServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  OwnXServer(const OwnXServer&) = delete;
  OwnXServer& operator=(const OwnXServer&) = delete;

  // ":N" once the server is ready; "" when it could not be started.
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Windows on a display, by exact title (UTF-8). x_window is the helper of tests/support/real_programs.
class Windows {
 public:
  Windows(std::string display, std::string xWindowProgram)
      : display_(std::move(display)), helper_(std::move(xWindowProgram)) {}

  // True when a window of that title was there and was asked to close, as by its close box.
  bool Close(const std::string& title) const { return Helper("close", title); }
  // True when a window of that title was there and was given the Enter key, as a user
  // answering a box with its default button does.
  bool PressEnter(const std::string& title) const {
    return Helper("focus", title) && std::system(("DISPLAY=" + display_ + " xdotool key Return").c_str()) == 0;
  }
  // A shown window of that title (xdotool cannot match titles beyond Latin-1: use Close for others).
  bool Shown(const std::string& title) const {
    int status = 0;
    return !CommandOutput("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null",
                          status)
                .empty();
  }

 private:
  bool Helper(const char* verb, const std::string& title) const {
    const std::string command = "DISPLAY=" + display_ + " '" + helper_ + "' " + verb + " '" + title + "'";
    return std::system(command.c_str()) == 0;
  }

  std::string display_;
  std::string helper_;
};

// A program started by the test, ended at the latest with the object.
class Program {
 public:
  Program() = default;
  ~Program() { Kill(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts path with args; its environment is the test's with each "NAME=value" of settings in
  // place of the test's own value of NAME.
  bool Start(const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& settings) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string item = *e;
      bool replaced = false;
      for (const std::string& s : settings) replaced |= item.rfind(s.substr(0, s.find('=') + 1), 0) == 0;
      if (!replaced) env.push_back(item);
    }
    env.insert(env.end(), settings.begin(), settings.end());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> all = {path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    return posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) == 0;
  }
  // Takes a process the test did not start (one that became its child as an orphan).
  void Adopt(pid_t pid) { pid_ = pid; }
  pid_t pid() const { return pid_; }

  // The exit code once the program ended within the limit, -1 when a signal ended it.
  std::optional<int> WaitForExit() {
    int status = 0;
    if (!WaitFor([&] { return Ended(status); })) return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // True once the program ended; status is its wait status then.
  bool Ended(int& status) {
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace real_program
