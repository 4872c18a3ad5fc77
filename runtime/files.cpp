// Files and folders on top of std::filesystem; every path is mapped from GBK text to the
// native form first. Errors never throw: each operation reports them in its result.
#include "runtime/files.h"

#include <atomic>
#include <cstdio>
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

bool FileExists(const Text& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::exists(ToPath(path), ec);
}

Bytes ReadFileBytes(const Text& path) {
  Bytes bytes;
  if (path.empty()) return bytes;
  std::error_code ec;
  fs::path native = ToPath(path);
  if (!fs::is_regular_file(native, ec)) return bytes;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(native.c_str(), "rb"));
  if (!file) return bytes;
  // Read to the end rather than trusting the size: the file may change while it is read.
  std::uintmax_t expected = fs::file_size(native, ec);
  if (!ec && expected > 0) bytes.reserve(static_cast<std::size_t>(expected));
  std::uint8_t chunk[65536];
  for (;;) {
    std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(file.get())) bytes.clear();
  return bytes;
}

bool WriteFileBytes(const Text& path, const Bytes& bytes) {
  if (path.empty()) return false;
  std::FILE* file = std::fopen(NativePath(path).c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  // A full disk may only show when the buffer is flushed.
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

bool RemoveFile(const Text& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::path native = ToPath(path);
  fs::file_status status = fs::symlink_status(native, ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return false;
  return fs::remove(native, ec) && !ec;
}

bool CopyFileOver(const Text& source, const Text& target) {
  if (source.empty() || target.empty()) return false;
  std::error_code ec;
  fs::path from = ToPath(source);
  if (!fs::is_regular_file(from, ec)) return false;
  return fs::copy_file(from, ToPath(target), fs::copy_options::overwrite_existing, ec) && !ec;
}

bool MoveFileOver(const Text& source, const Text& target) {
  if (source.empty() || target.empty()) return false;
  std::error_code ec;
  fs::rename(ToPath(source), ToPath(target), ec);
  return !ec;
}

bool MakeDirectory(const Text& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::path native = ToPath(path);
  fs::create_directory(native, ec);
  return !ec && fs::is_directory(native, ec);
}

bool RemoveDirectoryTree(const Text& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::path native = ToPath(path);
  // Never the root of the file system, whatever a caller built.
  if (native.lexically_normal() == native.root_path()) return false;
  if (!fs::is_directory(fs::symlink_status(native, ec))) return false;
  fs::remove_all(native, ec);
  return !ec && !fs::exists(fs::symlink_status(native, ec));
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
