// Files and folders on top of std::filesystem, through one replaceable table of operations;
// every path is mapped from GBK text to the native form first. Errors never throw: each
// operation reports them in its result.
#include "runtime/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

#include "runtime/codepage.h"
#include "runtime/platform.h"
#include "runtime/random.h"

namespace fs = std::filesystem;

namespace {

std::mutex runDirectoryMutex;
std::optional<Text> runDirectory;

fs::path ToPath(const Text& path) { return fs::path(NativePath(path)); }

bool EndsWithSeparator(const Text& text) {
  return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

// Closes a C stream when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

}  // namespace

std::string NativePath(const Text& path) {
  // Only separators at character boundaries: a "\" that is a second byte belongs to a character.
  Text mapped = SubstituteText(path, "\\", "/");
  return ConvertGbkToUtf8(mapped);
}

Text PathFromNative(const std::string& native) { return ConvertUtf8ToGbk(native); }

Text GetRunDirectory() {
  std::lock_guard<std::mutex> lock(runDirectoryMutex);
  if (!runDirectory) runDirectory = PathFromNative(PlatformExecutableFolder());
  return *runDirectory;
}

void SetRunDirectory(const Text& folder) {
  Text value = folder;
  while (value.size() > 1 && EndsWithSeparator(value)) value.pop_back();
  std::lock_guard<std::mutex> lock(runDirectoryMutex);
  runDirectory = value;
}

Text GetSpecialFolder(int kind) {
  if (kind != kSpecialFolderTemp) return Text();
  Text folder = PathFromNative(PlatformTempFolder());
  if (!EndsWithSeparator(folder)) folder += "/";
  return folder;
}

namespace {

bool NativeExists(const std::string& native) {
  std::error_code ec;
  return fs::exists(fs::path(native), ec);
}

bool NativeIsFolder(const std::string& native) {
  std::error_code ec;
  return fs::is_directory(fs::path(native), ec);
}

bool NativeRead(const std::string& native, Bytes& bytes) {
  bytes.clear();
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(native), ec)) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(native.c_str(), "rb"));
  if (!file) return false;
  // Read to the end rather than trusting the size: the file may change while it is read.
  std::uintmax_t expected = fs::file_size(fs::path(native), ec);
  if (!ec && expected > 0) bytes.reserve(static_cast<std::size_t>(expected));
  std::uint8_t chunk[65536];
  for (;;) {
    std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(file.get())) {
    bytes.clear();
    return false;
  }
  return true;
}

WriteOutcome NativeWrite(const std::string& native, const Bytes& bytes) {
  std::FILE* file = std::fopen(native.c_str(), "wb");
  if (file == nullptr) return WriteOutcome::kNotOpened;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  // A full disk may only show when the buffer is flushed.
  if (std::fflush(file) != 0) ok = false;
  if (std::fclose(file) != 0) ok = false;
  return ok ? WriteOutcome::kWritten : WriteOutcome::kIncomplete;
}

WriteOutcome NativeWriteNew(const std::string& native, const Bytes& bytes) {
  // O_EXCL: one step from "no such name" to "our file", and no link is followed.
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return WriteOutcome::kNotOpened;
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  return ok ? WriteOutcome::kWritten : WriteOutcome::kIncomplete;
}

bool NativeRemoveFile(const std::string& native) {
  std::error_code ec;
  fs::file_status status = fs::symlink_status(fs::path(native), ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return false;
  return fs::remove(fs::path(native), ec) && !ec;
}

bool NativeCopy(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(from), ec)) return false;
  return fs::copy_file(fs::path(from), fs::path(to), fs::copy_options::overwrite_existing, ec) &&
         !ec;
}

bool NativeRename(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(fs::path(from), fs::path(to), ec);
  return !ec;
}

bool NativeMakeFolder(const std::string& native) {
  std::error_code ec;
  fs::create_directory(fs::path(native), ec);
  return !ec && fs::is_directory(fs::path(native), ec);
}

bool NativeRemoveTree(const std::string& native) {
  std::error_code ec;
  fs::path path(native);
  // Never the root of the file system, whatever a caller built.
  if (path.lexically_normal() == path.root_path()) return false;
  if (!fs::is_directory(fs::symlink_status(path, ec))) return false;
  fs::remove_all(path, ec);
  return !ec && !fs::exists(fs::symlink_status(path, ec));
}

// An empty writeNew: the native one while exists and write are the native ones, else made of
// the two, so a fault put on either reaches new files too.
void CompleteWriteNew(FileSystemOps& ops) {
  if (ops.writeNew) return;
  using Exists = bool (*)(const std::string&);
  using Write = WriteOutcome (*)(const std::string&, const Bytes&);
  const Exists* exists = ops.exists.target<Exists>();
  const Write* write = ops.write.target<Write>();
  if (exists != nullptr && *exists == NativeExists && write != nullptr && *write == NativeWrite) {
    ops.writeNew = NativeWriteNew;
    return;
  }
  ops.writeNew = [exists = ops.exists, write = ops.write](const std::string& native, const Bytes& bytes) {
    return exists(native) ? WriteOutcome::kNotOpened : write(native, bytes);
  };
}

std::mutex opsMutex;
std::shared_ptr<const FileSystemOps> installedOps;

// The table in force; a caller keeps its copy for the whole call, so a test that swaps the
// table meanwhile never pulls it from under a running operation.
std::shared_ptr<const FileSystemOps> Ops() {
  std::lock_guard<std::mutex> lock(opsMutex);
  if (!installedOps) {
    FileSystemOps native = NativeFileSystem();
    CompleteWriteNew(native);
    installedOps = std::make_shared<const FileSystemOps>(std::move(native));
  }
  return installedOps;
}

}  // namespace

FileSystemOps NativeFileSystem() {
  FileSystemOps ops;
  ops.exists = NativeExists;
  ops.isFolder = NativeIsFolder;
  ops.read = NativeRead;
  ops.write = NativeWrite;
  ops.removeFile = NativeRemoveFile;
  ops.copy = NativeCopy;
  ops.rename = NativeRename;
  ops.makeFolder = NativeMakeFolder;
  ops.removeTree = NativeRemoveTree;
  return ops;
}

FileSystemOps InstallFileSystem(const FileSystemOps& ops) {
  FileSystemOps complete = ops;
  const FileSystemOps native = NativeFileSystem();
  if (!complete.exists) complete.exists = native.exists;
  if (!complete.isFolder) complete.isFolder = native.isFolder;
  if (!complete.read) complete.read = native.read;
  if (!complete.write) complete.write = native.write;
  CompleteWriteNew(complete);
  if (!complete.removeFile) complete.removeFile = native.removeFile;
  if (!complete.copy) complete.copy = native.copy;
  if (!complete.rename) complete.rename = native.rename;
  if (!complete.makeFolder) complete.makeFolder = native.makeFolder;
  if (!complete.removeTree) complete.removeTree = native.removeTree;
  auto former = Ops();
  std::lock_guard<std::mutex> lock(opsMutex);
  installedOps = std::make_shared<const FileSystemOps>(std::move(complete));
  return *former;
}

bool FileExists(const Text& path) {
  if (path.empty()) return false;
  return Ops()->exists(NativePath(path));
}

bool IsFolder(const Text& path) {
  if (path.empty()) return false;
  return Ops()->isFolder(NativePath(path));
}

Bytes ReadFileBytes(const Text& path) {
  Bytes bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}

bool ReadFileBytes(const Text& path, Bytes& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  if (!Ops()->read(NativePath(path), bytes)) {
    bytes.clear();
    return false;
  }
  return true;
}

namespace {

// A write through one of the table's writing operations; a file left incomplete is removed.
template <typename Write>
bool WriteThrough(const Text& path, const Bytes& bytes, Write write) {
  if (path.empty()) return false;
  auto ops = Ops();
  const std::string native = NativePath(path);
  switch (write(*ops, native)) {
    case WriteOutcome::kWritten:
      return true;
    case WriteOutcome::kIncomplete:
      ops->removeFile(native);
      return false;
    case WriteOutcome::kNotOpened:
      return false;
  }
  return false;
}

}  // namespace

bool WriteFileBytes(const Text& path, const Bytes& bytes) {
  return WriteThrough(path, bytes, [&](const FileSystemOps& ops, const std::string& native) {
    return ops.write(native, bytes);
  });
}

bool WriteNewFileBytes(const Text& path, const Bytes& bytes) {
  return WriteThrough(path, bytes, [&](const FileSystemOps& ops, const std::string& native) {
    return ops.writeNew(native, bytes);
  });
}

bool ReplaceFileBytes(const Text& path, const Bytes& bytes) {
  if (path.empty()) return false;
  auto ops = Ops();
  const std::string native = NativePath(path);
  if (ops->isFolder(native)) return false;
  if (!ops->exists(native)) return WriteFileBytes(path, bytes);
  static std::atomic<unsigned> replacements{0};
  const Text part = path + ".new-" + ToText(static_cast<int>(PlatformProcessId())) + "-" +
                    ToText(static_cast<int>(replacements.fetch_add(1) & 0x7FFFFFFF));
  if (!WriteFileBytes(part, bytes)) return false;
  const std::string partNative = NativePath(part);
  std::error_code ec;
  const fs::perms former = fs::status(fs::path(native), ec).permissions();
  if (!ec) fs::permissions(fs::path(partNative), former | fs::perms::owner_write, ec);
  if (ops->rename(partNative, native)) return true;
  ops->removeFile(partNative);
  return false;
}

std::int64_t FileModifiedNanoseconds(const Text& path) {
  struct stat info;
  if (path.empty() || stat(NativePath(path).c_str(), &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool FolderClaim::Take(const Text& folder) {
  Release();
  if (folder.empty()) return true;
  fd_ = open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return true;  // nothing to claim it by: nobody else can claim it either
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  const bool held = errno == EWOULDBLOCK;
  Release();
  return !held;  // a file system without such locks leaves the folder unclaimed
}

void FolderClaim::Release() {
  if (fd_ >= 0) close(fd_);  // the lock goes with its descriptor
  fd_ = -1;
}

bool AppendingFile::Open(const Text& path) {
  Close();
  if (path.empty()) return false;
  fd_ = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

bool AppendingFile::Append(const Text& bytes) {
  if (fd_ < 0) return false;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void AppendingFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RemoveFile(const Text& path) {
  if (path.empty()) return false;
  return Ops()->removeFile(NativePath(path));
}

bool CopyFileOver(const Text& source, const Text& target) {
  if (source.empty() || target.empty()) return false;
  return Ops()->copy(NativePath(source), NativePath(target));
}

bool MoveFileOver(const Text& source, const Text& target) {
  if (source.empty() || target.empty()) return false;
  return Ops()->rename(NativePath(source), NativePath(target));
}

bool MakeDirectory(const Text& path) {
  if (path.empty()) return false;
  return Ops()->makeFolder(NativePath(path));
}

bool RemoveDirectoryTree(const Text& path) {
  if (path.empty()) return false;
  return Ops()->removeTree(NativePath(path));
}

namespace {

constexpr char kInstanceFolderPrefix[] = "snipdock-";

struct InstanceFolder {
  std::mutex mutex;
  Text temp;    // the temporary folder it was made in
  Text folder;  // with a trailing separator; "" while none is made
};
InstanceFolder& TheInstanceFolder() {
  static InstanceFolder* const folder = new InstanceFolder;  // outlives static destructors
  return *folder;
}

// "snipdock-<pid>-XXXXXX" folders of processes that no longer run.
void RemoveAbandonedInstanceFolders(const std::string& tempNative) {
  std::error_code ec;
  const std::string prefix = kInstanceFolderPrefix;
  for (fs::directory_iterator it(tempNative, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size()) continue;
    const std::string digits = name.substr(prefix.size(), dash - prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const long pid = std::strtol(digits.c_str(), nullptr, 10);
    if (pid == PlatformProcessId() || PlatformProcessAlive(pid)) continue;
    if (!it->is_directory(ec) || it->is_symlink(ec)) continue;
    RemoveDirectoryTree(PathFromNative(it->path().string()));
  }
}

}  // namespace

Text InstanceTempFolder() {
  InstanceFolder& instance = TheInstanceFolder();
  const Text temp = GetSpecialFolder(kSpecialFolderTemp);
  std::lock_guard<std::mutex> lock(instance.mutex);
  if (!instance.folder.empty() && instance.temp == temp && IsFolder(instance.folder)) {
    return instance.folder;
  }
  if (!instance.folder.empty()) RemoveDirectoryTree(instance.folder);
  instance.folder.clear();
  const std::string tempNative = NativePath(temp);
  RemoveAbandonedInstanceFolders(tempNative);
  const std::string made = PlatformMakeUniqueFolder(
      tempNative, kInstanceFolderPrefix + std::to_string(PlatformProcessId()) + "-");
  if (made.empty()) return Text();
  instance.temp = temp;
  instance.folder = PathFromNative(made) + "/";
  return instance.folder;
}

void RemoveInstanceTempFolder() {
  InstanceFolder& instance = TheInstanceFolder();
  std::lock_guard<std::mutex> lock(instance.mutex);
  if (!instance.folder.empty()) RemoveDirectoryTree(instance.folder);
  instance.folder.clear();
  instance.temp.clear();
}

Text TempFileName() {
  static std::atomic<std::uint32_t> counter{0};
  const Text folder = GetSpecialFolder(kSpecialFolderTemp);
  std::uint32_t number = TickCount() + counter.fetch_add(1);
  for (;;) {
    char name[16];
    std::snprintf(name, sizeof name, "%x.tmp", static_cast<unsigned>(number));
    Text candidate = folder + name;
    if (!FileExists(candidate)) return candidate;
    number = TickCount() + counter.fetch_add(1);
  }
}

bool SetCurrentFolder(const Text& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  fs::current_path(ToPath(folder), ec);
  return !ec;
}
