// The entry editor under faults: data folders that are plain files, read-only or full, rows
// that an UPDATE cannot find, a temporary copy "lswj" that cannot be written, and a second
// instance with its own copy. Nothing is stored unless all of it is, and success is said only
// when it is true.
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>

#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "runtime/database.h"
#include "runtime/database_test_hooks.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "snippets/entry_editor.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "tests/database/other_process.h"
#include "tests/snippets_entries/entries_fixture.h"
#include "tests/support/write_fault.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

namespace hl = ui::headless;
namespace aw = AddWindow;
namespace fs = std::filesystem;

// Writes below a folder fail as a read-only folder or a full disk makes them fail.
enum class Fault { kReadOnly, kDiskFull };
class FaultyFolder : public WriteFault {
 public:
  FaultyFolder(const Text& folder, Fault fault)
      : WriteFault(NativePath(folder) + "/",
                   fault == Fault::kReadOnly ? WriteOutcome::kNotOpened : WriteOutcome::kIncomplete) {}
};

class EditorFaultsTest : public EditorTest {
 protected:
  // Fills the editor with a name, a usage text, a PNG picture and a ".cpp" example.
  void FillNewEntry(const Text& name, const Bytes& exampleBytes) {
    hl::TypeText(aw::NameBox, name);
    hl::TypeText(aw::UsageBox, "用法 " + name);
    hl::AnswerFileDialog(WriteTempFile(name + ".png", picture));
    hl::Click(aw::AddPictureButton);
    hl::AnswerFileDialog(WriteTempFile(name + ".cpp", exampleBytes));
    hl::Click(aw::AddExampleButton);
  }
  void AddEntry(const Text& name, const Bytes& exampleBytes) {
    OpenForAdding();
    FillNewEntry(name, exampleBytes);
    Save();
    ASSERT_EQ(LastMessage(), "加入数据成功!!");
  }
  // Every file under the data folder with its bytes.
  std::map<std::string, Bytes> DataFiles() {
    std::map<std::string, Bytes> files;
    std::error_code ec;
    const fs::path root(NativePath(InProgram("\\DATA")));
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (it->is_regular_file()) files[it->path().string()] = ReadFileBytes(PathFromNative(it->path().string()));
    }
    return files;
  }

  const Bytes picture = MakePng(40, 30);
  const Bytes example = BytesOf("int own_example();\n");
};

struct FolderFaultCase {
  const char* what;
  const char* folder;  // of the data folder
  bool plainFile;      // the folder is a plain file (real); else the fault through the seam
  Fault fault;
};

class FolderFaultTest : public EditorFaultsTest, public ::testing::WithParamInterface<FolderFaultCase> {};

// Adding and modifying both fail with their message; the former row and every file stay as they
// were, and the files this save wrote before the fault are gone again.
TEST_P(FolderFaultTest, SaveFailsAndChangesNothing) {
  const FolderFaultCase& c = GetParam();
  AddEntry("旧条目", example);
  const Text folder = InProgram("\\DATA\\" + Text(c.folder));
  if (c.plainFile) {
    ASSERT_TRUE(RemoveDirectoryTree(folder));
    ASSERT_TRUE(WriteFileBytes(folder, BytesOf("not a folder")));
  }
  const auto rows = ReadRows();
  const auto files = DataFiles();
  {
    std::optional<FaultyFolder> faulty;
    if (!c.plainFile) faulty.emplace(folder, c.fault);

    OpenForAdding();
    FillNewEntry("新条目", BytesOf("new example"));
    Save();
    EXPECT_EQ(LastMessage(), "加入数据失败!!");
    EXPECT_EQ(hl::MessagesShown().size(), 1u);
    EXPECT_EQ(ReadRows().size(), rows.size());
    EXPECT_EQ(DataFiles(), files);
    EXPECT_TRUE(ui::IsCreated(aw::Self));

    OpenForModifying(0);
    hl::TypeText(aw::NameBox, "改过的名");
    hl::TypeText(aw::UsageBox, "新用法");  // the former one may have gone with its folder
    Save();
    EXPECT_EQ(LastMessage(), "修改数据失败!!");
    EXPECT_EQ(hl::MessagesShown().size(), 1u);
    ASSERT_EQ(ReadRows().size(), 1u);
    EXPECT_EQ(ReadRows()[0].name, "旧条目");
    EXPECT_EQ(ReadRows()[0].usage, rows[0].usage);
    EXPECT_EQ(DataFiles(), files);
    EXPECT_TRUE(ui::IsCreated(aw::Self));
  }
  if (c.plainFile) return;  // the former example went with the folder

  // Once the fault is gone the same save goes through, with the entry's own example.
  Save();
  ASSERT_EQ(LastMessage(), "修改数据成功!!");
  const auto after = ReadRows();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].name, "改过的名");
  EXPECT_EQ(ReadStored(after[0].example), example);
  EXPECT_EQ(ReadStored(after[0].picture), picture);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderFaultTest,
    ::testing::Values(FolderFaultCase{"ExampleFolderIsAFile", "例程", true, Fault::kReadOnly},
                      FolderFaultCase{"UsageFolderIsAFile", "方法", true, Fault::kReadOnly},
                      FolderFaultCase{"ExampleFolderReadOnly", "例程", false, Fault::kReadOnly},
                      FolderFaultCase{"UsageFolderReadOnly", "方法", false, Fault::kReadOnly},
                      FolderFaultCase{"PictureFolderReadOnly", "图片", false, Fault::kReadOnly},
                      FolderFaultCase{"DiskFullWritingTheExample", "例程", false, Fault::kDiskFull},
                      FolderFaultCase{"DiskFullWritingTheUsageText", "方法", false, Fault::kDiskFull}),
    [](const auto& info) { return std::string(info.param.what); });

struct UnmatchedRowCase {
  const char* what;
  const char8_t* insertUtf8;  // the row as another program wrote it
};

class UnmatchedRowTest : public EditorFaultsTest, public ::testing::WithParamInterface<UnmatchedRowCase> {};

// The UPDATE changes no row: the save fails, the entry keeps its files, and the files just
// written are removed.
TEST_P(UnmatchedRowTest, ModifyFailsAndKeepsTheFiles) {
  const Text id = "QQQQQQQQQQQQQQQ";
  ASSERT_TRUE(WriteFileBytes(InProgram("\\DATA\\方法\\" + id + ".txt"), CompressBytes(BytesOf("用法"))));
  ASSERT_TRUE(WriteFileBytes(InProgram("\\DATA\\图片\\" + id + ".png"), CompressBytes(picture)));
  ASSERT_TRUE(WriteFileBytes(InProgram("\\DATA\\例程\\" + id + ".cpp"), CompressBytes(example)));
  ASSERT_EQ(sqlite3_exec(OdbcEngineHandle(LibraryDatabase),
                         reinterpret_cast<const char*>(GetParam().insertUtf8), nullptr, nullptr, nullptr),
            SQLITE_OK);
  SelectDirectory(directory);
  ASSERT_EQ(ui::ListRowCount(MainWindow::EntryListView), 1);
  const auto rows = ReadRows();
  const auto files = DataFiles();

  OpenForModifying(0);
  EXPECT_EQ(ui::GetPicture(aw::PictureBox), picture);
  hl::TypeText(aw::DescriptionBox, "补上说明");
  Save();

  EXPECT_EQ(LastMessage(), "修改数据失败!!");
  EXPECT_EQ(hl::MessagesShown().size(), 1u);
  ASSERT_EQ(ReadRows().size(), 1u);
  EXPECT_EQ(ReadRows()[0].usage, rows[0].usage);
  EXPECT_EQ(ReadRows()[0].example, rows[0].example);
  EXPECT_EQ(DataFiles(), files);
  EXPECT_TRUE(ui::IsCreated(aw::Self));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnmatchedRowTest,
    ::testing::Values(
        UnmatchedRowCase{"DescriptionIsNull",
                         u8"INSERT INTO `内含信息` (`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES "
                         u8"('/算法','无说明','\\DATA\\方法\\QQQQQQQQQQQQQQQ.txt',NULL,"
                         u8"'\\DATA\\图片\\QQQQQQQQQQQQQQQ.png','\\DATA\\例程\\QQQQQQQQQQQQQQQ.cpp','3150');"},
        UnmatchedRowCase{"NameReadsBackOtherwise",
                         u8"INSERT INTO `内含信息` (`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES "
                         u8"('/算法','笑😀','\\DATA\\方法\\QQQQQQQQQQQQQQQ.txt','d',"
                         u8"'\\DATA\\图片\\QQQQQQQQQQQQQQQ.png','\\DATA\\例程\\QQQQQQQQQQQQQQQ.cpp','3150');"}),
    [](const auto& info) { return std::string(info.param.what); });

struct UnstorableCase {
  const char* what;
  ui::ControlRef box;
  const char* message;
};

class UnstorableFieldTest : public EditorFaultsTest, public ::testing::WithParamInterface<UnstorableCase> {};

// A typed character that GBK cannot hold (an emoji, U+20000) is refused with the field named,
// when adding and when modifying; nothing is stored and nothing becomes "?".
TEST_P(UnstorableFieldTest, SaveIsRefusedNamingTheField) {
  const UnstorableCase& c = GetParam();
  AddEntry("旧条目", example);
  const auto rows = ReadRows();
  const auto files = DataFiles();
  for (const char* utf8 : {"\xE7\xAC\x91\xF0\x9F\x98\x80", "\xF0\xA0\x80\x80"}) {
    OpenForAdding();
    FillNewEntry("新条目", example);
    hl::TypeText(c.box, ConvertTypedUtf8ToGbk(utf8));
    Save();
    ASSERT_EQ(hl::MessagesShown().size(), 1u);
    EXPECT_EQ(LastMessage(), c.message);
    EXPECT_EQ(hl::MessagesShown().back().flags, ui::kMbIconWarning);

    OpenForModifying(0);
    hl::TypeText(c.box, ConvertTypedUtf8ToGbk(utf8));
    Save();
    ASSERT_EQ(hl::MessagesShown().size(), 1u);
    EXPECT_EQ(LastMessage(), c.message);

    EXPECT_EQ(ReadRows().size(), 1u);
    EXPECT_EQ(ReadRows()[0].name, rows[0].name);
    EXPECT_EQ(ReadRows()[0].description, rows[0].description);
    EXPECT_EQ(DataFiles(), files);
    EXPECT_TRUE(ui::IsCreated(aw::Self));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, UnstorableFieldTest,
    ::testing::Values(
        UnstorableCase{"Name", aw::NameBox, "名称中含有无法保存的字符（如表情符号），请修改后再保存!!"},
        UnstorableCase{"Usage", aw::UsageBox, "使用方法中含有无法保存的字符（如表情符号），请修改后再保存!!"},
        UnstorableCase{"Description", aw::DescriptionBox,
                       "说明中含有无法保存的字符（如表情符号），请修改后再保存!!"}),
    [](const auto& info) { return std::string(info.param.what); });

// The copy "lswj" of the old example cannot be written (a folder of that name, or the
// temporary folder full): the modify still stores the entry's own example.
TEST_F(EditorFaultsTest, ModifyKeepsTheOwnExampleWhenTheCopyCannotBeWritten) {
  for (const char* fault : {"CopyIsAFolder", "TemporaryFolderFull"}) {
    SCOPED_TRACE(fault);
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, "DELETE FROM `内含信息`;"));
    RemoveDirectoryTree(InProgram("\\DATA"));
    EnsureDataFolders();
    AddEntry("条目", example);
    const Text copy = ExampleCopyPath();
    ASSERT_FALSE(copy.empty());
    RemoveFile(copy);
    std::optional<FaultyFolder> full;
    if (Text(fault) == "CopyIsAFolder") {
      ASSERT_TRUE(MakeDirectory(copy));
    } else {
      full.emplace(TextLeft(copy, static_cast<int>(copy.size()) - 5), Fault::kDiskFull);
    }

    OpenForModifying(0);
    EXPECT_EQ(ui::GetText(aw::ExamplePathBox), copy);
    hl::TypeText(aw::NameBox, "改名");
    Save();
    full.reset();

    ASSERT_EQ(LastMessage(), "修改数据成功!!");
    const auto rows = ReadRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].example, "\\DATA\\例程\\" + IdOfRow(rows[0]) + ".cpp");
    EXPECT_EQ(ReadStored(rows[0].example), example);
    EXPECT_EQ(CountDataFiles("例程"), 1);
    RemoveDirectoryTree(copy);
  }
}

// Two instances on one temporary folder: each has its own copy, and a modify in one neither
// takes the other's example nor touches the other's copy.
TEST_F(EditorFaultsTest, TwoInstancesNeverSwapExamples) {
  AddEntry("我的", example);
  // The other instance is forked from this one: it must not start out knowing this one's folder.
  RemoveInstanceTempFolder();
  const Bytes theirs = BytesOf("the other instance's example");
  OtherProcess other([&](OtherProcess::Channel& channel) {
    channel.Await();
    channel.Tell(WriteFileBytes(ExampleCopyPath(), theirs) ? 'w' : 'f');
    channel.Await();
    channel.Tell(ReadFileBytes(ExampleCopyPath()) == theirs ? 'k' : 'l');
    channel.Await();
  });

  OpenForModifying(0);
  other.Tell('g');
  ASSERT_EQ(other.Await(), 'w');
  EXPECT_EQ(ReadFileBytes(ExampleCopyPath()), example);
  Save();
  ASSERT_EQ(LastMessage(), "修改数据成功!!");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(ReadStored(rows[0].example), example);

  // This instance's save removed its own copy only.
  other.Tell('c');
  EXPECT_EQ(other.Await(), 'k');
}

}  // namespace
