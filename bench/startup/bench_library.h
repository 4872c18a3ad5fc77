// The libraries the start-up benchmarks run over, each in a program folder of its own beside
// its own temporary folder ($TMPDIR): the large one (10,000 directories five levels deep,
// 100,000 entries of which one directory holds 10,000, about 31 MiB), the same with about a
// quarter of its pages free, and an empty one with both tables. Start-up reads only the database.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "resources/resources.h"
#include "runtime/database.h"
#include "runtime/files.h"

namespace startup_bench {

namespace fs = std::filesystem;

constexpr int kDirectories = 10000;
constexpr int kDepth = 5;                  // levels of the tree
constexpr int kChildren = 4;               // children of a directory above the last level
constexpr int kEntries = 100000;
constexpr int kBigDirectoryEntries = 10000;
constexpr int kBigDirectoryTag = 50;       // the first directory's mark

enum class LibraryKind { kLarge, kLargeWithFreePages, kEmpty };

inline const char* CreateDirectoryTable() {
  return "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),`标记` VARCHAR(225));";
}
inline const char* CreateEntryTable() {
  return "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` "
         "VARCHAR(255) ,`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` "
         "VARCHAR(255));";
}

// The directories in tree order: kChildren children under every directory above the last level,
// whole subtrees from the top until kDirectories are made.
inline bool InsertDirectories(DatabaseUnit& db) {
  int made = 0;
  auto add = [&](auto& self, int parent, int level) -> bool {
    if (made >= kDirectories) return true;
    const int index = made++;
    const Text name = (level == 0 ? "目录" : "子目录") + ToText(index);
    if (!OdbcExecute(db, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('" + name + "','" +
                             ToText(parent) + "','" + ToText(50 * (index + 1)) + "');")) {
      return false;
    }
    for (int child = 0; level + 1 < kDepth && child < kChildren; ++child) {
      if (!self(self, index, level + 1)) return false;
    }
    return true;
  };
  while (made < kDirectories) {
    if (!add(add, -1, 0)) return false;
  }
  return true;
}

// Entry i as the editor writes it, of about 320 bytes; the first kBigDirectoryEntries go to the
// first directory, the others spread over the rest.
inline Text InsertEntry(int i, const Text& tag) {
  static const Text description = [] {
    Text text;
    for (int k = 0; k < 3; ++k) text += "取出文本中间的一段按位置和长度，";
    return text;
  }();
  Text id(15, 'a');
  for (int pos = 14, n = i; pos >= 0 && n > 0; --pos, n /= 26) id[pos] = static_cast<char>('a' + n % 26);
  return "INSERT INTO `内含信息`(`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES ('/目录" +
         ToText(i % 29) + "/子目录" + ToText(i % 97) + "','条目" + ToText(i) + "','\\DATA\\方法\\" +
         id + ".txt','" + description + "','\\DATA\\图片\\" + id + ".jpg','\\DATA\\例程\\" + id +
         ".zip','" + tag + "');";
}

inline Text EntryTag(int i) {
  if (i < kBigDirectoryEntries) return ToText(kBigDirectoryTag);
  return ToText(50 * (2 + i % (kDirectories - 1)));
}

inline bool FillLibrary(const Text& file, LibraryKind kind) {
  if (!WriteFileBytes(file, EmptyDatabaseTemplate())) return false;
  DatabaseUnit db;
  if (!OdbcOpen(db, file) || !OdbcExecute(db, CreateDirectoryTable()) ||
      !OdbcExecute(db, CreateEntryTable())) {
    return false;
  }
  if (kind == LibraryKind::kEmpty) return true;
  if (!OdbcTransaction(db, [&db] { return InsertDirectories(db); })) return false;
  // The rows deleted again come in runs between the others, so whole pages all over the file
  // become free: of every kRun x 4 rows, the last kRun.
  constexpr int kRun = 300;
  const bool fragment = kind == LibraryKind::kLargeWithFreePages;
  return OdbcTransaction(db, [&] {
           for (int i = 0, entry = 0; entry < kEntries; ++i) {
             const bool garbage = fragment && i % (4 * kRun) >= 3 * kRun;
             if (!OdbcExecute(db, InsertEntry(entry, garbage ? Text("garbage") : EntryTag(entry)))) {
               return false;
             }
             if (!garbage) ++entry;
           }
           return true;
         }) &&
         OdbcExecute(db, "DELETE FROM `内含信息` WHERE `标记`='garbage';");
}

// One library of a kind in a program folder of its own, made on first use, removed at exit.
struct Library {
  fs::path base;
  Text program;
  std::uintmax_t bytes = 0;  // size of "\DATA.mdb"

  explicit Library(LibraryKind kind = LibraryKind::kLarge) {
    std::string pattern = (fs::temp_directory_path() / "snipdock-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) abort();
    base = pattern;
    fs::create_directories(base / "program");
    fs::create_directories(base / "tmp");
    program = PathFromNative((base / "program").string());
    setenv("TMPDIR", (base / "tmp").c_str(), 1);
    if (!FillLibrary(DatabaseFile(), kind)) abort();
    bytes = fs::file_size(NativePath(DatabaseFile()));
  }
  ~Library() {
    std::error_code ec;
    fs::remove_all(base, ec);
  }
  Text DatabaseFile() const { return program + "\\DATA.mdb"; }
};

inline Library& TheLibrary() {
  static Library library;
  return library;
}

}  // namespace startup_bench
