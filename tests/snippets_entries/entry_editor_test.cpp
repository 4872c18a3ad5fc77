// The entry editor: adding and modifying entries with their stored files, and its checks.
#include <zlib.h>

#include <cctype>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "snippets/entry_editor.h"
#include "snippets/entry_list.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "tests/snippets_entries/entries_fixture.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

namespace hl = ui::headless;
namespace aw = AddWindow;

const Text kImagesPrefix = "\\DATA\\图片\\";
const Text kExamplesPrefix = "\\DATA\\例程\\";

class EntryEditorTest : public EditorTest {
 protected:
  void ChoosePicture(const Text& path) {
    hl::AnswerFileDialog(path);
    hl::Click(aw::AddPictureButton);
  }
  void ChooseExample(const Text& path) {
    hl::AnswerFileDialog(path);
    hl::Click(aw::AddExampleButton);
  }
  int LastFlags() { return hl::MessagesShown().empty() ? -1 : hl::MessagesShown().back().flags; }

  // Adds an entry through the editor: a PNG picture and a ".cpp" example.
  void AddFullEntry() {
    OpenForAdding();
    hl::TypeText(aw::NameBox, "二分查找");
    hl::TypeText(aw::UsageBox, "int lo = 0;\r\nint hi = n;");
    hl::TypeText(aw::DescriptionBox, "有序数组");
    ChoosePicture(WriteTempFile("查找.png", picture));
    ChooseExample(WriteTempFile("src.d/search.cpp", example));
    Save();
  }

  const Bytes picture = MakePng(320, 240);
  const Bytes example = BytesOf("int search(int* a, int n) { return -1; }\n");
};

TEST_F(EntryEditorTest, AddWithoutPictureAndExampleStoresOnlyTheUsageText) {
  OpenForAdding();
  EXPECT_EQ(ui::GetTitle(aw::Self), "Lorvane-添加窗口-/算法");
  hl::TypeText(aw::NameBox, "冒泡排序");
  hl::TypeText(aw::UsageBox, "for (;;) swap();");
  Save();

  ASSERT_EQ(LastMessage(), "加入数据成功!!");
  EXPECT_EQ(LastFlags(), 0);
  EXPECT_EQ(hl::MessagesShown().back().title, "信息：");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  ASSERT_EQ(id.size(), 15u);
  for (char letter : id) EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(letter))) << id;
  EXPECT_EQ(rows[0].path, "/算法");
  EXPECT_EQ(rows[0].name, "冒泡排序");
  EXPECT_EQ(rows[0].description, "");
  EXPECT_EQ(rows[0].picture, kImagesPrefix + id + ".");
  EXPECT_EQ(rows[0].example, kExamplesPrefix + id + ".");
  EXPECT_EQ(rows[0].tag, "3150");
  EXPECT_EQ(ToText(ReadStored(rows[0].usage)), "for (;;) swap();");
  EXPECT_EQ(CountDataFiles("方法"), 1);
  EXPECT_EQ(CountDataFiles("图片"), 0);
  EXPECT_EQ(CountDataFiles("例程"), 0);

  // Listed again and closed.
  EXPECT_FALSE(ui::IsCreated(aw::Self));
  ASSERT_EQ(ui::ListRowCount(MainWindow::EntryListView), 1);
  EXPECT_EQ(ui::ListCell(MainWindow::EntryListView, 0, 0), "冒泡排序");
}

TEST_F(EntryEditorTest, AddWithPictureAndExampleStoresBothFiles) {
  AddFullEntry();

  ASSERT_EQ(LastMessage(), "加入数据成功!!");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  EXPECT_EQ(rows[0].picture, kImagesPrefix + id + ".png");
  EXPECT_EQ(rows[0].example, kExamplesPrefix + id + ".cpp");
  EXPECT_EQ(rows[0].description, "有序数组");
  EXPECT_EQ(ReadStored(rows[0].picture), picture);
  EXPECT_EQ(ReadStored(rows[0].example), example);
  EXPECT_EQ(ToText(ReadStored(rows[0].usage)), "int lo = 0;\r\nint hi = n;");

  // What was stored previews at its size.
  hl::FocusListRow(MainWindow::EntryListView, 0);
  EXPECT_EQ(ui::GetWidth(MainWindow::PreviewPicture), 320);
  EXPECT_EQ(ui::GetText(MainWindow::UsageTextBox), "int lo = 0;\r\nint hi = n;");
}

struct ExtensionCase {
  const char* what;
  const char* chosen;     // relative to the temporary folder
  const char* extension;  // of the stored file
};

class ChosenExtensionTest : public EntryEditorTest, public ::testing::WithParamInterface<ExtensionCase> {};

TEST_P(ChosenExtensionTest, ExtensionComesFromTheFileNameOnly) {
  const ExtensionCase& c = GetParam();
  OpenForAdding();
  hl::TypeText(aw::NameBox, "n");
  hl::TypeText(aw::UsageBox, "u");
  ChoosePicture(WriteTempFile(c.chosen, picture));
  ChooseExample(WriteTempFile(c.chosen, example));
  Save();

  ASSERT_EQ(LastMessage(), "加入数据成功!!");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  EXPECT_EQ(rows[0].picture, kImagesPrefix + id + "." + c.extension);
  EXPECT_EQ(rows[0].example, kExamplesPrefix + id + "." + c.extension);
  // The row names the files that were written.
  EXPECT_EQ(ReadStored(rows[0].picture), picture);
  EXPECT_EQ(ReadStored(rows[0].example), example);
}

INSTANTIATE_TEST_SUITE_P(Names, ChosenExtensionTest,
                         ::testing::Values(ExtensionCase{"Plain", "a.gif", "gif"},
                                           ExtensionCase{"TwoDots", "a.tar.gz", "gz"},
                                           ExtensionCase{"NoDot", "readme", ""},
                                           ExtensionCase{"DotInFolderOnly", "v1.2/readme", ""},
                                           ExtensionCase{"TrailingDot", "name.", ""}),
                         [](const auto& info) { return std::string(info.param.what); });

struct RefusedCase {
  const char* what;
  const char* name;
  const char* usage;
  const char* message;
};

class RefusedSaveTest : public EntryEditorTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedSaveTest, WarnsAndWritesNothingButTheDataFolders) {
  const RefusedCase& c = GetParam();
  RemoveDirectoryTree(InProgram("\\DATA"));
  OpenForAdding();
  hl::TypeText(aw::NameBox, c.name);
  hl::TypeText(aw::UsageBox, c.usage);
  ChoosePicture(WriteTempFile("p.png", picture));
  Save();

  ASSERT_EQ(hl::MessagesShown().size(), 1u);
  EXPECT_EQ(LastMessage(), c.message);
  EXPECT_EQ(LastFlags(), 0x30);
  EXPECT_TRUE(ReadRows().empty());
  for (const char* folder : {"方法", "图片", "例程"}) {
    EXPECT_TRUE(FileExists(InProgram("\\DATA\\" + Text(folder)))) << folder;
    EXPECT_EQ(CountDataFiles(folder), 0) << folder;
  }
  EXPECT_TRUE(ui::IsCreated(aw::Self));
}

INSTANTIATE_TEST_SUITE_P(Checks, RefusedSaveTest,
                         ::testing::Values(RefusedCase{"EmptyName", "", "用法", "请输入代码名称!!"},
                                           RefusedCase{"BothEmpty", "", "", "请输入代码名称!!"},
                                           RefusedCase{"EmptyUsage", "名称", "", "请输入使用方法!!"},
                                           RefusedCase{"BlankNameEmptyUsage", "  ", "", "请输入使用方法!!"}),
                         [](const auto& info) { return std::string(info.param.what); });

// The usage text is stored as its GBK bytes behind the head (magic 0x033E0F0D and the length,
// little-endian), deflated by zlib at the default level.
TEST_F(EntryEditorTest, UsageTextIsStoredByteForByte) {
  const Text usages[] = {"u", "int lo = 0;\r\n用法：二分", Text(5000, 'a') + "尾"};
  for (const Text& usage : usages) {
    ASSERT_TRUE(OdbcExecute(LibraryDatabase, "DELETE FROM `内含信息`;"));
    OpenForAdding();
    hl::TypeText(aw::NameBox, "n");
    hl::TypeText(aw::UsageBox, usage);
    Save();
    ASSERT_EQ(LastMessage(), "加入数据成功!!");
    const auto rows = ReadRows();
    ASSERT_EQ(rows.size(), 1u);

    const std::uint32_t length = static_cast<std::uint32_t>(usage.size());
    Bytes expected = {0x0D, 0x0F, 0x3E, 0x03};
    for (int shift = 0; shift < 32; shift += 8) expected.push_back(static_cast<std::uint8_t>(length >> shift));
    uLongf packedSize = compressBound(length);
    Bytes packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(usage.data()), length,
                        Z_DEFAULT_COMPRESSION),
              Z_OK);
    expected.insert(expected.end(), packed.begin(), packed.begin() + packedSize);
    EXPECT_EQ(ReadFileBytes(InProgram(rows[0].usage)), expected) << usage;
  }
}

TEST_F(EntryEditorTest, ApostrophesInNameAndDescriptionSave) {
  OpenForAdding();
  hl::TypeText(aw::NameBox, "it's");
  hl::TypeText(aw::UsageBox, "u");
  hl::TypeText(aw::DescriptionBox, "a 'quoted'); DROP TABLE x; --");
  Save();
  ASSERT_EQ(LastMessage(), "加入数据成功!!");
  auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "it's");
  EXPECT_EQ(rows[0].description, "a 'quoted'); DROP TABLE x; --");

  // The modification finds the row by the same values.
  OpenForModifying(0);
  hl::TypeText(aw::NameBox, "it''s new");
  Save();
  ASSERT_EQ(LastMessage(), "修改数据成功!!");
  rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "it''s new");
  EXPECT_EQ(ui::ListCell(MainWindow::EntryListView, 0, 0), "it''s new");
}

TEST_F(EntryEditorTest, AddWithoutSelectedDirectoryStoresTagZero) {
  ui::SetTreeCurrentItem(MainWindow::DirectoryTree, -1);
  OpenForAdding();
  EXPECT_EQ(ui::GetTitle(aw::Self), "Lorvane-添加窗口-");
  hl::TypeText(aw::NameBox, "n");
  hl::TypeText(aw::UsageBox, "u");
  Save();
  ASSERT_EQ(LastMessage(), "加入数据成功!!");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].path, "");
  EXPECT_EQ(rows[0].tag, "0");
}

TEST_F(EntryEditorTest, ClearedPictureIsNotStored) {
  OpenForAdding();
  hl::TypeText(aw::NameBox, "n");
  hl::TypeText(aw::UsageBox, "u");
  ChoosePicture(WriteTempFile("p.png", picture));
  EXPECT_EQ(ui::GetPicture(aw::PictureBox), picture);
  hl::Click(aw::ClearPictureButton);
  EXPECT_TRUE(ui::GetPicture(aw::PictureBox).empty());
  EXPECT_EQ(ui::GetDialogFileName(aw::PictureDialog), "");
  Save();
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].picture, kImagesPrefix + IdOfRow(rows[0]) + ".");
  EXPECT_EQ(CountDataFiles("图片"), 0);
}

TEST_F(EntryEditorTest, CancelledDialogsChangeNothing) {
  OpenForAdding();
  hl::ClearRecords();
  ChoosePicture(WriteTempFile("p.png", picture));
  ChooseExample(WriteTempFile("e.cpp", example));
  const Text examplePath = ui::GetText(aw::ExamplePathBox);
  hl::AnswerFileDialog(std::nullopt);
  hl::Click(aw::AddPictureButton);
  hl::AnswerFileDialog(std::nullopt);
  hl::Click(aw::AddExampleButton);
  EXPECT_EQ(ui::GetPicture(aw::PictureBox), picture);
  EXPECT_EQ(ui::GetText(aw::ExamplePathBox), examplePath);
  EXPECT_EQ(ui::GetDialogFileName(aw::ExampleDialog), examplePath);
  // Each button shows its own dialog.
  const std::vector<std::string> shown = {aw::PictureDialog.name, aw::ExampleDialog.name,
                                          aw::PictureDialog.name, aw::ExampleDialog.name};
  EXPECT_EQ(hl::FileDialogsShown(), shown);
}

TEST_F(EntryEditorTest, PictureThatIsNoPictureIsStoredAsChosen) {
  const Bytes notPicture = BytesOf("GIF? no, plain text");
  OpenForAdding();
  hl::TypeText(aw::NameBox, "n");
  hl::TypeText(aw::UsageBox, "u");
  ChoosePicture(WriteTempFile("fake.jpg", notPicture));
  Save();
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(ReadStored(rows[0].picture), notPicture);
  hl::FocusListRow(MainWindow::EntryListView, 0);
  EXPECT_EQ(ui::GetWidth(MainWindow::PreviewPicture), 0);
  EXPECT_EQ(ui::GetScrollMaximum(MainWindow::PreviewHScrollBar), 0);
}

// A chosen example that vanished is no empty example: the save fails and writes nothing.
TEST_F(EntryEditorTest, MissingExampleFailsTheSave) {
  OpenForAdding();
  hl::TypeText(aw::NameBox, "n");
  hl::TypeText(aw::UsageBox, "u");
  const Text gone = WriteTempFile("gone.py", example);
  ChooseExample(gone);
  RemoveFile(gone);
  hl::ClearRecords();
  Save();
  EXPECT_TRUE(ReadRows().empty());
  ASSERT_FALSE(hl::MessagesShown().empty());
  EXPECT_EQ(hl::MessagesShown().back().text, "加入数据失败!!");
  for (const char* folder : {"方法", "图片", "例程"}) EXPECT_EQ(CountDataFiles(folder), 0) << folder;
  EXPECT_TRUE(ui::IsCreated(AddWindow::Self));
}

TEST_F(EntryEditorTest, ModifyWithoutChangeRewritesUnderANewId) {
  AddFullEntry();
  const StoredRow before = ReadRows().at(0);

  OpenForModifying(0);
  EXPECT_EQ(ui::GetText(aw::NameBox), "二分查找");
  EXPECT_EQ(ui::GetText(aw::DescriptionBox), "有序数组");
  EXPECT_EQ(ui::GetText(aw::UsageBox), "int lo = 0;\r\nint hi = n;");
  EXPECT_EQ(ui::GetPicture(aw::PictureBox), picture);
  EXPECT_EQ(ui::GetDialogTag(aw::PictureDialog), "png");
  const Text copy = ExampleCopyPath();
  EXPECT_EQ(copy, InstanceTempFolder() + "lswj");
  EXPECT_EQ(copy.compare(0, tempFolder.size(), tempFolder), 0);
  EXPECT_EQ(ui::GetText(aw::ExamplePathBox), copy);
  EXPECT_EQ(ui::GetDialogFileName(aw::ExampleDialog), copy);
  EXPECT_EQ(ReadFileBytes(copy), example);
  EXPECT_EQ(EditOld.name, before.name);
  EXPECT_EQ(EditOld.examplePath, before.example);

  Save();

  ASSERT_EQ(LastMessage(), "修改数据成功!!");
  EXPECT_EQ(LastFlags(), 0);
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  EXPECT_NE(id, IdOfRow(before));
  EXPECT_EQ(rows[0].path, before.path);
  EXPECT_EQ(rows[0].tag, before.tag);
  EXPECT_EQ(rows[0].picture, kImagesPrefix + id + ".png");
  EXPECT_EQ(rows[0].example, kExamplesPrefix + id + ".cpp");
  EXPECT_EQ(ReadStored(rows[0].picture), picture);
  EXPECT_EQ(ReadStored(rows[0].example), example);
  EXPECT_EQ(ToText(ReadStored(rows[0].usage)), "int lo = 0;\r\nint hi = n;");
  for (const Text& old : {before.usage, before.picture, before.example}) EXPECT_FALSE(StoredExists(old)) << old;
  EXPECT_FALSE(FileExists(copy));
  EXPECT_FALSE(ui::IsCreated(aw::Self));
  ASSERT_EQ(EntryList.size(), 1u);
  EXPECT_EQ(EntryList[0].usagePath, rows[0].usage);
}

TEST_F(EntryEditorTest, ModifyClearingTheExampleRemovesIt) {
  AddFullEntry();
  const StoredRow before = ReadRows().at(0);
  OpenForModifying(0);
  const Text copy = ExampleCopyPath();
  EXPECT_EQ(copy, InstanceTempFolder() + "lswj");
  EXPECT_EQ(copy.compare(0, tempFolder.size(), tempFolder), 0);
  hl::Click(aw::ClearExampleButton);
  EXPECT_EQ(ui::GetDialogFileName(aw::ExampleDialog), "");
  EXPECT_EQ(ui::GetText(aw::ExamplePathBox), copy);  // the box keeps showing it
  Save();

  ASSERT_EQ(LastMessage(), "修改数据成功!!");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  EXPECT_EQ(rows[0].example, kExamplesPrefix + id + ".");
  EXPECT_EQ(CountDataFiles("例程"), 0);
  EXPECT_FALSE(StoredExists(before.example));
  EXPECT_EQ(CountDataFiles("图片"), 1);
}

TEST_F(EntryEditorTest, ModifyWithAnotherExampleTakesItsExtension) {
  AddFullEntry();
  OpenForModifying(0);
  ChooseExample(WriteTempFile("other.py", BytesOf("print(1)")));
  hl::Click(aw::ClearPictureButton);
  Save();
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  EXPECT_EQ(rows[0].example, kExamplesPrefix + id + ".py");
  EXPECT_EQ(ReadStored(rows[0].example), BytesOf("print(1)"));
  // No picture now, but the path keeps the old picture's extension.
  EXPECT_EQ(rows[0].picture, kImagesPrefix + id + ".png");
  EXPECT_EQ(CountDataFiles("图片"), 0);
}

TEST_F(EntryEditorTest, ModifyEntryWithoutPictureOrUsageFile) {
  // As the editor stores an entry added without picture: the picture path ends in ".".
  InsertEntry({.name = "旧", .description = "d", .usage = "u", .pictureExtension = ""}, 3150, "QQQQQQQQQQQQQQQ");
  RemoveFile(InProgram("\\DATA\\方法\\QQQQQQQQQQQQQQQ.txt"));
  SelectDirectory(directory);
  OpenForModifying(0);
  EXPECT_TRUE(ui::GetPicture(aw::PictureBox).empty());
  EXPECT_EQ(ui::GetText(aw::UsageBox), "");
  EXPECT_EQ(ui::GetDialogTag(aw::PictureDialog), "");
  EXPECT_EQ(ui::GetText(aw::ExamplePathBox), "");

  Save();
  EXPECT_EQ(LastMessage(), "请输入使用方法!!");
  hl::TypeText(aw::UsageBox, "新用法");
  Save();
  ASSERT_EQ(LastMessage(), "修改数据成功!!");
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].picture, kImagesPrefix + IdOfRow(rows[0]) + ".");
  EXPECT_EQ(rows[0].example, kExamplesPrefix + IdOfRow(rows[0]) + ".");
  EXPECT_EQ(ToText(ReadStored(rows[0].usage)), "新用法");
}

TEST_F(EntryEditorTest, ModifyWithoutSelectedRowDoesNothing) {
  AddFullEntry();
  hl::FocusListRow(MainWindow::EntryListView, -1);
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ModifyEntryMenuItem.name);
  EXPECT_FALSE(ui::IsCreated(aw::Self));
}

TEST_F(EntryEditorTest, FailedStatementKeepsEditorAndOldFiles) {
  AddFullEntry();
  const StoredRow before = ReadRows().at(0);
  OpenForModifying(0);
  OdbcExecute(LibraryDatabase, "DROP TABLE `内含信息`;");
  Save();
  EXPECT_EQ(LastMessage(), "修改数据失败!!");
  EXPECT_EQ(LastFlags(), 0);
  EXPECT_TRUE(ui::IsCreated(aw::Self));
  for (const Text& old : {before.usage, before.picture, before.example}) EXPECT_TRUE(StoredExists(old)) << old;

  hl::ChooseMenuItem(MainWindow::Self, MainWindow::AddEntryMenuItem.name);
  Save();
  EXPECT_EQ(LastMessage(), "加入数据失败!!");
  EXPECT_TRUE(ui::IsCreated(aw::Self));
}

TEST_F(EntryEditorTest, ReopeningReusesTheEditor) {
  InsertEntry({.name = "旧名", .description = "旧说明", .usage = "旧用法"}, 3150, "QQQQQQQQQQQQQQQ");
  SelectDirectory(directory);
  OpenForAdding();
  hl::TypeText(aw::NameBox, "留着");
  hl::TypeText(aw::UsageBox, "也留着");
  hl::TypeText(aw::ExamplePathBox, "示例");
  hl::ClearRecords();

  OpenForAdding();
  EXPECT_EQ(ui::GetTitle(aw::Self), "Lorvane-添加窗口-/算法-/算法");
  EXPECT_EQ(ui::GetText(aw::NameBox), "留着");
  EXPECT_EQ(ui::GetText(aw::UsageBox), "也留着");
  ASSERT_EQ(hl::WindowsBroughtToFront().size(), 1u);
  EXPECT_EQ(hl::WindowsBroughtToFront()[0], aw::Self.name);

  // Opening for modification fills what it sets and leaves the rest (no example here).
  OpenForModifying(0);
  EXPECT_EQ(ui::GetTitle(aw::Self), "Lorvane-添加窗口-/算法-/算法-/算法");
  EXPECT_EQ(EditMode, 1);
  EXPECT_EQ(ui::GetText(aw::NameBox), "旧名");
  EXPECT_EQ(ui::GetText(aw::UsageBox), "旧用法");
  EXPECT_EQ(ui::GetText(aw::DescriptionBox), "旧说明");
  EXPECT_EQ(ui::GetText(aw::ExamplePathBox), "示例");
}

struct LimitCase {
  const char* what;
  Text typed;
  Text kept;
};

TEST_F(EntryEditorTest, DescriptionTakesAtMost200Bytes) {
  const Text wide = "说";  // two bytes
  auto repeat = [](const Text& text, int times) {
    Text out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  const LimitCase cases[] = {
      {"Single", Text(250, 'd'), Text(200, 'd')},
      {"Exact", Text(200, 'd'), Text(200, 'd')},
      {"Double", repeat(wide, 150), repeat(wide, 100)},
      {"NoHalfCharacter", "a" + repeat(wide, 100), "a" + repeat(wide, 99)},
  };
  OpenForAdding();
  for (const LimitCase& c : cases) {
    hl::TypeText(aw::DescriptionBox, c.typed);
    EXPECT_EQ(ui::GetText(aw::DescriptionBox), c.kept) << c.what;
  }
  hl::TypeText(aw::NameBox, Text(300, 'n'));  // the name has no limit
  EXPECT_EQ(ui::GetText(aw::NameBox).size(), 300u);
  hl::TypeText(aw::UsageBox, "u");
  hl::TypeText(aw::DescriptionBox, Text(250, 'd'));
  Save();
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].description, Text(200, 'd'));
}

TEST_F(EntryEditorTest, ListMenuOpensTheEditor) {
  hl::ChoosePopupItem(MainWindow::AddEntryMenuItem.name);
  hl::RightButtonUp(MainWindow::EntryListView);
  EXPECT_TRUE(ui::IsCreated(aw::Self));
  EXPECT_EQ(EditMode, 0);
  EXPECT_EQ(CurrentDirTag, "3150");
}

// A data folder with only some of its folders gets the missing ones; what the others hold stays.
TEST_F(EntryEditorTest, EnsureDataFoldersCompletesAPartialDataFolder) {
  const struct {
    const char* what;
    std::vector<const char*> present;
  } cases[] = {
      {"data folder alone", {}},
      {"usage folder missing", {"图片", "例程"}},
      {"only the usage folder", {"方法"}},
      {"example folder missing", {"方法", "图片"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveDirectoryTree(InProgram("\\DATA"));
    ASSERT_TRUE(MakeDirectory(InProgram("\\DATA")));
    for (const char* folder : c.present) {
      ASSERT_TRUE(MakeDirectory(InProgram("\\DATA\\" + Text(folder))));
      ASSERT_TRUE(WriteFileBytes(InProgram("\\DATA\\" + Text(folder) + "\\kept"), BytesOf(folder)));
    }
    EnsureDataFolders();
    for (const char* folder : {"方法", "图片", "例程"}) {
      EXPECT_TRUE(IsFolder(InProgram("\\DATA\\" + Text(folder)))) << folder;
    }
    for (const char* folder : c.present) {
      EXPECT_EQ(ReadFileBytes(InProgram("\\DATA\\" + Text(folder) + "\\kept")), BytesOf(folder)) << folder;
    }
  }
}

TEST_F(EntryEditorTest, EnsureDataFoldersMakesTheMissingFolders) {
  RemoveDirectoryTree(InProgram("\\DATA"));
  EnsureDataFolders();
  for (const char* folder : {"\\DATA", "\\DATA\\图片", "\\DATA\\例程", "\\DATA\\方法"}) {
    EXPECT_TRUE(FileExists(InProgram(folder))) << folder;
  }
  EnsureDataFolders();  // all present: nothing to do
  EXPECT_TRUE(FileExists(InProgram("\\DATA\\方法")));
}

}  // namespace
