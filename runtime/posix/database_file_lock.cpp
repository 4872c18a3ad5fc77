// The database file's "in use" mark on POSIX: an open-file-description lock (F_OFD_SETLK) on
// one byte of the file's lock page, which the engine never reads or writes and whose first 512
// bytes hold the engine's own locks. An OFD lock belongs to its descriptor, so the engine's
// descriptors and ours never release each other's locks. Closing any descriptor of a file drops
// the engine's classic fcntl locks of the whole process, though, so a process keeps one marking
// descriptor per file, shared by all its holders, and closes it only when the last one lets go
// (after its engine connection closed).
#include "runtime/database_file_lock.h"

#include "runtime/random.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// The engine's lock page starts at 1 GiB; its locks take the first 512 bytes of it.
constexpr off_t kMarkOffset = 0x40000000 + 0x800;
constexpr int kRetryMs = 10;

using FileKey = std::pair<dev_t, ino_t>;

}  // namespace

struct DatabaseFileLock::Entry {
  FileKey key;
  std::vector<int> descriptors;  // closed together when the last holder lets go
  int holders = 0;
  bool exclusive = false;
};

namespace {

// Never destroyed: a holder may let go during the process's exit.
std::mutex& RegistryMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::map<FileKey, DatabaseFileLock::Entry*>& Registry() {
  static auto* registry = new std::map<FileKey, DatabaseFileLock::Entry*>;
  return *registry;
}

bool SetMark(int fd, short type) {
  struct flock mark = {};
  mark.l_type = type;
  mark.l_whence = SEEK_SET;
  mark.l_start = kMarkOffset;
  mark.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &mark) == 0;
}

DatabaseFileLock::Result OpenFailure(int error) {
  const bool readOnly = error == EACCES || error == EROFS || error == EPERM;
  return readOnly ? DatabaseFileLock::Result::kReadOnly : DatabaseFileLock::Result::kNotOpened;
}

}  // namespace

DatabaseFileLock::~DatabaseFileLock() { Release(); }

DatabaseFileLock::DatabaseFileLock(DatabaseFileLock&& other) noexcept
    : entry_(std::exchange(other.entry_, nullptr)) {}

DatabaseFileLock& DatabaseFileLock::operator=(DatabaseFileLock&& other) noexcept {
  if (this != &other) {
    Release();
    entry_ = std::exchange(other.entry_, nullptr);
  }
  return *this;
}

void DatabaseFileLock::Release() {
  if (entry_ == nullptr) return;
  std::lock_guard<std::mutex> guard(RegistryMutex());
  Entry* entry = std::exchange(entry_, nullptr);
  if (--entry->holders > 0) return;
  Registry().erase(entry->key);
  for (int fd : entry->descriptors) close(fd);
  delete entry;
}

DatabaseFileLock::Result DatabaseFileLock::TakeShared(const std::string& nativePath, int waitMs,
                                                      DatabaseFileLock& lock) {
  lock.Release();
  const std::uint64_t end = MonotonicMilliseconds() + static_cast<std::uint64_t>(std::max(waitMs, 0));
  for (;;) {
    struct stat info;
    if (nativePath.empty() || stat(nativePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      return Result::kNotOpened;
    }
    {
      std::lock_guard<std::mutex> guard(RegistryMutex());
      auto& registry = Registry();
      auto found = registry.find({info.st_dev, info.st_ino});
      if (found != registry.end() && !found->second->exclusive) {
        ++found->second->holders;
        lock.entry_ = found->second;
        return Result::kTaken;
      }
      if (found == registry.end()) {
        const int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Result::kNotOpened;
        struct stat opened;
        if (fstat(fd, &opened) != 0 || !SetMark(fd, F_RDLCK)) {
          close(fd);  // nothing of ours is open on this file in the process yet
        } else {
          auto* entry = new Entry{{opened.st_dev, opened.st_ino}, {fd}, 1, false};
          auto raced = registry.find(entry->key);
          if (raced != registry.end()) {
            // Renamed under us onto a file we hold already: keep the descriptor with that one.
            raced->second->descriptors.push_back(fd);
            ++raced->second->holders;
            delete entry;
            entry = raced->second;
          } else {
            registry.emplace(entry->key, entry);
          }
          lock.entry_ = entry;
          return Result::kTaken;
        }
      }
    }
    if (MonotonicMilliseconds() >= end) return Result::kInUse;
    const struct timespec pause = {0, kRetryMs * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

DatabaseFileLock::Result DatabaseFileLock::TakeExclusive(const std::string& nativePath,
                                                         DatabaseFileLock& lock) {
  lock.Release();
  struct stat info;
  if (nativePath.empty() || stat(nativePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return Result::kNotOpened;
  }
  // Nobody may write it by its permission bits, even a user the system lets write anyway.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Result::kReadOnly;
  std::lock_guard<std::mutex> guard(RegistryMutex());
  auto& registry = Registry();
  if (registry.count({info.st_dev, info.st_ino}) != 0) return Result::kInUse;
  const int fd = open(nativePath.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return OpenFailure(errno);
  struct stat opened;
  if (fstat(fd, &opened) != 0) {
    close(fd);
    return Result::kNotOpened;
  }
  auto raced = registry.find({opened.st_dev, opened.st_ino});
  if (raced != registry.end()) {
    // Renamed under us onto a file we hold: closing this descriptor now would drop the
    // engine's locks, so it stays with that holder.
    raced->second->descriptors.push_back(fd);
    return Result::kInUse;
  }
  if (!SetMark(fd, F_WRLCK)) {
    close(fd);
    return Result::kInUse;
  }
  auto* entry = new Entry{{opened.st_dev, opened.st_ino}, {fd}, 1, true};
  registry.emplace(entry->key, entry);
  lock.entry_ = entry;
  return Result::kTaken;
}
