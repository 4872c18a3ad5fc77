// The few operating-system facts the run-time needs, one implementation per platform
// (runtime/posix/ now). Native paths are the file system's own form (UTF-8 here).
#pragma once

#include <cstdint>
#include <string>

// The folder of the running executable, native, without a trailing separator; "" if unknown.
std::string PlatformExecutableFolder();
// The system temporary folder, native, read afresh at every call; may lack a trailing separator.
std::string PlatformTempFolder();
// Milliseconds from a monotonic clock with an arbitrary start.
std::uint64_t PlatformMilliseconds();
// This process's id, and whether a process of that id is running.
long PlatformProcessId();
bool PlatformProcessAlive(long pid);
// Makes a new folder with a unique name that begins with prefix inside parent (both native);
// its native path, or "" on failure.
std::string PlatformMakeUniqueFolder(const std::string& parent, const std::string& prefix);
// Starts the desktop's opener of files by their type ("xdg-open", found on the PATH) with the
// native path as its one argument, no shell in between, and does not wait for it; the finished
// child is reaped in the background. False when it could not be started.
bool PlatformOpenWithDefaultProgram(const std::string& nativePath);
