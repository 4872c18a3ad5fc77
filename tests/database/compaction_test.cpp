// CompactDatabaseFile: the library is compacted in place, only when it has free pages, and
// never while another connection has it open; on every failure it stays as it was and nothing
// is left in the temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "database_fixture.h"
#include "other_process.h"
#include "resources/resources.h"
#include "runtime/codepage.h"

namespace {

namespace fs = std::filesystem;

class CompactionTest : public DatabaseFixture {
 protected:
  void SetUp() override {
    DatabaseFixture::SetUp();
    // The temporary files go to a folder of the test's own, so leftovers can be seen.
    const char* old = std::getenv("TMPDIR");
    if (old != nullptr) oldTmpDir_ = old;
    tmpDir_ = folder_ / "tmp";
    fs::create_directories(tmpDir_);
    setenv("TMPDIR", tmpDir_.c_str(), 1);
    library_ = PathOf("DATA.mdb");
  }
  void TearDown() override {
    if (oldTmpDir_) {
      setenv("TMPDIR", oldTmpDir_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    DatabaseFixture::TearDown();
  }

  // A library with rows rows in `内含信息`, closed again.
  void MakeLibrary(int rows) {
    NewDatabaseFile("DATA.mdb");
    DatabaseUnit db;
    ASSERT_TRUE(OdbcOpen(db, library_));
    ASSERT_TRUE(OdbcExecute(db, "CREATE TABLE `内含信息` (`名称` VARCHAR(255),`说明` VARCHAR(255),"
                                "`标记` VARCHAR(255));"));
    ASSERT_TRUE(OdbcTransaction(db, [&] {
      for (int i = 0; i < rows; ++i) {
        const Text sql = "INSERT INTO `内含信息` (`名称`,`说明`,`标记`) VALUES ('名称" + ToText(i) +
                         "','" + Text(200, 'x') + "','" + ToText(i % 10) + "');";
        if (!OdbcExecute(db, sql)) return false;
      }
      return true;
    }));
  }
  void DeleteRowsExceptTag(const Text& tag) {
    DatabaseUnit db;
    ASSERT_TRUE(OdbcOpen(db, library_));
    ASSERT_TRUE(OdbcExecute(db, "DELETE FROM `内含信息` WHERE `标记`<>'" + tag + "';"));
  }
  // The names in the library, read through a fresh connection; nullopt when it does not open.
  std::optional<std::vector<Text>> LibraryNames() {
    DatabaseUnit db;
    if (!OdbcOpen(db, library_)) return std::nullopt;
    return QueryColumn(db, "SELECT * FROM `内含信息` ORDER BY rowid", "名称");
  }
  // Files in the test's folders other than the library and the temporary folder itself.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
      const fs::path& p = entry.path();
      if (p != fs::path(library_) && p != tmpDir_) found.push_back(p.filename().string());
    }
    return found;
  }
  std::uintmax_t LibrarySize() { return fs::file_size(fs::path(library_)); }
  // A library of 2,000 entries of which 200 are left: most of its pages are free.
  void MakeLibraryWithFreePages() {
    MakeLibrary(2000);
    DeleteRowsExceptTag("3");
  }
  struct stat Status() {
    struct stat info = {};
    EXPECT_EQ(stat(NativePath(library_).c_str(), &info), 0);
    return info;
  }

  std::optional<std::string> oldTmpDir_;
  fs::path tmpDir_;
  Text library_;
};

TEST_F(CompactionTest, CompactsInPlaceToASmallerFileWithTheSameData) {
  MakeLibraryWithFreePages();
  const auto before = LibraryNames();
  ASSERT_TRUE(before.has_value());
  ASSERT_EQ(before->size(), 200u);
  const auto sizeBefore = LibrarySize();
  const ino_t inode = Status().st_ino;

  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_LT(LibrarySize(), sizeBefore / 2);
  EXPECT_EQ(Status().st_ino, inode);  // the same file, not a replacement
  EXPECT_EQ(LibraryNames(), before);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, FileWithoutFreePagesIsLeftUnwrittenAndGivesZero) {
  MakeLibrary(300);  // rows only added: no free page
  const Bytes bytes = ReadFileBytes(library_);
  const auto written = fs::last_write_time(fs::path(library_));
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_EQ(ReadFileBytes(library_), bytes);
  EXPECT_EQ(fs::last_write_time(fs::path(library_)), written);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, PasswordArgumentsAreAcceptedAndIgnored) {
  MakeLibraryWithFreePages();
  const auto before = LibraryNames();
  EXPECT_EQ(CompactDatabaseFile(library_, "secret", true), kCompacted);
  EXPECT_EQ(CompactDatabaseFile(library_, "secret", false), kCompacted);
  EXPECT_EQ(LibraryNames(), before);
}

TEST_F(CompactionTest, EmptyLibraryAndTheTemplateCompactToOpenableDatabases) {
  NewDatabaseFile("DATA.mdb");
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  DatabaseUnit db;
  EXPECT_TRUE(OdbcOpen(db, library_));
  OdbcClose(db);
  // The built-in template holds free pages.
  ASSERT_TRUE(WriteFileBytes(library_, EmptyDatabaseTemplate()));
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_TRUE(OdbcOpen(db, library_));
  EXPECT_TRUE(OdbcExecute(db, "CREATE TABLE t (a);"));
  OdbcClose(db);
  EXPECT_TRUE(Leftovers().empty());
}

// What cannot be opened as a database is not started on and stays byte for byte.
TEST_F(CompactionTest, FileThatIsNoIntactDatabaseGivesOneAndStaysByteForByte) {
  MakeLibrary(10);
  Bytes damaged = ReadFileBytes(library_);
  damaged[103] = 0;  // page 1 lists no schema entry
  damaged[104] = 0;
  const Bytes cases[] = {Bytes(5000, 0x5a), damaged};
  for (const Bytes& content : cases) {
    ASSERT_TRUE(WriteFileBytes(library_, content));
    EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionNotStarted);
    EXPECT_EQ(ReadFileBytes(library_), content);
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(CompactionTest, MissingSourceOrAFolderGivesOneAndCreatesNothing) {
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionNotStarted);
  EXPECT_FALSE(FileExists(library_));
  EXPECT_EQ(CompactDatabaseFile("", "", false), kCompactionNotStarted);
  ASSERT_TRUE(MakeDirectory(PathOf("folder.mdb")));
  EXPECT_EQ(CompactDatabaseFile(PathOf("folder.mdb"), "", false), kCompactionNotStarted);
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"folder.mdb"});
}

TEST_F(CompactionTest, ReadOnlyLibraryIsSkippedAndStaysReadOnly) {
  MakeLibraryWithFreePages();
  const Bytes bytes = ReadFileBytes(library_);
  fs::permissions(fs::path(library_), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionSkipped);
  EXPECT_EQ(Status().st_mode & 0777, 0440u);
  EXPECT_EQ(ReadFileBytes(library_), bytes);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, SymlinkedLibraryStaysALinkAndItsTargetIsCompacted) {
  MakeLibraryWithFreePages();
  const auto before = LibraryNames();
  fs::create_directories(folder_ / "elsewhere");
  const fs::path target = folder_ / "elsewhere" / "real.mdb";
  fs::rename(fs::path(library_), target);
  fs::create_symlink(target, fs::path(library_));
  const auto sizeBefore = fs::file_size(target);

  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_TRUE(fs::is_symlink(fs::path(library_)));
  EXPECT_EQ(fs::read_symlink(fs::path(library_)), target);
  EXPECT_LT(fs::file_size(target), sizeBefore / 2);
  EXPECT_EQ(LibraryNames(), before);
}

// Nothing is written to the temporary folder any more, so a missing one does not matter.
TEST_F(CompactionTest, MissingTemporaryFolderDoesNotMatter) {
  MakeLibraryWithFreePages();
  const auto before = LibraryNames();
  setenv("TMPDIR", (folder_ / "no such folder").c_str(), 1);
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_EQ(LibraryNames(), before);
}

// The journal cannot be made beside the library; root writes anyway.
TEST_F(CompactionTest, ReadOnlyLibraryFolderGivesTwoAndKeepsTheLibrary) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  fs::create_directories(folder_ / "lib");
  library_ = PathOf("lib/DATA.mdb");
  MakeLibraryWithFreePages();
  const auto names = LibraryNames();
  const Bytes bytes = ReadFileBytes(library_);
  fs::permissions(folder_ / "lib", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionSkipped);
  fs::permissions(folder_ / "lib", fs::perms::owner_all);
  EXPECT_EQ(ReadFileBytes(library_), bytes);
  EXPECT_EQ(LibraryNames(), names);
  EXPECT_TRUE(fs::is_empty(tmpDir_));
}

// A second unit of this instance, opened on another thread, counts as using the file as long as
// it is open, also while it runs no statement.
TEST_F(CompactionTest, LibraryOpenInAnotherUnitOfThisProcessIsSkipped) {
  MakeLibraryWithFreePages();
  const Bytes bytes = ReadFileBytes(library_);
  DatabaseUnit other;
  std::thread([&] { ASSERT_TRUE(OdbcOpen(other, library_)); }).join();
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionSkipped);
  EXPECT_EQ(ReadFileBytes(library_), bytes);
  EXPECT_EQ(QueryColumn(other, "SELECT * FROM `内含信息`", "名称").size(), 200u);

  OdbcClose(other);
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_LT(ReadFileBytes(library_).size(), bytes.size());
}

// Another process holding the library: an idle connection of another instance, or a
// transaction of any program through the engine. The compaction skips it at once, and runs
// once the other process has ended.
TEST_F(CompactionTest, LibraryHeldByAnotherProcessIsSkippedUntilItEnds) {
  struct Case {
    const char* holder;
    const char* engineStatement;  // nullptr: a connection of the library unit, idle
  };
  const Case cases[] = {
      {"idle connection of another instance", nullptr},
      {"engine write transaction", "BEGIN IMMEDIATE;"},
      {"engine read transaction", "BEGIN; SELECT count(*) FROM sqlite_schema;"},
  };
  for (const Case& c : cases) {
    MakeLibraryWithFreePages();
    const Bytes bytes = ReadFileBytes(library_);
    const Text library = library_;
    OtherProcess other([&](OtherProcess::Channel& channel) {
      DatabaseUnit unit;
      sqlite3* engine = nullptr;
      bool held;
      if (c.engineStatement == nullptr) {
        held = OdbcOpen(unit, library);
      } else {
        held = sqlite3_open_v2(NativePath(library).c_str(), &engine, SQLITE_OPEN_READWRITE,
                               nullptr) == SQLITE_OK &&
               sqlite3_exec(engine, c.engineStatement, nullptr, nullptr, nullptr) == SQLITE_OK;
      }
      channel.Tell(held ? 'h' : 'f');
      channel.Await();
      sqlite3_close(engine);
    });
    ASSERT_EQ(other.Await(), 'h') << c.holder;
    EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionSkipped) << c.holder;
    EXPECT_EQ(ReadFileBytes(library_), bytes) << c.holder;
    other.Finish();
    EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted) << c.holder;
    EXPECT_LT(ReadFileBytes(library_).size(), bytes.size()) << c.holder;
    EXPECT_TRUE(Leftovers().empty()) << c.holder;
  }
}

// The fault of the former copy-and-rename: a second instance's start cut the first one off its
// library, whose later writes went to a file nobody would open again.
TEST_F(CompactionTest, SecondInstanceStartingKeepsTheFirstOnItsLibrary) {
  MakeLibraryWithFreePages();
  const Text library = library_;
  OtherProcess first([&](OtherProcess::Channel& channel) {
    DatabaseUnit unit;
    channel.Tell(OdbcOpen(unit, library) ? 'o' : 'f');
    channel.Await();
    const bool wrote =
        OdbcExecute(unit, "INSERT INTO `内含信息` (`名称`,`标记`) VALUES ('第一个实例写的','3');");
    channel.Tell(wrote ? 'w' : 'f');
    channel.Await();
  });
  ASSERT_EQ(first.Await(), 'o');
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompactionSkipped);
  DatabaseUnit second;
  ASSERT_TRUE(OdbcOpen(second, library_));
  first.Tell('w');
  ASSERT_EQ(first.Await(), 'w');
  const auto names = QueryColumn(second, "SELECT * FROM `内含信息` WHERE `名称`='第一个实例写的'", "名称");
  EXPECT_EQ(names.size(), 1u);
}

// The child's engine dies at its third write to a main database file, as a program killed in
// the middle of a compaction would.
sqlite3_vfs* realVfs = nullptr;
sqlite3_io_methods dyingMethods;
int (*realWrite)(sqlite3_file*, const void*, int, sqlite3_int64) = nullptr;
int mainWrites = 0;
int DyingWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
  if (++mainWrites == 3) _exit(3);
  return realWrite(file, data, amount, offset);
}
int OpenDying(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  const int rc = realVfs->xOpen(realVfs, name, file, flags, outFlags);
  if (rc == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) != 0 && file->pMethods != nullptr) {
    dyingMethods = *file->pMethods;
    realWrite = dyingMethods.xWrite;
    dyingMethods.xWrite = DyingWrite;
    file->pMethods = &dyingMethods;
  }
  return rc;
}

// A compaction killed while it writes the library back: the next open rolls it back from the
// journal, the library holds what it held, and no copy is left anywhere.
TEST_F(CompactionTest, InterruptedCompactionLeavesNoCopyBehind) {
  MakeLibraryWithFreePages();
  const auto before = LibraryNames();
  const Text library = library_;
  const pid_t child = fork();
  if (child == 0) {
    realVfs = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs dying = *realVfs;
    dying.zName = "dying";
    dying.xOpen = OpenDying;
    sqlite3_vfs_register(&dying, 1);
    CompactDatabaseFile(library, "", false);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 3) << "the compaction ended before it wrote the library";

  EXPECT_TRUE(fs::is_empty(tmpDir_));
  EXPECT_EQ(LibraryNames(), before);
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_EQ(LibraryNames(), before);
}

// A connection that holds no mark (another program's, idle) is compacted under: the file stays
// the same file, so that connection reads the compacted data and its writes land in the library.
TEST_F(CompactionTest, UnmarkedIdleConnectionKeepsWorkingOnTheCompactedFile) {
  MakeLibraryWithFreePages();
  sqlite3* engine = nullptr;
  ASSERT_EQ(sqlite3_open_v2(NativePath(library_).c_str(), &engine, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(engine, "SELECT count(*) FROM sqlite_schema;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  const auto sizeBefore = LibrarySize();
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), kCompacted);
  EXPECT_LT(LibrarySize(), sizeBefore / 2);
  const std::string insert = ConvertGbkToUtf8("INSERT INTO `内含信息` (`名称`) VALUES ('之后');");
  EXPECT_EQ(sqlite3_exec(engine, insert.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(engine);
  const auto names = LibraryNames();
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(names->size(), 201u);
  EXPECT_EQ(names->back(), "之后");
}

}  // namespace
