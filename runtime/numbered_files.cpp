// One process-wide table of numbered files. A file may be handed from one thread to another
// between calls; each call holds the file's own lock, not the table's.
#include "runtime/numbered_files.h"

#include <algorithm>
#include <climits>
#include <map>
#include <mutex>

namespace {

struct Slot {
  std::mutex mutex;
  std::unique_ptr<NumberedFile> file;
};

struct Table {
  std::mutex mutex;
  std::map<int, std::shared_ptr<Slot>> slots;
  int lastNumber = 0;
};

// Never destroyed: a detached worker may still close its file while the process exits.
Table& Files() {
  static Table* const table = new Table;
  return *table;
}

std::shared_ptr<Slot> Find(int number) {
  Table& table = Files();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.slots.find(number);
  return it == table.slots.end() ? nullptr : it->second;
}

template <typename Result, typename Action>
Result WithFile(int number, Result missing, Action action) {
  std::shared_ptr<Slot> slot = Find(number);
  if (!slot) return missing;
  std::lock_guard<std::mutex> lock(slot->mutex);
  if (!slot->file) return missing;  // closed meanwhile
  return action(*slot->file);
}

}  // namespace

int AddNumberedFile(std::unique_ptr<NumberedFile> file) {
  Table& table = Files();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (!file || table.lastNumber == INT_MAX) return 0;
  auto slot = std::make_shared<Slot>();
  slot->file = std::move(file);
  table.slots.emplace(++table.lastNumber, std::move(slot));
  return table.lastNumber;
}

bool WriteBytes(int file, const Bytes& bytes) {
  return WithFile(file, false, [&](NumberedFile& f) { return f.Write(bytes.data(), bytes.size()); });
}

bool WriteBytes(int file, const std::vector<Bytes>& pieces) {
  return WithFile(file, false, [&](NumberedFile& f) {
    for (const Bytes& piece : pieces) {
      if (!f.Write(piece.data(), piece.size())) return false;
    }
    return true;
  });
}

Bytes ReadBytes(int file, std::int64_t count) {
  return WithFile(file, Bytes{}, [&](NumberedFile& f) {
    Bytes bytes;
    if (count <= 0) return bytes;
    const std::int64_t length = f.Length();
    const std::int64_t position = f.Position();
    if (length >= 0 && position >= 0) count = std::min(count, std::max<std::int64_t>(length - position, 0));
    bytes.resize(static_cast<std::size_t>(count));
    bytes.resize(f.Read(bytes.data(), bytes.size()));
    return bytes;
  });
}

bool SeekToStart(int file) {
  return WithFile(file, false, [](NumberedFile& f) { return f.Seek(0); });
}

std::int64_t FileLength(int file) {
  return WithFile(file, std::int64_t{-1}, [](NumberedFile& f) { return f.Length(); });
}

bool DeleteBytesAt(int file, std::int64_t count) {
  return WithFile(file, false, [&](NumberedFile& f) {
    return count >= 0 && f.DeleteAt(static_cast<std::size_t>(count));
  });
}

bool CloseFile(int file) {
  std::shared_ptr<Slot> slot;
  {
    Table& table = Files();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.slots.find(file);
    if (it == table.slots.end()) return false;
    slot = std::move(it->second);
    table.slots.erase(it);
  }
  std::lock_guard<std::mutex> lock(slot->mutex);
  slot->file->Close();
  slot->file.reset();
  return true;
}
