// Helpers of the package tests.
#include "tests/snippets_packages/packages_fixture.h"

#include <algorithm>
#include <filesystem>

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/zip.h"
#include "snippets/export_window.h"
#include "snippets/entry_editor.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "snippets/package_cipher.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace fs = std::filesystem;
namespace hl = ui::headless;

void PackagesTest::SetUp() {
  SetTransferPause(1000);
  EntriesTest::SetUp();
}

void PackagesTest::TearDown() {
  // Windows left open in the middle of a transfer end it here, before the folders go.
  if (ui::IsCreated(ExportWindow::Self)) StopExportAndRemoveItsFiles();
  EntriesTest::TearDown();
}

void PackagesTest::Export(const Text& package, const Text& password) {
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
  hl::AnswerFileDialog(package);
  hl::Click(ExportWindow::SaveToButton);
  if (password.empty()) {
    hl::AnswerMessageBox(ui::kIdNo);
  } else {
    hl::TypeText(ExportWindow::PasswordBox, password);
    hl::Click(ExportWindow::SetPasswordButton);
  }
  hl::Click(ExportWindow::StartButton);
  hl::WaitIdle();
}

void PackagesTest::Import(const Text& package, const Text& password) {
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ImportMenuItem.name);
  hl::AnswerFileDialog(package);
  hl::Click(ImportWindow::OpenButton);
  hl::TypeText(ImportWindow::PasswordBox, password);
  hl::Click(ImportWindow::ConfirmPasswordButton);
  hl::Click(ImportWindow::StartButton);
  hl::WaitIdle();
}

Bytes PackagesTest::ArchiveOf(const PackageSource& source) {
  const Text folder = tempFolder + "/source" + ToText(++sources_);
  EXPECT_TRUE(MakeDirectory(folder));
  for (const char* sub : {"/方法", "/图片", "/例程"}) EXPECT_TRUE(MakeDirectory(folder + sub));
  if (source.withDatabase) {
    const Text file = folder + "/临时数据库.mdb";
    EXPECT_TRUE(WriteFileBytes(file, EmptyDatabaseTemplate()));
    DatabaseUnit db;
    EXPECT_TRUE(OdbcOpen(db, file));
    EnsureLibraryTables(db);
    for (const auto& [name, parent, tag] : source.directories) {
      EXPECT_TRUE(OdbcExecute(db, "INSERT INTO `目录` VALUES ('" + SqlEscape(name) + "','" +
                                      ToText(parent) + "','" + ToText(tag) + "');"));
    }
    for (const StoredRow& r : source.rows) {
      EXPECT_TRUE(OdbcExecute(db, "INSERT INTO `内含信息` VALUES ('" + SqlEscape(r.path) + "','" +
                                      SqlEscape(r.name) + "','" + SqlEscape(r.usage) + "','" +
                                      SqlEscape(r.description) + "','" + SqlEscape(r.picture) + "','" +
                                      SqlEscape(r.example) + "','" + SqlEscape(r.tag) + "');"));
    }
    for (const Text& sql : source.statements) EXPECT_TRUE(OdbcExecute(db, sql)) << sql;
    OdbcClose(db);
  }
  for (const auto& [name, bytes] : source.files) EXPECT_TRUE(WriteFileBytes(folder + "/" + name, bytes));
  const Text archive = folder + ".zip";
  EXPECT_TRUE(ZipCompress(folder, archive));
  return ReadFileBytes(archive);
}

Text PackagesTest::WritePackage(const Text& name, const Bytes& archive, const Text& password) {
  Bytes body;
  body.reserve(archive.size() + kPackageHeader.size() + kPackageTrailer.size());
  body.insert(body.end(), kPackageHeader.begin(), kPackageHeader.end());
  body.insert(body.end(), archive.begin(), archive.end());
  body.insert(body.end(), kPackageTrailer.begin(), kPackageTrailer.end());
  const Text path = PackagePath(name);
  const int file = OpenDataFile(path, kFileModeCreate, password, kPackagePlainPrefix);
  EXPECT_NE(file, 0);
  EXPECT_TRUE(WriteBytes(file, body));
  CloseFile(file);
  return path;
}

LibraryState PackagesTest::State() {
  LibraryState state;
  for (const StoredRow& r : ReadRows()) {
    state.rows.push_back({r.path, r.name, r.usage, r.description, r.picture, r.example, r.tag});
  }
  const int set = OdbcQuery(LibraryDatabase, "SELECT * FROM `目录`");
  for (; !OdbcIsEof(LibraryDatabase, set); OdbcMoveNext(LibraryDatabase, set)) {
    state.table.emplace_back(OdbcReadField(LibraryDatabase, set, "目录名"),
                             ToInt(OdbcReadField(LibraryDatabase, set, "索引")),
                             ToInt(OdbcReadField(LibraryDatabase, set, "标记")));
  }
  OdbcCloseRecordSet(LibraryDatabase, set);
  const ui::ControlRef tree = MainWindow::DirectoryTree;
  for (int i = 0; i < ui::TreeItemCount(tree); ++i) {
    state.tree.emplace_back(ui::TreeItemText(tree, i), ui::TreeParentItem(tree, i), ui::TreeItemData(tree, i));
  }
  const fs::path data = NativePath(InProgram("\\DATA"));
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(data, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string relative = fs::relative(it->path(), data).string();
    state.files[relative] = it->is_regular_file() ? ReadFileBytes(PathFromNative(it->path().string())) : Bytes();
  }
  return state;
}

void PackagesTest::StartWithEmptyLibrary() {
  hl::WaitIdle();
  OdbcClose(LibraryDatabase);
  RemoveFile(InProgram("\\DATA.mdb"));
  RemoveDirectoryTree(InProgram("\\DATA"));
  Restart();
  EnsureDataFolders();
  hl::ClearRecords();
}

Bytes ReplaceBytes(Bytes bytes, const std::string& from, const std::string& to) {
  EXPECT_EQ(from.size(), to.size());
  for (auto it = bytes.begin();
       (it = std::search(it, bytes.end(), from.begin(), from.end())) != bytes.end(); it += from.size()) {
    std::copy(to.begin(), to.end(), it);
  }
  return bytes;
}

Bytes WithMemberSizes(Bytes archive, std::uint32_t size) {
  const auto put = [&](std::size_t at) {
    for (int k = 0; k < 4; ++k) archive[at + k] = static_cast<std::uint8_t>(size >> (8 * k));
  };
  for (std::size_t k = 0; k + 46 <= archive.size(); ++k) {
    if (archive[k] != 'P' || archive[k + 1] != 'K') continue;
    if (archive[k + 2] == 3 && archive[k + 3] == 4) put(k + 22);  // local header
    if (archive[k + 2] == 1 && archive[k + 3] == 2) put(k + 24);  // central header
  }
  return archive;
}
