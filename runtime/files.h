// Files and folders. Paths are GBK texts with "\" or "/" as separators; they are mapped to
// native UTF-8 paths here (GBK-aware, so a "\" that is a second byte is no separator).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/text.h"

// --- the file-system seam ---
// Every file operation below goes through this one table of native operations, so tests can
// make a disk full, a folder read-only or a folder a plain file at one place.
enum class WriteOutcome {
  kWritten,     // the whole content is in the file
  kNotOpened,   // nothing was changed (no such folder, no permission, a folder of that name)
  kIncomplete,  // the file was created or truncated but not written whole (disk full)
};
struct FileSystemOps {
  std::function<bool(const std::string& native)> exists;         // a file or a folder
  std::function<bool(const std::string& native)> isFolder;
  std::function<bool(const std::string& native, Bytes& bytes)> read;  // whole regular file
  std::function<WriteOutcome(const std::string& native, const Bytes& bytes)> write;
  // Like write, but only when nothing of that name is there (a link neither): kNotOpened else.
  // Left empty (NativeFileSystem leaves it so), it is the native one while exists and write are,
  // else exists and write one after the other, so a fault put on those reaches new files too.
  std::function<WriteOutcome(const std::string& native, const Bytes& bytes)> writeNew;
  std::function<bool(const std::string& native)> removeFile;     // one file or link, no folder
  std::function<bool(const std::string& from, const std::string& to)> copy;    // overwrites
  std::function<bool(const std::string& from, const std::string& to)> rename;  // one step
  std::function<bool(const std::string& native)> makeFolder;     // one level
  std::function<bool(const std::string& native)> removeTree;     // links not followed
};
// The operating system's own operations.
FileSystemOps NativeFileSystem();
// Every later file call of the process uses ops (entries left empty fall back to the native
// ones; writeNew as told above); returns the table used so far.
FileSystemOps InstallFileSystem(const FileSystemOps& ops);

// The native form of a path: separators mapped, GBK converted to UTF-8.
std::string NativePath(const Text& path);
// The GBK form of a native path.
Text PathFromNative(const std::string& native);

// The program folder without a trailing separator: the executable's folder unless set.
Text GetRunDirectory();
// Used by the program entry (and by tests, which run a program in a folder of their own);
// a trailing separator is dropped.
void SetRunDirectory(const Text& folder);
// kind 11: the temporary folder ($TMPDIR or /tmp) with a trailing separator.
Text GetSpecialFolder(int kind);
constexpr int kSpecialFolderTemp = 11;

bool FileExists(const Text& path);  // a file or a folder
Bytes ReadFileBytes(const Text& path);  // whole file; empty when it cannot be read
// The same, telling an empty file (true) from one that cannot be read (false).
bool ReadFileBytes(const Text& path, Bytes& bytes);
// Created or truncated; true only when the whole content was written. A file left incomplete
// is removed, so a failed write never leaves a partial file behind.
bool WriteFileBytes(const Text& path, const Bytes& bytes);
// The same, but only when no file, folder or link of that name exists; false (and nothing
// changed) when one does.
bool WriteNewFileBytes(const Text& path, const Bytes& bytes);
// Replaces path by a file written whole beside it and renamed over it: a failed write leaves the
// former file as it was, and the file of a running program can be replaced. The former file's
// permissions stay, made writable for the owner.
bool ReplaceFileBytes(const Text& path, const Bytes& bytes);
bool IsFolder(const Text& path);
// When the file was last written, in nanoseconds of the file system's clock; -1 when unknown.
std::int64_t FileModifiedNanoseconds(const Text& path);

// A file added to one write at a time: what Append returned true for is in the file (if not
// yet on the disk) at once, so it outlives a process that is killed. Closed with the object.
class AppendingFile {
 public:
  AppendingFile() = default;
  ~AppendingFile() { Close(); }
  AppendingFile(const AppendingFile&) = delete;
  AppendingFile& operator=(const AppendingFile&) = delete;
  bool Open(const Text& path);  // created, or added to
  bool IsOpen() const { return fd_ >= 0; }
  bool Append(const Text& bytes);
  void Close();

 private:
  int fd_ = -1;
};

// A claim on a folder that other processes (and other claims) respect while it is held; it
// ends with the object, or with the process however that ends.
class FolderClaim {
 public:
  FolderClaim() = default;
  ~FolderClaim() { Release(); }
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  // False only when it is held elsewhere; where the folder cannot be claimed at all (no such
  // folder, a file system without locks) true, and nothing is held.
  bool Take(const Text& folder);
  void Release();

 private:
  int fd_ = -1;
};

bool RemoveFile(const Text& path);  // true iff a file was removed
bool CopyFileOver(const Text& source, const Text& target);  // an existing target is overwritten
// Replaces target by source in one step (rename); true when done.
bool MoveFileOver(const Text& source, const Text& target);
bool MakeDirectory(const Text& path);  // one level; true when the folder exists afterwards
// The folder with everything in it; true when a folder was there and is gone. A symbolic link
// is not followed, and the root of the file system is never removed.
bool RemoveDirectoryTree(const Text& path);
// A name "%x.tmp" in the temporary folder, the number from the tick count plus a counter,
// counted up until no file of that name exists.
Text TempFileName();
// A folder of this program instance's own in the temporary folder, with a trailing separator,
// made on first use (and again when the temporary folder changed): the instance's temporary
// copies live there, so two instances never read, write or delete each other's. Folders that
// instances which are no longer running left behind are removed when a new one is made.
// "" when no folder can be made.
Text InstanceTempFolder();
// Removes the instance's folder with everything in it (at the program's end).
void RemoveInstanceTempFolder();
// Makes the current directory the given folder.
bool SetCurrentFolder(const Text& folder);
