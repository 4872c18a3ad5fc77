// CompactDatabaseFile: the compacted copy replaces the library; on every failure the library
// stays as it was and no temporary file is left.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "database_fixture.h"
#include "runtime/database_test_hooks.h"

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
    InjectCompactionFault(CompactionFault::kNone);
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

  std::optional<std::string> oldTmpDir_;
  fs::path tmpDir_;
  Text library_;
};

TEST_F(CompactionTest, ReplacesTheLibraryByASmallerCopyWithTheSameData) {
  MakeLibrary(2000);
  DeleteRowsExceptTag("3");
  const auto before = LibraryNames();
  ASSERT_TRUE(before.has_value());
  ASSERT_EQ(before->size(), 200u);
  const auto sizeBefore = LibrarySize();

  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 0);
  EXPECT_LT(LibrarySize(), sizeBefore / 2);
  EXPECT_EQ(LibraryNames(), before);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, PasswordArgumentsAreAcceptedAndIgnored) {
  MakeLibrary(10);
  const auto before = LibraryNames();
  EXPECT_EQ(CompactDatabaseFile(library_, "secret", true), 0);
  EXPECT_EQ(CompactDatabaseFile(library_, "secret", false), 0);
  EXPECT_EQ(LibraryNames(), before);
}

TEST_F(CompactionTest, EmptyLibraryCompactsToAnOpenableDatabase) {
  NewDatabaseFile("DATA.mdb");
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 0);
  DatabaseUnit db;
  EXPECT_TRUE(OdbcOpen(db, library_));
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, CopyBesideLeftByAnEarlierRunIsOverwritten) {
  MakeLibrary(10);
  ASSERT_TRUE(WriteFileBytes(library_ + ".compact", Bytes{1, 2, 3}));
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 0);
  EXPECT_EQ(LibraryNames()->size(), 10u);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, SourceThatIsNoDatabaseGivesTwoAndStaysByteForByte) {
  const Bytes garbage(5000, 0x5a);
  ASSERT_TRUE(WriteFileBytes(library_, garbage));
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 2);
  EXPECT_EQ(ReadFileBytes(library_), garbage);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CompactionTest, MissingSourceGivesTwoAndCreatesNothing) {
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 2);
  EXPECT_FALSE(FileExists(library_));
  EXPECT_EQ(CompactDatabaseFile("", "", false), 2);
  EXPECT_TRUE(Leftovers().empty());
}

// Each step that can fail, with the code it gives; the library stays as it was.
TEST_F(CompactionTest, FaultAtEachStepLeavesTheLibraryReadable) {
  struct Case {
    CompactionFault fault;
    int code;
  };
  const Case cases[] = {
      {CompactionFault::kNoTemporaryName, 1},
      {CompactionFault::kVacuumFails, 2},
      {CompactionFault::kCopyBesideFails, 3},
      {CompactionFault::kRenameOverFails, 3},
  };
  MakeLibrary(300);
  DeleteRowsExceptTag("1");
  const auto names = LibraryNames();
  const Bytes bytes = ReadFileBytes(library_);
  for (const Case& c : cases) {
    InjectCompactionFault(c.fault);
    EXPECT_EQ(CompactDatabaseFile(library_, "", false), c.code) << static_cast<int>(c.fault);
    InjectCompactionFault(CompactionFault::kNone);
    EXPECT_EQ(ReadFileBytes(library_), bytes) << static_cast<int>(c.fault);
    EXPECT_EQ(LibraryNames(), names) << static_cast<int>(c.fault);
    EXPECT_TRUE(Leftovers().empty()) << static_cast<int>(c.fault);
  }
}

TEST_F(CompactionTest, VacuumIntoAMissingTemporaryFolderGivesTwo) {
  MakeLibrary(10);
  const Bytes bytes = ReadFileBytes(library_);
  setenv("TMPDIR", (folder_ / "no such folder").c_str(), 1);
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 2);
  EXPECT_EQ(ReadFileBytes(library_), bytes);
}

// The same fault as kCopyBesideFails, made by the file system; root writes anyway.
TEST_F(CompactionTest, ReadOnlyLibraryFolderGivesThreeAndKeepsTheLibrary) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  fs::create_directories(folder_ / "lib");
  library_ = PathOf("lib/DATA.mdb");
  NewDatabaseFile("lib/DATA.mdb");
  {
    DatabaseUnit db;
    ASSERT_TRUE(OdbcOpen(db, library_));
    ASSERT_TRUE(OdbcExecute(db, "CREATE TABLE `内含信息` (`名称` VARCHAR(255));"));
    ASSERT_TRUE(OdbcExecute(db, "INSERT INTO `内含信息` (`名称`) VALUES ('留下');"));
  }
  const Bytes bytes = ReadFileBytes(library_);
  fs::permissions(folder_ / "lib", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(CompactDatabaseFile(library_, "", false), 3);
  fs::permissions(folder_ / "lib", fs::perms::owner_all);
  EXPECT_EQ(ReadFileBytes(library_), bytes);
  EXPECT_EQ(LibraryNames(), (std::vector<Text>{"留下"}));
  EXPECT_FALSE(FileExists(library_ + ".compact"));
  EXPECT_TRUE(fs::is_empty(tmpDir_));
}

}  // namespace
