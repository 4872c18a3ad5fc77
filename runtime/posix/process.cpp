// POSIX side of program control: /proc for the own arguments and the process list, fork and
// exec to start a program, X11 (bound at first use, so nothing links it) for window titles.
#include "runtime/process.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "runtime/codepage.h"
#include "runtime/files.h"

std::vector<Text> PlatformCommandLineArgs();

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRunnableFile(const std::string& native) {
  struct stat st {};
  return stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(native.c_str(), X_OK) == 0;
}

// The native file of a program name as a command line gives it; "" when there is none.
std::string ResolveProgram(const Text& name) {
  if (name.empty()) return std::string();
  std::string native = NativePath(name);
  if (native.find('/') != std::string::npos) return IsRunnableFile(native) ? native : std::string();
  if (IsRunnableFile("./" + native)) return "./" + native;
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + native;
      if (IsRunnableFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// Splits a command line into the program's native file and the arguments text.
bool FindProgram(const Text& line, std::string& program, Text& rest) {
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    Text name = line.substr(1, close == Text::npos ? Text::npos : close - 1);
    program = ResolveProgram(name);
    rest = close == Text::npos ? Text() : line.substr(close + 1);
    return !program.empty();
  }
  // Each beginning up to a blank, shortest first; the whole line last.
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && !IsBlank(line[i])) continue;
    program = ResolveProgram(line.substr(0, i));
    if (!program.empty()) {
      rest = i < line.size() ? line.substr(i + 1) : Text();
      return true;
    }
  }
  return false;
}

void CloseInheritedFiles(int keep) {
  // Only the error pipe stays open across exec: a started program holds none of our files.
  if (keep > 3 && close_range(3, static_cast<unsigned>(keep) - 1, 0) == 0 &&
      close_range(static_cast<unsigned>(keep) + 1, ~0u, 0) == 0)
    return;
  long limit = sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > 65536) limit = 65536;
  for (int fd = 3; fd < limit; ++fd) {
    if (fd != keep) close(fd);
  }
}

// In the child (after fork): only async-signal-safe calls.
[[noreturn]] void ExecOrReport(const char* file, char* const* argv, int errorPipe) {
  CloseInheritedFiles(errorPipe);
  signal(SIGPIPE, SIG_DFL);
  execv(file, argv);
  int code = errno;
  ssize_t ignored = write(errorPipe, &code, sizeof code);
  (void)ignored;
  _exit(127);
}

// True when the pipe closed without an error code before the limit (-1: no limit).
bool ExecSucceeded(int readEnd, int limitMilliseconds) {
  pollfd pfd{readEnd, POLLIN, 0};
  for (;;) {
    int r = poll(&pfd, 1, limitMilliseconds);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return r == 0;  // still starting after the limit: it was created
    int code = 0;
    ssize_t n;
    do {
      n = read(readEnd, &code, sizeof code);
    } while (n < 0 && errno == EINTR);
    return n == 0;
  }
}

void WaitForChild(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// --- window titles through X11 ---
struct X11Functions {
  decltype(&XOpenDisplay) openDisplay = nullptr;
  decltype(&XCloseDisplay) closeDisplay = nullptr;
  decltype(&XInternAtom) internAtom = nullptr;
  decltype(&XGetWindowProperty) getWindowProperty = nullptr;
  decltype(&XQueryTree) queryTree = nullptr;
  decltype(&XFree) free = nullptr;
  bool ready = false;
};

const X11Functions& X11() {
  static X11Functions f;
  static std::once_flag once;
  std::call_once(once, [] {
    void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return;
    f.openDisplay = reinterpret_cast<decltype(f.openDisplay)>(dlsym(lib, "XOpenDisplay"));
    f.closeDisplay = reinterpret_cast<decltype(f.closeDisplay)>(dlsym(lib, "XCloseDisplay"));
    f.internAtom = reinterpret_cast<decltype(f.internAtom)>(dlsym(lib, "XInternAtom"));
    f.getWindowProperty = reinterpret_cast<decltype(f.getWindowProperty)>(dlsym(lib, "XGetWindowProperty"));
    f.queryTree = reinterpret_cast<decltype(f.queryTree)>(dlsym(lib, "XQueryTree"));
    f.free = reinterpret_cast<decltype(f.free)>(dlsym(lib, "XFree"));
    f.ready = f.openDisplay && f.closeDisplay && f.internAtom && f.getWindowProperty && f.queryTree && f.free;
  });
  return f;
}

// The bytes of a window property; "" when the window has none of that type.
std::string WindowProperty(Display* display, Window window, Atom property, Atom type, int& format) {
  const X11Functions& x = X11();
  Atom actualType = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string value;
  if (x.getWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &count,
                          &after, &data) == Success &&
      data != nullptr) {
    if (actualType == type) {
      std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
      value.assign(reinterpret_cast<const char*>(data), count * unit);
    }
    x.free(data);
  }
  return value;
}

// The process owning a top-level window titled exactly title; 0 when none (or no display).
pid_t WindowTitleOwner(const Text& title) {
  const X11Functions& x = X11();
  if (!x.ready || std::getenv("DISPLAY") == nullptr) return 0;
  Display* display = x.openDisplay(nullptr);
  if (display == nullptr) return 0;
  Window root = DefaultRootWindow(display);
  Atom netClientList = x.internAtom(display, "_NET_CLIENT_LIST", False);
  Atom netWmName = x.internAtom(display, "_NET_WM_NAME", False);
  Atom netWmPid = x.internAtom(display, "_NET_WM_PID", False);
  Atom utf8 = x.internAtom(display, "UTF8_STRING", False);

  // A window manager lists its clients; without one the top-level windows are the root's children.
  std::vector<Window> windows;
  int format = 0;
  std::string list = WindowProperty(display, root, netClientList, XA_WINDOW, format);
  for (std::size_t i = 0; i + sizeof(long) <= list.size(); i += sizeof(long)) {
    unsigned long w;
    std::memcpy(&w, list.data() + i, sizeof w);
    windows.push_back(static_cast<Window>(w));
  }
  if (windows.empty()) {
    Window rootOut = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (x.queryTree(display, root, &rootOut, &parent, &children, &n) != 0 && children != nullptr) {
      windows.assign(children, children + n);
      x.free(children);
    }
  }
  pid_t owner = 0;
  for (Window w : windows) {
    std::string name = WindowProperty(display, w, netWmName, utf8, format);
    Text gbk = name.empty() ? WindowProperty(display, w, XA_WM_NAME, XA_STRING, format) : ConvertUtf8ToGbk(name);
    if (gbk != title || title.empty()) continue;
    std::string pid = WindowProperty(display, w, netWmPid, XA_CARDINAL, format);
    if (pid.size() >= sizeof(long)) {
      long value;
      std::memcpy(&value, pid.data(), sizeof value);
      owner = static_cast<pid_t>(value);
      if (owner > 0) break;
    }
  }
  x.closeDisplay(display);
  return owner;
}

// The executable file name of a running process; "" when it cannot be read (another user's,
// or one that has ended).
std::string ExecutableName(const std::string& pidText) {
  std::vector<char> buffer(4096);
  ssize_t n = readlink(("/proc/" + pidText + "/exe").c_str(), buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::string();
  std::string path(buffer.data(), static_cast<std::size_t>(n));
  // The link of a file deleted while it runs carries this mark; the name is still the one it ran as.
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  return path.substr(path.rfind('/') + 1);
}

pid_t ProcessByExecutableName(const Text& name) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  Text wanted = ToLower(name);
  pid_t found = 0;
  while (dirent* entry = readdir(proc)) {
    std::string pidText = entry->d_name;
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string exe = ExecutableName(pidText);
    if (!exe.empty() && ToLower(ConvertUtf8ToGbk(exe)) == wanted) {
      found = static_cast<pid_t>(std::atol(pidText.c_str()));
      break;
    }
  }
  closedir(proc);
  return found;
}

}  // namespace

std::vector<Text> PlatformCommandLineArgs() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Text> args;
  std::size_t start = 0;
  bool first = true;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    if (!first) args.push_back(ConvertUtf8ToGbk(all.substr(start, end - start)));
    first = false;
    start = end + 1;
  }
  return args;
}

bool RunProgram(const Text& commandLine, bool wait, int showMode) {
  std::string program;
  Text rest;
  if (!FindProgram(commandLine, program, rest)) return false;

  // Everything the child needs is made before fork: after it only async-signal-safe calls.
  std::vector<std::string> args{program};
  for (const Text& arg : SplitCommandLine(rest)) args.push_back(ConvertGbkToUtf8(arg));
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    if (!wait) {
      // A program not waited for runs as a grandchild, so no one has to reap it.
      pid_t grandchild = fork();
      if (grandchild < 0) {
        int code = errno;
        ssize_t ignored = write(fds[1], &code, sizeof code);
        (void)ignored;
        _exit(127);
      }
      if (grandchild > 0) _exit(0);
      setsid();
    }
    ExecOrReport(program.c_str(), argv.data(), fds[1]);
  }
  close(fds[1]);
  bool started;
  if (wait) {
    started = ExecSucceeded(fds[0], -1);
    WaitForChild(pid);
  } else {
    WaitForChild(pid);
    started = ExecSucceeded(fds[0], 1000);
  }
  close(fds[0]);
  return started;
}

bool MarkRunnable(const Text& path) {
  const std::string native = NativePath(path);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Executable for whoever may read it, as a freshly installed program is.
  mode_t mode = st.st_mode | S_IXUSR;
  if (st.st_mode & S_IRGRP) mode |= S_IXGRP;
  if (st.st_mode & S_IROTH) mode |= S_IXOTH;
  return chmod(native.c_str(), mode) == 0;
}

bool KillProcess(const Text& name) {
  pid_t pid = WindowTitleOwner(name);
  if (pid <= 0) pid = ProcessByExecutableName(name);
  if (pid <= 0) return false;
  return kill(pid, SIGKILL) == 0;
}
