// The package import through its window: round trip with the export, the header and password
// checks, the directory merge, hostile packages, faults while merging and closing mid-import.
// Each failure is checked against the whole library state before the import.
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "runtime/text.h"
#include "runtime/threads.h"
#include "runtime/zip.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "tests/snippets_packages/packages_fixture.h"
#include "tests/support/statement_log.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

namespace hl = ui::headless;
namespace iw = ImportWindow;

const Text kUsage = "\\DATA\\方法\\";
const Text kPicture = "\\DATA\\图片\\";
const Text kExample = "\\DATA\\例程\\";

// A row of an entry with its three files under id, and those files' stored bytes.
StoredRow RowOf(const Text& name, const Text& id, int tag, const Text& dirPath = "/目录") {
  return {dirPath, name, kUsage + id + ".txt", "说明" + name, kPicture + id + ".png", kExample + id + ".cpp",
          ToText(tag)};
}
void AddFilesOf(PackageSource& source, const Text& id, const Text& content) {
  source.files["方法/" + id + ".txt"] = CompressBytes(BytesOf("用法" + content));
  source.files["图片/" + id + ".png"] = CompressBytes(MakePng(2, 2));
  source.files["例程/" + id + ".cpp"] = CompressBytes(BytesOf("int " + content + ";"));
}

class ImportTest : public PackagesTest {
 protected:
  std::vector<Text> MessageTexts() {
    std::vector<Text> texts;
    for (const auto& m : hl::MessagesShown()) texts.push_back(m.text);
    return texts;
  }
  bool WorkFolderLeft() { return FileExists(ProgramFilePath(kImportWorkFolder)); }
  bool InputsEnabled() {
    return ui::GetEnabled(iw::PasswordBox) && ui::GetEnabled(iw::StartButton) &&
           ui::GetEnabled(iw::ConfirmPasswordButton) && ui::GetEnabled(iw::OpenButton);
  }
  // A good package of one directory and two entries.
  PackageSource GoodSource() {
    PackageSource source;
    source.directories = {{"目录", -1, 700}};
    source.rows = {RowOf("甲", "aaaaaaaaaaaaaaa", 700), RowOf("乙", "bbbbbbbbbbbbbbb", 700)};
    AddFilesOf(source, "aaaaaaaaaaaaaaa", "a");
    AddFilesOf(source, "bbbbbbbbbbbbbbb", "b");
    return source;
  }
};

TEST_F(ImportTest, ExportedLibraryComesBackWholeInAnEmptyOne) {
  AddDirectory("工具", 5000);
  AddDirectory("排序", 6150, 0);
  AddDirectory("杂项", 8200);
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::SaveTreeMenuItem.name);
  hl::WaitIdle();
  InsertEntry({.name = "快速'排序", .description = "说'明", .usage = "用法一", .picture = MakePng(5, 4),
               .example = BytesOf("int main(){}")},
              6150, "abcdefghijklmno");
  InsertEntry({.name = "没有图片", .usage = "用法二"}, 8200, "ABCDEFGHIJKLMNO");
  const LibraryState exported = State();
  const Text package = PackagePath("全部.yrd");
  Export(package, "密码");
  ASSERT_EQ(ui::GetText(ExportWindow::StatusLabel), "生成完毕，可以去分享给好友了，嘻嘻");

  StartWithEmptyLibrary();
  Import(package, "密码");

  EXPECT_TRUE(hl::MessagesShown().empty()) << MessageTexts()[0];
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  EXPECT_EQ(ui::GetProgress(iw::ProgressBar), 100);
  EXPECT_EQ(TransferDone.load(), 1);
  EXPECT_TRUE(InputsEnabled());
  EXPECT_FALSE(WorkFolderLeft());
  LibraryState imported = State();
  EXPECT_EQ(imported.rows, exported.rows);
  EXPECT_EQ(imported.tree, exported.tree);
  EXPECT_EQ(imported.files, exported.files);
  // The merge saves the directories it added, as every change of the tree is saved.
  EXPECT_EQ(imported.table, exported.table);

  // Again: every row a second time, no directory and no file more.
  Import(package, "密码");
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  const LibraryState twice = State();
  ASSERT_EQ(twice.rows.size(), 2 * exported.rows.size());
  EXPECT_EQ(std::vector(twice.rows.begin() + 2, twice.rows.end()), exported.rows);
  EXPECT_EQ(twice.tree, exported.tree);
  EXPECT_EQ(twice.files, exported.files);
}

TEST_F(ImportTest, PasswordIsTheOneConfirmedAndMustMatchTheExport) {
  const Bytes archive = ArchiveOf(GoodSource());
  const struct {
    Text written, confirmed;
    bool typedOnly;
    bool imported;
  } kCases[] = {
      {"", "", false, true},   {"", "x", false, false},  {"pw", "", false, false},
      {"pw", "pw", false, true}, {"pw", "pw", true, false}, {"pw", "pW", false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.written + "/" + c.confirmed);
    const LibraryState before = State();
    hl::ClearRecords();
    const Text package = WritePackage("p.yrd", archive, c.written);
    hl::ChooseMenuItem(MainWindow::Self, MainWindow::ImportMenuItem.name);
    ImportPassword.clear();
    hl::AnswerFileDialog(package);
    hl::Click(iw::OpenButton);
    hl::TypeText(iw::PasswordBox, c.confirmed);
    if (!c.typedOnly) hl::Click(iw::ConfirmPasswordButton);
    hl::Click(iw::StartButton);
    hl::WaitIdle();
    if (c.imported) {
      EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
      EXPECT_EQ(State().rows.size(), before.rows.size() + 2);
    } else {
      EXPECT_EQ(MessageTexts(), std::vector<Text>{"密码验证失败！\r\n现行密码：" + ImportPassword});
      EXPECT_EQ(ui::GetText(iw::StatusLabel), "验证失败！");
      EXPECT_EQ(State(), before);
      EXPECT_TRUE(InputsEnabled());
      EXPECT_EQ(TransferDone.load(), 1);
    }
  }
}

TEST_F(ImportTest, FileWithoutTheHeaderIsRefusedAtOpen) {
  ui::LoadWindow(iw::Self);
  const Text good = WritePackage("good.yrd", ArchiveOf(GoodSource()), "");
  hl::AnswerFileDialog(good);
  hl::Click(iw::OpenButton);
  const Text bad = WriteTempFile("bad.yrd", BytesOf("YNa#y-\x03\x15\x02\x02 not a package"));
  hl::AnswerFileDialog(bad);
  hl::Click(iw::OpenButton);
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"验证文件头失败！！\r\n打开文件失败！！"});
  EXPECT_EQ(hl::MessagesShown()[0].flags, ui::kMbIconWarning);
  EXPECT_EQ(ui::GetText(iw::PathBox), good);
  EXPECT_EQ(ui::GetDialogFileName(iw::FileDialog), "");

  const LibraryState before = State();
  hl::Click(iw::StartButton);
  hl::WaitIdle();
  EXPECT_EQ(MessageTexts().back(), "密码验证失败！\r\n现行密码：");
  EXPECT_EQ(State(), before);
}

TEST_F(ImportTest, HostilePackagesLeaveTheLibraryAsItWas) {
  InsertEntry({.name = "原有", .usage = "原有用法", .picture = MakePng(3, 3)}, 900, "zzzzzzzzzzzzzzz");
  const Bytes good = ArchiveOf(GoodSource());

  PackageSource noDatabase = GoodSource();
  noDatabase.withDatabase = false;
  PackageSource damagedDatabase = GoodSource();
  damagedDatabase.withDatabase = false;
  damagedDatabase.files["临时数据库.mdb"] = BytesOf("SQLite format 3 but nothing after it");
  const auto withRowPath = [&](const Text& usage) {
    PackageSource s = GoodSource();
    s.rows[1].usage = usage;
    s.files["方法/evil.txt"] = BytesOf("outside");  // what GetFileName of the path names
    return ArchiveOf(s);
  };
  const auto withStatement = [&](const Text& sql) {
    PackageSource s = GoodSource();
    s.statements = {sql};
    return ArchiveOf(s);
  };
  PackageSource escaping = GoodSource();
  escaping.files["zz_evil"] = BytesOf("outside");
  Bytes otherTables;
  {
    const Text folder = tempFolder + "/other";
    ASSERT_TRUE(MakeDirectory(folder));
    ASSERT_TRUE(WriteFileBytes(folder + "/临时数据库.mdb", ReadFileBytes(InProgram("\\DATA.mdb"))));
    DatabaseUnit db;
    ASSERT_TRUE(OdbcOpen(db, folder + "/临时数据库.mdb"));
    ASSERT_TRUE(OdbcExecute(db, "DROP TABLE `内含信息`;"));
    ASSERT_TRUE(OdbcExecute(db, "CREATE TABLE `别的` (`x` VARCHAR(10));"));
    OdbcClose(db);
    ASSERT_TRUE(ZipCompress(folder, folder + ".zip"));
    otherTables = ReadFileBytes(folder + ".zip");
  }
  // Honest sizes, each below the member limit, far beyond what the package's size allows.
  PackageSource bomb = GoodSource();
  bomb.files["例程/zeros1.bin"] = Bytes(40u << 20, 0);
  bomb.files["例程/zeros2.bin"] = Bytes(40u << 20, 0);
  Bytes damaged = good;
  for (std::size_t k = damaged.size() / 3; k < damaged.size() / 3 + 64; ++k) damaged[k] ^= 0x5A;

  const Text kUnpack = "未知错误，解压失败！！";
  const Text kNoDatabase = "数据包中的数据库无法读取（缺失、损坏或没有目录表和信息表），没有导入任何数据。";
  const Text kNotGbk = "数据包中有无法保存的文字（如表情符号），数据包已被拒绝，没有导入任何数据。";
  const Text kOutside = "数据包中有文件路径不在数据文件夹内的条目，数据包已被拒绝，没有导入任何数据。";
  const struct {
    const char* what;
    Bytes archive;
    std::size_t keep;  // bytes of the package kept; 0 = all
    Text message;
  } kCases[] = {
      {"truncated", good, 200, "密码验证失败！\r\n现行密码：pw"},
      {"damaged archive", damaged, 0, kUnpack},
      {"no zip at all", BytesOf("just some bytes that are no zip archive"), 0, kUnpack},
      {"empty archive", {}, 0, kUnpack},
      {"member header lies small", WithMemberSizes(good, 3), 0, kUnpack},
      {"member header claims 2 GiB", WithMemberSizes(good, 0x7FFFFFFF), 0, kUnpack},
      {"members far beyond the package", ArchiveOf(bomb), 0, kUnpack},
      {"member leaves the folder", ReplaceBytes(ArchiveOf(escaping), "zz_evil", "../evil"), 0, kUnpack},
      {"member absolute", ReplaceBytes(ArchiveOf(escaping), "zz_evil", "/tmp/ev"), 0, kUnpack},
      {"no database", ArchiveOf(noDatabase), 0, kNoDatabase},
      {"damaged database", ArchiveOf(damagedDatabase), 0, kNoDatabase},
      {"other tables", otherTables, 0, kNoDatabase},
      {"row path up", withRowPath("\\..\\evil.txt"), 0, kOutside},
      {"row path up inside", withRowPath("\\DATA\\方法\\..\\..\\DATA.mdb"), 0, kOutside},
      {"row path slash", withRowPath("\\DATA\\方法\\a/../../../x"), 0, kOutside},
      {"row path drive", withRowPath("C:\\x.txt"), 0, kOutside},
      {"row path absolute", withRowPath("/etc/x.txt"), 0, kOutside},
      {"row path other folder", withRowPath("\\DATA\\x.txt"), 0, kOutside},
      // GBK cannot hold U+1F600: it would come in as "?".
      {"name outside GBK", withStatement("UPDATE `内含信息` SET `名称` = `名称` || char(128512);"), 0, kNotGbk},
      {"directory outside GBK", withStatement("UPDATE `目录` SET `目录名` = char(128512);"), 0, kNotGbk},
      {"blob in a row", withStatement("UPDATE `内含信息` SET `说明` = x'FF00FE';"), 0, kNotGbk},
      // U+AC00 (a Hangul syllable) is in the Basic Multilingual Plane but not in GBK.
      {"Hangul after Chinese", withStatement("UPDATE `内含信息` SET `说明` = '中文' || char(44032) || '?';"), 0,
       kNotGbk},
      {"cut-off character", withStatement("UPDATE `内含信息` SET `说明` = CAST(x'41E4B8' AS TEXT);"), 0, kNotGbk},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const LibraryState before = State();
    hl::ClearRecords();
    Text package = WritePackage("hostile.yrd", c.archive, "pw");
    if (c.keep != 0) {
      const Bytes all = ReadFileBytes(package);
      ASSERT_TRUE(WriteFileBytes(package, Bytes(all.begin(), all.begin() + c.keep)));
    }
    Import(package, "pw");
    EXPECT_EQ(MessageTexts(), std::vector<Text>{c.message});
    EXPECT_NE(ui::GetText(iw::StatusLabel), "完成！！");
    EXPECT_EQ(State(), before);
    EXPECT_FALSE(WorkFolderLeft());
    EXPECT_TRUE(InputsEnabled());
    EXPECT_EQ(TransferDone.load(), 1);
    EXPECT_FALSE(FileExists(programFolder + "/evil"));
    EXPECT_FALSE(FileExists(programFolder + "/../evil.txt"));
    EXPECT_FALSE(FileExists(InProgram("\\导入临时目录\\evil")));
  }
  EXPECT_FALSE(FileExists("/tmp/ev"));
}

TEST_F(ImportTest, RowsWithQuotesAndPathsWithoutFilesGoInAsRead) {
  PackageSource source = GoodSource();
  source.rows[0].name = "it's";
  source.rows[0].description = "'); DROP TABLE `内含信息`; --";
  source.rows[1].picture = "";  // an entry of an old library without picture path
  source.rows[1].name = "问号?与中文";  // a "?" of its own is no lost character
  source.rows[1].example = kExample + "bbbbbbbbbbbbbbb.";  // no example file in the package
  source.files.erase("例程/bbbbbbbbbbbbbbb.cpp");
  Import(WritePackage("q.yrd", ArchiveOf(source), "pw"), "pw");
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  const std::vector<StoredRow> rows = ReadRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "it's");
  EXPECT_EQ(rows[0].description, "'); DROP TABLE `内含信息`; --");
  EXPECT_EQ(rows[1].name, "问号?与中文");
  EXPECT_EQ(rows[1].picture, "");
  EXPECT_EQ(ReadStored(rows[0].example), BytesOf("int a;"));
  EXPECT_FALSE(StoredExists(rows[1].example));
}

TEST_F(ImportTest, DirectoryMergeMatchesByNameAndTag) {
  using Items = std::vector<DirectoryItem>;
  const struct {
    const char* what;
    Items library, package, expected;
  } kCases[] = {
      {"same name and tag anywhere is not added",
       {{"甲", -1, 100}, {"乙", 0, 200}},
       {{"乙", -1, 200}, {"甲", -1, 100}},
       {{"甲", -1, 100}, {"乙", 0, 200}}},
      {"a tag used under another name is a new directory",
       {{"甲", -1, 100}},
       {{"丙", -1, 100}},
       {{"甲", -1, 100}, {"丙", -1, 100}}},
      {"a new child goes last under its parent's match",
       {{"甲", -1, 100}, {"子", 0, 300}, {"乙", -1, 200}},
       {{"乙", -1, 200}, {"甲", -1, 100}, {"新", 1, 400}},
       {{"甲", -1, 100}, {"子", 0, 300}, {"新", 0, 400}, {"乙", -1, 200}}},
      {"a new parent and its child",
       {{"甲", -1, 100}},
       {{"丁", -1, 500}, {"戊", 0, 600}},
       {{"甲", -1, 100}, {"丁", -1, 500}, {"戊", 1, 600}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ui::TreeClear(MainWindow::DirectoryTree);
    for (const auto& [name, parent, tag] : c.library) AddDirectory(name, tag, parent);
    hl::ChooseMenuItem(MainWindow::Self, MainWindow::SaveTreeMenuItem.name);
    hl::WaitIdle();
    PackageSource source;
    source.directories = c.package;
    Import(WritePackage("d.yrd", ArchiveOf(source), ""), "");
    EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
    EXPECT_EQ(State().tree, c.expected);
    EXPECT_EQ(State().table, c.expected);
  }
}

TEST_F(ImportTest, ImportedDirectoriesOutliveARefreshAndARestart) {
  AddDirectory("原有", 100);
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::SaveTreeMenuItem.name);
  hl::WaitIdle();
  Import(WritePackage("r.yrd", ArchiveOf(GoodSource()), ""), "");
  ASSERT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  const std::vector<DirectoryItem> expected = {{"原有", -1, 100}, {"目录", -1, 700}};
  const auto expectDirectoryListed = [&] {
    EXPECT_EQ(State().tree, expected);
    EXPECT_EQ(State().table, expected);
    SelectDirectory(1);
    ASSERT_EQ(ui::ListRowCount(MainWindow::EntryListView), 2);
    EXPECT_EQ(ui::ListCell(MainWindow::EntryListView, 0, 0), "甲");
    EXPECT_EQ(ui::ListCell(MainWindow::EntryListView, 1, 0), "乙");
  };

  hl::ChooseMenuItem(MainWindow::Self, MainWindow::RefreshTreeMenuItem.name);
  hl::WaitIdle();
  {
    SCOPED_TRACE("after 刷新目录");
    expectDirectoryListed();
  }
  // Started again without the exit's save, as after a crash.
  Restart();
  SCOPED_TRACE("after a restart");
  expectDirectoryListed();
  EXPECT_TRUE(hl::MessagesShown().empty());
}

TEST_F(ImportTest, FailedFileCopyOrInsertTakesEverythingBack) {
  // The library has a file of the same name as one the package brings, with other content.
  InsertEntry({.name = "原有", .usage = "原有用法", .picture = MakePng(3, 3)}, 900, "bbbbbbbbbbbbbbb");
  const Text archive = tempFolder + "/fault.zip";
  ASSERT_TRUE(WriteFileBytes(archive, ArchiveOf(GoodSource())));
  const Text package = WritePackage("fault.yrd", ReadFileBytes(archive), "pw");

  // The last file placed fails, after its target was created: written straight into the data
  // folder (a new name) the disk is full half way, and moved there from the work folder after
  // that the move fails.
  const std::string lastFile = NativePath(InProgram(kExample + "bbbbbbbbbbbbbbb.cpp"));
  FileSystemOps faulty = NativeFileSystem();
  const auto nativeMove = faulty.rename;
  faulty.rename = [lastFile, nativeMove](const std::string& from, const std::string& to) {
    if (to == lastFile) {
      std::filesystem::copy_file(from, to);
      return false;
    }
    return nativeMove(from, to);
  };
  faulty.write = [lastFile, nativeWrite = faulty.write](const std::string& native, const Bytes& bytes) {
    if (native != lastFile) return nativeWrite(native, bytes);
    nativeWrite(native, Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
    return WriteOutcome::kIncomplete;
  };
  const LibraryState before = State();
  FileSystemOps saved = InstallFileSystem(faulty);
  Import(package, "pw");
  InstallFileSystem(saved);
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"导入失败！！复制文件或写入数据库时出错，资料库保持原样，没有导入任何数据。"});
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "导入失败！");
  EXPECT_EQ(State(), before);
  EXPECT_FALSE(WorkFolderLeft());

  // An INSERT that fails, after every file was in place.
  ASSERT_TRUE(OdbcExecute(LibraryDatabase,
                          "CREATE TRIGGER refuse BEFORE INSERT ON `内含信息` WHEN NEW.`名称` = '乙' "
                          "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
  hl::ClearRecords();
  Import(package, "pw");
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"导入失败！！复制文件或写入数据库时出错，资料库保持原样，没有导入任何数据。"});
  EXPECT_EQ(State(), before);
}

TEST_F(ImportTest, WorkFolderThatCannotBeMadeIsToldAndImportsNothing) {
  const Text package = WritePackage("w.yrd", ArchiveOf(GoodSource()), "");
  const std::string work = NativePath(ProgramFilePath(kImportWorkFolder));
  FileSystemOps faulty = NativeFileSystem();
  faulty.makeFolder = [work, native = faulty.makeFolder](const std::string& path) {
    return path != work && native(path);
  };
  const LibraryState before = State();
  FileSystemOps saved = InstallFileSystem(faulty);
  Import(package, "");
  InstallFileSystem(saved);
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"无法写入导入临时目录，没有导入任何数据，请检查程序目录是否可写。"});
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "导入失败！");
  EXPECT_EQ(State(), before);
  EXPECT_TRUE(InputsEnabled());
  EXPECT_EQ(TransferDone.load(), 1);
}

TEST_F(ImportTest, ClosingMidImportAsksAndStopsWhereItIs) {
  const Text package = WritePackage("c.yrd", ArchiveOf(GoodSource()), "");
  // Idle: no question.
  ui::LoadWindow(iw::Self);
  hl::AskToClose(iw::Self);
  EXPECT_TRUE(hl::MessagesShown().empty());
  EXPECT_FALSE(ui::IsCreated(iw::Self));

  const struct {
    int closeAt;      // ms after the start press, inside one of the pauses
    bool rowsIn;      // the close came after the rows were inserted
  } kCases[] = {{500, false}, {1500, false}, {2500, false}, {4500, false}, {5500, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.closeAt);
    const LibraryState before = State();
    hl::ClearRecords();
    StartThread([at = c.closeAt](int) {
      ui::DelayPumping(at);
      ui::RunOnGui([] { hl::AskToClose(iw::Self); });
    });
    // Asked only once the transfer runs: the first pause comes before it.
    if (c.closeAt >= 1000) hl::AnswerMessageBox(ui::kIdYes);
    Import(package, "");
    EXPECT_FALSE(ui::IsCreated(iw::Self));
    EXPECT_FALSE(WorkFolderLeft());
    EXPECT_EQ(TransferDone.load(), 1);
    EXPECT_EQ(State().rows.size(), before.rows.size() + (c.rowsIn ? 2 : 0));
    // The entry files came with their rows, or not at all.
    EXPECT_EQ(State().files.size(), before.files.size() + (c.rowsIn && before.rows.empty() ? 6 : 0));
    if (c.closeAt < 1000) {
      EXPECT_TRUE(hl::MessagesShown().empty());  // nothing was running yet
    } else {
      EXPECT_EQ(MessageTexts(), std::vector<Text>{"还没有导出完成！！是否确定关闭？？"});
    }
  }
}

TEST_F(ImportTest, ProgramClosedMidImportTakesTheWorkFolderAlong) {
  const Text package = WritePackage("e.yrd", ArchiveOf(GoodSource()), "");
  const LibraryState before = State();
  StartThread([](int) {
    ui::DelayPumping(3500);  // the merge's second pause
    ui::RunOnGui([] { hl::AskToClose(MainWindow::Self); });
  });
  Import(package, "");
  EXPECT_EQ(hl::EndedWithCode(), std::optional<int>(0));
  EXPECT_TRUE(hl::MessagesShown().empty());
  EXPECT_FALSE(WorkFolderLeft());
  EXPECT_EQ(ReadRows().size(), before.rows.size());
  EXPECT_EQ(State().files, before.files);
}

TEST_F(ImportTest, AnExportEndingDuringAnImportLeavesTheTransferMarkedRunning) {
  const Text package = WritePackage("o.yrd", ArchiveOf(GoodSource()), "");
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
  hl::AnswerFileDialog(PackagePath("out.yrd"));
  hl::Click(ExportWindow::SaveToButton);
  hl::AnswerMessageBox(ui::kIdNo);
  hl::Click(ExportWindow::StartButton);  // its thread ends 2,000 ms on
  auto seen = std::make_shared<std::pair<Text, int>>();
  StartThread([seen](int) {
    ui::DelayPumping(3500);
    ui::RunOnGui([seen] { *seen = {ui::GetText(ExportWindow::StatusLabel), TransferDone.load()}; });
  });
  Import(package, "");
  EXPECT_EQ(seen->first, "生成完毕，可以去分享给好友了，嘻嘻");
  EXPECT_EQ(seen->second, 0);
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  EXPECT_EQ(TransferDone.load(), 1);
}

// The rows go in with the import's own statement, one a row, values quoted.
// Each file the unpacking makes straight in the data folder is on the work folder's list before
// it is made. When the program ended in the middle of an import, the next import removes the
// listed files no entry names; named ones, unlisted ones and anything the list names outside the
// data folder's three folders stay.
TEST_F(ImportTest, FilesOfAnImportCutOffByTheProgramsEndGoWithTheNextImport) {
  const Text list = ProgramFilePath(kImportWorkFolder) + "\\直接写入的文件.txt";
  std::mutex mutex;
  std::vector<std::string> unlisted;
  int made = 0;
  FileSystemOps watching = NativeFileSystem();
  // Writes of new files go through write once it is not the system's own.
  watching.write = [&, native = watching.write](const std::string& path, const Bytes& bytes) {
    if (path.find("/DATA/") == std::string::npos) return native(path, bytes);
    const Bytes listed = ReadFileBytes(list);
    bool onList = false;
    for (const Text& line : SplitText(Text(listed.begin(), listed.end()), "\n")) {
      onList = onList || (!line.empty() && NativePath(line) == path);
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++made;
      if (!onList) unlisted.push_back(path);
    }
    return native(path, bytes);
  };
  FileSystemOps saved = InstallFileSystem(watching);
  Import(WritePackage("l.yrd", ArchiveOf(GoodSource()), ""), "");
  InstallFileSystem(saved);
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  EXPECT_EQ(made, 6);
  EXPECT_TRUE(unlisted.empty());

  // What a cut-off import leaves: its list, and files of its own beside the library's.
  const Text orphan = InProgram(kPicture + "ccccccccccccccc.png");
  const Text unlistedFile = InProgram(kPicture + "ddddddddddddddd.png");
  const Text named = InProgram(kUsage + "aaaaaaaaaaaaaaa.txt");
  const Text outside = InProgram("\\DATA.mdb");
  const Text outsideFolder = InProgram("\\DATA\\其他\\x.txt");
  ASSERT_TRUE(MakeDirectory(ProgramFilePath(kImportWorkFolder)));
  ASSERT_TRUE(MakeDirectory(InProgram("\\DATA\\其他")));
  for (const Text& file : {orphan, unlistedFile, outsideFolder}) ASSERT_TRUE(WriteFileBytes(file, BytesOf("x")));
  // The list is older than its files, but not than a file that was there already.
  const Text older = InProgram(kExample + "eeeeeeeeeeeeeee.cpp");
  ASSERT_TRUE(WriteFileBytes(older, BytesOf("there before")));
  std::filesystem::last_write_time(NativePath(older), std::filesystem::last_write_time(NativePath(older)) - std::chrono::hours(1));
  const long long since = FileModifiedNanoseconds(older) + 1;
  ASSERT_TRUE(WriteFileBytes(list, BytesOf(ToText(since) + "\n" + orphan + "\n" + named + "\n" + outside + "\n" +
                                            outsideFolder + "\n" + older + "\n" +
                                            InProgram(kPicture + "..\\..\\DATA.mdb") + "\n")));
  Import(WritePackage("m.yrd", ArchiveOf(GoodSource()), ""), "");
  EXPECT_FALSE(FileExists(orphan));
  EXPECT_TRUE(FileExists(unlistedFile));
  EXPECT_TRUE(FileExists(named));
  EXPECT_TRUE(FileExists(outsideFolder));
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(FileExists(older));
  EXPECT_FALSE(WorkFolderLeft());
}

// While another instance of the program imports into the same program folder, an import is
// refused and leaves that one's work folder, its list and its files alone.
TEST_F(ImportTest, ImportOfAnotherInstanceKeepsTheWorkFolderToItself) {
  const Text package = WritePackage("i.yrd", ArchiveOf(GoodSource()), "");
  const Text work = ProgramFilePath(kImportWorkFolder);
  const Text theirs = InProgram(kPicture + "fffffffffffffff.png");
  ASSERT_TRUE(MakeDirectory(work));
  ASSERT_TRUE(WriteFileBytes(work + "\\直接写入的文件.txt", BytesOf("1\n" + theirs + "\n")));
  ASSERT_TRUE(WriteFileBytes(theirs, BytesOf("being imported")));
  const LibraryState before = State();
  {
    FolderClaim other;  // as the other instance holds it
    ASSERT_TRUE(other.Take(ProgramFilePath("")));
    Import(package, "");
    EXPECT_EQ(MessageTexts(), std::vector<Text>{"另一个正在运行的本程序正在向这个程序目录导入数据包，请等它完成后再导入。这次没有导入任何数据。"});
    EXPECT_EQ(ui::GetText(iw::StatusLabel), "导入失败！");
    EXPECT_TRUE(InputsEnabled());
    EXPECT_EQ(TransferDone.load(), 1);
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(FileExists(work + "\\直接写入的文件.txt"));
  }
  // Once it is over, the import goes ahead, and what the other left is cleared away.
  hl::ClearRecords();
  Import(package, "");
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  EXPECT_FALSE(FileExists(theirs));
  EXPECT_FALSE(WorkFolderLeft());
}

TEST_F(ImportTest, RowsGoInWithTheImportsOwnStatement) {
  PackageSource source = GoodSource();
  source.rows[1].name = "乙's";
  StatementLog log(LibraryDatabase);
  Import(WritePackage("s.yrd", ArchiveOf(source), "pw"), "pw");
  EXPECT_EQ(ui::GetText(iw::StatusLabel), "完成！！");
  std::vector<Text> inserts;
  for (const Text& sql : log.Taken()) {
    if (sql.rfind("INSERT INTO `内含信息`", 0) == 0) inserts.push_back(sql);
  }
  const std::vector<Text> expected = {
      "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES "
      "('/目录','甲' , '\\DATA\\方法\\aaaaaaaaaaaaaaa.txt', '说明甲','\\DATA\\图片\\aaaaaaaaaaaaaaa.png',"
      "'\\DATA\\例程\\aaaaaaaaaaaaaaa.cpp' ,'700');",
      "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES "
      "('/目录','乙''s' , '\\DATA\\方法\\bbbbbbbbbbbbbbb.txt', '说明乙','\\DATA\\图片\\bbbbbbbbbbbbbbb.png',"
      "'\\DATA\\例程\\bbbbbbbbbbbbbbb.cpp' ,'700');",
  };
  EXPECT_EQ(inserts, expected);
}

}  // namespace
