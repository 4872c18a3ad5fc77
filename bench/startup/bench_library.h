// The library both start-up benchmarks run over: a 5,000-directory tree and 50 MB of entry
// rows in "\DATA.mdb", in a program folder of its own beside its own temporary folder ($TMPDIR).
// Start-up reads only the database (compacted, opened, its tree loaded), so the 50 MB are rows.
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

constexpr int kTopLevel = 500;
constexpr int kChildren = 9;  // 500 x (1 + 9) = 5,000 directories
constexpr int kDirectories = kTopLevel * (1 + kChildren);
constexpr std::uintmax_t kLibraryBytes = 50u * 1024 * 1024;

// One library for the whole run, made on first use and removed at exit.
struct Library {
  fs::path base;
  Text program;
  std::uintmax_t bytes = 0;  // size of "\DATA.mdb"

  Library() {
    std::string pattern = (fs::temp_directory_path() / "snipdock-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) abort();
    base = pattern;
    fs::create_directories(base / "program");
    fs::create_directories(base / "tmp");
    program = PathFromNative((base / "program").string());
    setenv("TMPDIR", (base / "tmp").c_str(), 1);
    Fill();
    bytes = fs::file_size(base / "program" / "DATA.mdb");
  }
  ~Library() {
    std::error_code ec;
    fs::remove_all(base, ec);
  }

  void Fill() {
    const Text file = program + "\\DATA.mdb";
    WriteFileBytes(file, EmptyDatabaseTemplate());
    DatabaseUnit db;
    if (!OdbcOpen(db, file)) abort();
    OdbcExecute(db, "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),`标记` VARCHAR(225));");
    OdbcExecute(db,
                "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` "
                "VARCHAR(255) ,`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` "
                "VARCHAR(255));");
    OdbcTransaction(db, [&db] {
      int index = 0;
      for (int top = 0; top < kTopLevel; ++top) {
        const int topIndex = index++;
        OdbcExecute(db, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('目录" + ToText(top) +
                            "','-1','" + ToText(50 * (topIndex + 1)) + "');");
        for (int child = 0; child < kChildren; ++child) {
          OdbcExecute(db, "INSERT INTO `目录`(`目录名`,`索引`,`标记`) VALUES ('子目录" +
                              ToText(child) + "','" + ToText(topIndex) + "','" +
                              ToText(50 * (++index)) + "');");
        }
      }
      return true;
    });
    // Entries of about 330 bytes each until the file holds 50 MB.
    const Text description(200, 'd');
    int entry = 0;
    while (fs::file_size(NativePath(file)) < kLibraryBytes) {
      OdbcTransaction(db, [&] {
        for (int i = 0; i < 10000; ++i, ++entry) {
          const Text id = ToText(entry);
          OdbcExecute(db,
                      "INSERT INTO `内含信息`(`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) "
                      "VALUES ('/目录" + ToText(entry % kTopLevel) + "','条目" + id +
                          "','\\DATA\\方法\\abcdefghijklmno" + id + ".txt','" + description +
                          "','\\DATA\\图片\\abcdefghijklmno" + id + ".jpg','\\DATA\\例程\\abcdefghijklmno" +
                          id + ".zip','" + ToText(50 * (entry % kDirectories + 1)) + "');");
        }
        return true;
      });
    }
    OdbcClose(db);
  }
};

inline Library& TheLibrary() {
  static Library library;
  return library;
}

}  // namespace startup_bench
