// Memory files in one process-wide table. Each call locks the table, so a file may be handed
// from one thread to another between calls.
#include "runtime/memory_file.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct MemoryFile {
  Bytes bytes;
  std::size_t position = 0;
};

struct MemoryFileTable {
  std::mutex mutex;
  std::map<int, MemoryFile> files;
  int lastNumber = 0;
};

// Never destroyed: a detached worker may still close its file while the process exits.
MemoryFileTable& Table() {
  static MemoryFileTable* const table = new MemoryFileTable;
  return *table;
}

template <typename Action>
auto WithFile(int file, Action action, decltype(action(std::declval<MemoryFile&>())) missing) {
  MemoryFileTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.files.find(file);
  if (it == table.files.end()) return missing;
  return action(it->second);
}

void WriteAt(MemoryFile& f, const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  if (f.position + size > f.bytes.size()) f.bytes.resize(f.position + size);
  std::copy(data, data + size, f.bytes.begin() + static_cast<std::ptrdiff_t>(f.position));
  f.position += size;
}

}  // namespace

int OpenMemoryFile() {
  MemoryFileTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.lastNumber == INT32_MAX) return 0;
  int number = ++table.lastNumber;
  table.files.emplace(number, MemoryFile{});
  return number;
}

bool WriteBytes(int file, const std::vector<Bytes>& pieces) {
  return WithFile(
      file,
      [&pieces](MemoryFile& f) {
        for (const Bytes& piece : pieces) WriteAt(f, piece.data(), piece.size());
        return true;
      },
      false);
}

bool WriteBytes(int file, const Bytes& bytes) {
  return WithFile(
      file,
      [&bytes](MemoryFile& f) {
        WriteAt(f, bytes.data(), bytes.size());
        return true;
      },
      false);
}

bool SeekToStart(int file) {
  return WithFile(
      file,
      [](MemoryFile& f) {
        f.position = 0;
        return true;
      },
      false);
}

std::size_t FileLength(int file) {
  return WithFile(file, [](MemoryFile& f) { return f.bytes.size(); }, std::size_t{0});
}

Bytes ReadBytes(int file, std::size_t count) {
  return WithFile(
      file,
      [count](MemoryFile& f) {
        std::size_t start = std::min(f.position, f.bytes.size());
        std::size_t n = std::min(count, f.bytes.size() - start);
        auto first = f.bytes.begin() + static_cast<std::ptrdiff_t>(start);
        Bytes out(first, first + static_cast<std::ptrdiff_t>(n));
        f.position = start + n;
        return out;
      },
      Bytes{});
}

bool DeleteBytesAt(int file, std::size_t count) {
  return WithFile(
      file,
      [count](MemoryFile& f) {
        if (f.position >= f.bytes.size()) return true;
        std::size_t n = std::min(count, f.bytes.size() - f.position);
        auto first = f.bytes.begin() + static_cast<std::ptrdiff_t>(f.position);
        f.bytes.erase(first, first + static_cast<std::ptrdiff_t>(n));
        return true;
      },
      false);
}

bool CloseFile(int file) {
  MemoryFileTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.files.erase(file) == 1;
}
