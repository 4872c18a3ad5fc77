// Start-up: the temporary-folder refusal, creating and opening the library, the tables and the
// tray icon.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/threads.h"

#include "snippets/startup.h"
#include "tree_helpers.h"

namespace {

using namespace tree_test;
namespace headless = ui::headless;

class StartupTest : public ProgramFixture {};

const Text kRefusal = "请解压后运行！否则会导致文件保存失败！";
const Text kMissingDatabase = "数据库文件不存在！！按下确定自动生成！";
const Text kOpenFailed = "打开数据库失败！！可能是数据库不存在！";

struct FolderCase {
  const char* name;
  const char* folder;  // relative to the temporary folder's parent; {tmp} = the temporary folder
  bool refused;
};

// The fixture's temporary folder is <base>/tmp; these folders sit under <base>.
const FolderCase kFolderCases[] = {
    {"the temporary folder itself", "tmp", true},
    {"a folder below it", "tmp/snipdock", true},
    {"beside it with a continuing name", "tmp2", true},
    {"beside it with a continuing name and a sub-folder", "tmpfiles/x", true},
    {"a shorter name", "tm", false},
    {"another letter case", "TMP", false},
    {"elsewhere", "elsewhere", false},
};

TEST_F(StartupTest, ProgramFolderAgainstTemporaryFolder) {
  const std::filesystem::path base = std::filesystem::path(NativePath(tempFolder)).parent_path();
  for (const FolderCase& c : kFolderCases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path folder = base / c.folder;
    std::filesystem::create_directories(folder);
    SetRunDirectory(PathFromNative(folder.string()));
    headless::ClearRecords();

    StartProgram();

    const Text database = PathFromNative(folder.string()) + "\\DATA.mdb";
    if (c.refused) {
      ASSERT_EQ(headless::MessagesShown().size(), 1u);
      EXPECT_EQ(headless::MessagesShown()[0].text, kRefusal);
      EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbIconInformation);
      EXPECT_EQ(headless::MessagesShown()[0].title, "信息：");
      EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
      EXPECT_FALSE(FileExists(database));
    } else {
      EXPECT_FALSE(headless::EndedWithCode().has_value());
      EXPECT_TRUE(FileExists(database));
      ASSERT_NE(MainWindowModel(), nullptr);
      EXPECT_FALSE(MainWindowModel()->trayIcon.empty());
    }
    // Back to a fresh session for the next case.
    OdbcClose(LibraryDatabase);
    headless::Uninstall();
    headless::Install();
  }
}

TEST_F(StartupTest, MissingLibraryIsCreatedWithBothTables) {
  ASSERT_TRUE(StartProgram());

  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].text, kMissingDatabase);
  EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbIconWarning);
  EXPECT_TRUE(FileExists(InProgram("\\DATA.mdb")));
  // The tables are made by the exact texts (the engine keeps them without the semicolon).
  const Rows tables = QueryRows(LibraryDatabase,
                                "SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY name",
                                {"name", "sql"});
  Text directorySql(kDirectoryTableText), entrySql(kEntryTableText);
  directorySql.pop_back();
  entrySql.pop_back();
  EXPECT_EQ(tables, (Rows{{"内含信息", entrySql}, {"目录", directorySql}}));
  EXPECT_TRUE(DirectoryRows().empty());
}

TEST_F(StartupTest, StartedProgramShowsTrayIconAndLoadsTree) {
  PrepareLibrary(InProgram("\\DATA.mdb"),
                 {kDirectoryTableText, kEntryTableText, DirectoryInsert("A", "-1", "150")});
  ASSERT_TRUE(StartSnippetProgram());
  // The tree load runs on a worker, which now waits for the GUI thread to take its rows (the
  // update check and the start report run on workers beside it).
  EXPECT_GE(ActiveThreadCount(), 1);
  EXPECT_EQ(ui::TreeItemCount(MainWindow::DirectoryTree), 0);
  headless::WaitIdle();

  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(NativePath(programFolder)));
  EXPECT_TRUE(headless::MessagesShown().empty());
  ui::WindowModel* window = MainWindowModel();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->title, "Lorvane-Snipdock");
  EXPECT_EQ(window->trayIcon, TrayIconImage());
  EXPECT_EQ(window->trayTip, "SnipdockV0.51");
  EXPECT_EQ(TreeItems(), (std::vector<Item>{{"A", -1, 150}}));
  EXPECT_EQ(TransferDone.load(), 1);
}

struct TablesCase {
  const char* name;
  bool directoryTable;
  bool entryTable;
};

TEST_F(StartupTest, ExistingTablesAreKept) {
  // Tables of another shape show whether a CREATE TABLE ran over them.
  const Text ownDirectory = "CREATE TABLE `目录` (`目录名` TEXT,`索引` TEXT,`标记` TEXT)";
  const Text ownEntry =
      "CREATE TABLE `内含信息` (`路径` TEXT,`名称` TEXT,`使用方法` TEXT,`说明` TEXT,`图片` TEXT,"
      "`例程` TEXT,`标记` TEXT)";
  Text directorySql(kDirectoryTableText), entrySql(kEntryTableText);
  directorySql.pop_back();
  entrySql.pop_back();
  const TablesCase cases[] = {{"both", true, true}, {"only 目录", true, false},
                              {"only 内含信息", false, true}};
  for (const TablesCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Text> statements;
    if (c.directoryTable) {
      statements.push_back(ownDirectory);
      statements.push_back(DirectoryInsert("kept", "-1", "100"));
    }
    if (c.entryTable) {
      statements.push_back(ownEntry);
      statements.push_back(EntryInsert("/kept", "entry", "100"));
    }
    PrepareLibrary(InProgram("\\DATA.mdb"), statements);

    ASSERT_TRUE(StartProgram());

    EXPECT_TRUE(headless::MessagesShown().empty());
    const Rows tables = QueryRows(
        LibraryDatabase, "SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY name",
        {"name", "sql"});
    EXPECT_EQ(tables, (Rows{{"内含信息", c.entryTable ? ownEntry : entrySql},
                            {"目录", c.directoryTable ? ownDirectory : directorySql}}));
    if (c.directoryTable) {
      EXPECT_EQ(DirectoryRows(), (Rows{{"kept", "-1", "100"}}));
    }
    if (c.entryTable) {
      EXPECT_EQ(QueryRows(LibraryDatabase, "SELECT * FROM `内含信息`", {"路径"}), (Rows{{"/kept"}}));
    }
    OdbcClose(LibraryDatabase);
    headless::Uninstall();
    headless::Install();
  }
}

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const Text& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(NativePath(folder))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(StartupTest, LibraryThatIsNoDatabaseIsLeftAlone) {
  const Text database = InProgram("\\DATA.mdb");
  const Text junk = "this is not a database, just some bytes";
  ASSERT_TRUE(WriteFileBytes(database, ToByteSet(junk)));

  ASSERT_TRUE(StartSnippetProgram());
  // A started worker would still wait for the GUI thread here, which has not pumped yet.
  EXPECT_EQ(ActiveThreadCount(), 0);
  headless::WaitIdle();

  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].text, kOpenFailed);
  EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbOk);
  EXPECT_EQ(ReadFileBytes(database), ToByteSet(junk));
  EXPECT_EQ(FolderNames(programFolder), (std::vector<std::string>{"DATA.mdb"}));
  EXPECT_TRUE(FolderNames(tempFolder).empty());
  EXPECT_FALSE(headless::EndedWithCode().has_value());
  ui::WindowModel* window = MainWindowModel();
  ASSERT_NE(window, nullptr);  // the window stays
  EXPECT_TRUE(window->trayIcon.empty());
  EXPECT_EQ(ui::TreeItemCount(MainWindow::DirectoryTree), 0);
  EXPECT_FALSE(OdbcIsOpen(LibraryDatabase));
}

// A library whose schema page is damaged would read as empty, and the tables made then and the
// close's save would write over what is left: the start-up says it cannot open it, compacts
// nothing, and the file stays byte for byte, also after the close.
TEST_F(StartupTest, LibraryWithADamagedSchemaIsNotOpened) {
  const Text database = InProgram("\\DATA.mdb");
  std::vector<Text> statements{kDirectoryTableText, kEntryTableText};
  for (int i = 0; i < 20; ++i) statements.push_back(DirectoryInsert(ToText(i) + Text(900, 'x'), "-1", "50"));
  statements.push_back("DELETE FROM `目录` WHERE `目录名` > '1';");  // free pages too
  PrepareLibrary(database, statements);
  Bytes damaged = ReadFileBytes(database);
  // Page 1: the file header (100 bytes), then the schema's b-tree page header, whose cell count
  // at 103 now says the schema holds no table.
  damaged[103] = 0;
  damaged[104] = 0;
  ASSERT_TRUE(WriteFileBytes(database, damaged));

  ASSERT_TRUE(StartProgram());
  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].text, kOpenFailed);
  EXPECT_FALSE(OdbcIsOpen(LibraryDatabase));
  EXPECT_EQ(ui::TreeItemCount(MainWindow::DirectoryTree), 0);
  headless::AskToClose(MainWindow::Self);
  EXPECT_EQ(ReadFileBytes(database), damaged);
  EXPECT_EQ(FolderNames(programFolder), (std::vector<std::string>{"DATA.mdb"}));
}

TEST_F(StartupTest, RunStartupRoutineGivesZero) { EXPECT_EQ(RunStartupRoutine(), 0); }

}  // namespace
