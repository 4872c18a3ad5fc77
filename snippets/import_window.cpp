// The package import, wholly on the GUI thread. The package is read and deciphered in memory,
// its archive unpacked into the work folder (entry files of names the data folder lacks straight
// into the data folder, recorded), and only after the unpacking has returned complete is it
// merged, once: the package's database is read whole, every row checked, the other entry files
// put in place (files they replace kept aside), the rows inserted in one transaction, and only
// then the new directories added to the tree, which is saved. Any failure, stop or close takes
// the files back, so the library stays as it was. The pauses between the status texts let other window events
// run, the close of this window included; after each one the import stops when its window is
// gone.
#include "snippets/import_window.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "runtime/database.h"
#include "runtime/file_names.h"
#include "runtime/files.h"
#include "runtime/zip.h"
#include "snippets/directory_tree.h"
#include "snippets/entry_editor.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "snippets/package_cipher.h"
#include "ui/ui.h"

namespace {

namespace w = ImportWindow;

DatabaseUnit ImportDatabase;      // the package's database, open only while it is read
bool ImportPressed = false;       // a start is being handled; a second press is ignored
bool ImportTransferring = false;  // from the unpacking on, until the import ends
std::uint64_t WindowClosings = 0; // counts the closes of ImportWindow

constexpr const char* kNoDatabaseMessage =
    "数据包中的数据库无法读取（缺失、损坏或没有目录表和信息表），没有导入任何数据。";
constexpr const char* kOutsidePathMessage =
    "数据包中有文件路径不在数据文件夹内的条目，数据包已被拒绝，没有导入任何数据。";
constexpr const char* kNotGbkMessage =
    "数据包中有无法保存的文字（如表情符号），数据包已被拒绝，没有导入任何数据。";
constexpr const char* kMergeFailedMessage =
    "导入失败！！复制文件或写入数据库时出错，资料库保持原样，没有导入任何数据。";
constexpr const char* kWorkFolderMessage =
    "无法写入导入临时目录，没有导入任何数据，请检查程序目录是否可写。";
constexpr const char* kOtherImportMessage =
    "另一个正在运行的本程序正在向这个程序目录导入数据包，请等它完成后再导入。这次没有导入任何数据。";

Text WorkFolder() { return ProgramFilePath(kImportWorkFolder); }
Text UnpackedFolder() { return WorkFolder() + "\\临时"; }

// The list, in the work folder, of the files the unpacking writes straight into the data
// folder, each name added before its file is made: when the program was ended in the middle of
// an import, the next one removes those of them that no entry names. Its first line is the
// time the list was made: a name whose file was there already (its write then failed, and it
// went to the work folder) names an older file.
Text NewFilesList() { return WorkFolder() + "\\直接写入的文件.txt"; }

// Entry files the unpacking wrote straight into the data folder, under names no file had there,
// so that they need not be moved afterwards: they stay only when the import ends complete, and
// any failure, stop or close before that removes them again.
class NewDataFiles {
 public:
  // Before the unpacking: without its list no file goes straight into the data folder.
  void StartList() {
    RemoveFile(NewFilesList());
    if (!list_.Open(NewFilesList())) return;
    const std::int64_t made = FileModifiedNanoseconds(NewFilesList());
    if (made < 0 || !list_.Append(ToText(static_cast<long long>(made)) + "\n")) list_.Close();
  }

  // Where the unpacking writes a member of that path below the work folder's "临时": the data
  // folder's file of that name (which the unpacking writes only when there is none), else ""
  // for the work folder. A second member of a name written already goes to the work folder,
  // and the merge places it over the first as before.
  Text Target(const std::vector<Text>& parts) {
    if (parts.size() != 2) return Text();
    const Text& kind = parts[0];
    if (kind != "方法" && kind != "图片" && kind != "例程") return Text();
    const Text target = ProgramFilePath("\\DATA\\" + kind + "\\" + parts[1]);
    if (written_.count(target) == 0) {
      // A name that would not stay one line of the list is not written there.
      if (target.find_first_of("\r\n") != Text::npos || !list_.Append(target + "\n")) return Text();
      return target;
    }
    written_[target] = false;
    return Text();
  }
  void Written(const Text& path) {
    if (written_.emplace(path, true).second) paths_.push_back(path);
  }
  // True when the file of path (as the merge builds it from a row, which spells it as the
  // target above does) is in place already.
  bool Holds(const Text& path) const {
    const auto it = written_.find(path);
    return it != written_.end() && it->second;
  }

  // The import is in: the files are the library's now, except those no row names, which the
  // merge would not have placed either.
  void Keep(const std::unordered_set<Text>& named) {
    for (const Text& path : paths_) {
      if (named.count(path) == 0) RemoveFile(path);
    }
    Forget();
  }
  void RemoveAll() {
    for (const Text& path : paths_) RemoveFile(path);
    Forget();
  }

 private:
  void Forget() {
    paths_.clear();
    written_.clear();
    list_.Close();
  }
  AppendingFile list_;
  std::vector<Text> paths_;
  std::unordered_map<Text, bool> written_;  // false: a later member of the name went elsewhere
};
NewDataFiles UnpackedIntoData;

struct PackageDirectory {
  Text name;
  int parent;
  int tag;
};

struct PackageEntry {
  Text usage, description, picture, path, name, example, tag;
};

struct PackageContent {
  std::vector<PackageDirectory> directories;
  std::vector<PackageEntry> entries;
};

void SetInputsEnabled(bool enabled) {
  ui::SetEnabled(w::PasswordBox, enabled);
  ui::SetEnabled(w::StartButton, enabled);
  ui::SetEnabled(w::ConfirmPasswordButton, enabled);
  ui::SetEnabled(w::OpenButton, enabled);
}

// The import is over: work folder gone (unless another instance's import holds it), window
// usable again.
void EndImport(const char* message, const Text& status, bool workFolderOurs = true) {
  UnpackedIntoData.RemoveAll();
  if (workFolderOurs) RemoveDirectoryTree(WorkFolder());
  if (message != nullptr) ui::ShowMessageBox(message, ui::kMbIconWarning);
  if (!status.empty()) ui::SetText(w::StatusLabel, status);
  SetInputsEnabled(true);
  ImportTransferring = false;
  UpdateTransferDone();
}

bool StartsWith(const Bytes& data, const std::uint8_t* bytes, std::size_t n) {
  return data.size() >= n && std::equal(bytes, bytes + n, data.begin());
}

bool EndsWithTrailer(const ArrivingPackage& package) {
  return package.size() >= kPackageHeader.size() + kPackageTrailer.size() &&
         std::equal(kPackageTrailer.begin(), kPackageTrailer.end(),
                    package.data() + package.size() - kPackageTrailer.size());
}

enum class PackageRead { kRead, kUnreadable, kNotGbk };

constexpr char kHexDigits[] = "0123456789ABCDEF";

Text HexOf(const std::string& bytes) {
  Text hex;
  hex.reserve(2 * bytes.size());
  for (unsigned char c : bytes) {
    hex.push_back(kHexDigits[c >> 4]);
    hex.push_back(kHexDigits[c & 0x0F]);
  }
  return hex;
}

// Every row of the table with the columns' texts in the given order. A character GBK cannot
// hold reads as "?", which would go into the library in its place, so each text read is held
// against the stored bytes (SQLite's hex() of them).
PackageRead ReadPackageTable(const char* table, const std::vector<Text>& columns,
                             std::vector<std::vector<Text>>& rows) {
  const int set = OdbcQuery(ImportDatabase, Text("SELECT * FROM `") + table + "`");
  if (set == 0) return PackageRead::kUnreadable;
  rows.reserve(OdbcRowsLeft(ImportDatabase, set));
  OdbcReadRows(ImportDatabase, set, columns, [&rows](std::vector<Text>& values) {
    rows.emplace_back(values.size());
    rows.back().swap(values);
  });
  OdbcCloseRecordSet(ImportDatabase, set);

  Text hexes;
  for (const Text& column : columns) {
    hexes += Text(hexes.empty() ? "" : ", ") + "hex(`" + column + "`) AS `" + column + "`";
  }
  const int check = OdbcQuery(ImportDatabase, "SELECT " + hexes + " FROM `" + table + "`");
  if (check == 0) return PackageRead::kUnreadable;
  PackageRead result = PackageRead::kRead;
  if (OdbcRowsLeft(ImportDatabase, check) != rows.size()) result = PackageRead::kUnreadable;
  std::size_t k = 0;
  if (result == PackageRead::kRead) {
    OdbcReadRows(ImportDatabase, check, columns, [&](std::vector<Text>& hex) {
      for (std::size_t c = 0; c < columns.size() && result == PackageRead::kRead; ++c) {
        if (HexOf(ConvertGbkToUtf8(rows[k][c])) != hex[c]) result = PackageRead::kNotGbk;
      }
      ++k;
    });
  }
  OdbcCloseRecordSet(ImportDatabase, check);
  return result;
}

// The whole package database, read and closed again.
PackageRead ReadPackageDatabase(PackageContent& content) {
  if (!OdbcOpen(ImportDatabase, UnpackedFolder() + "\\临时数据库.mdb")) return PackageRead::kUnreadable;
  std::vector<std::vector<Text>> dirs, entries;
  PackageRead read = ReadPackageTable("目录", {"目录名", "索引", "标记"}, dirs);
  if (read == PackageRead::kRead) {
    read = ReadPackageTable("内含信息", {"使用方法", "说明", "图片", "路径", "名称", "例程", "标记"}, entries);
  }
  OdbcClose(ImportDatabase);
  content.directories.reserve(dirs.size());
  for (auto& d : dirs) content.directories.push_back({std::move(d[0]), ToInt(d[1]), ToInt(d[2])});
  content.entries.reserve(entries.size());
  for (auto& e : entries) {
    content.entries.push_back({std::move(e[0]), std::move(e[1]), std::move(e[2]), std::move(e[3]), std::move(e[4]),
                               std::move(e[5]), std::move(e[6])});
  }
  return read;
}

// A file path of a row: empty (the entry has no such file), or a plain file name in the data
// folder's folder of that kind, as the entry editor writes them. Anything else could write
// outside its folder.
bool IsRowFilePath(const Text& path, const char* folder) {
  if (path.empty()) return true;
  const Text prefix = folder;
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
  const Text name = path.substr(prefix.size());
  return IsDataFolderPath(path) && FindText(name, "\\") < 0 && FindText(name, "/") < 0 && name != "." &&
         name != "..";
}

bool RowsStayInDataFolder(const PackageContent& content) {
  return std::all_of(content.entries.begin(), content.entries.end(), [](const PackageEntry& e) {
    return IsRowFilePath(e.usage, kUsageFolder) && IsRowFilePath(e.picture, kPictureFolder) &&
           IsRowFilePath(e.example, kExampleFolder);
  });
}

// The entry files an import puts into the data folder: all of them, or, after Undo, none, with
// every file they replaced back in its place. The unpacked files are moved, not copied: the
// work folder goes afterwards anyway.
class PlacedFiles {
 public:
  // Moves source over target; a missing source is no file to place (an entry without picture).
  // Rows may share a file: a target placed already is left as it is.
  bool Place(const Text& source, const Text& target) {
    if (placedTargets_.count(target) != 0) return true;
    if (!FileExists(source)) return true;
    if (IsFolder(source)) return false;
    Text backup;
    if (FileExists(target)) {
      if (IsFolder(target)) return false;
      Bytes old, fresh;
      // The same package imported again: the file is there already.
      if (ReadFileBytes(target, old) && ReadFileBytes(source, fresh) && old == fresh) return true;
      if (!MakeDirectory(BackupFolder())) return false;
      backup = BackupFolder() + "\\" + ToText(static_cast<int>(placed_.size()));
      if (!MoveFileOver(target, backup)) return false;
    }
    placed_.push_back({target, backup});
    placedTargets_.insert(target);
    return MoveFileOver(source, target);
  }

  void Undo() {
    for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
      RemoveFile(it->target);
      if (!it->backup.empty()) MoveFileOver(it->backup, it->target);
    }
    placed_.clear();
    placedTargets_.clear();
  }

 private:
  struct Placed {
    Text target;
    Text backup;  // where the replaced file waits; "" when there was none
  };
  static Text BackupFolder() { return WorkFolder() + "\\备份"; }
  std::vector<Placed> placed_;
  std::unordered_set<Text> placedTargets_;
};

Text EntryInsert(const PackageEntry& e) {
  return "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('" +
         SqlEscape(e.path) + "','" + SqlEscape(e.name) + "' , '" + SqlEscape(e.usage) + "', '" +
         SqlEscape(e.description) + "','" + SqlEscape(e.picture) + "','" + SqlEscape(e.example) + "' ,'" +
         SqlEscape(e.tag) + "');";
}

// Files first, then every row in one transaction; false (and nothing changed) on any failure.
// Files the unpacking wrote into the data folder already are in place.
bool AddEntries(const PackageContent& content) {
  const Text unpacked = UnpackedFolder();
  const Text program = ProgramFilePath("");
  PlacedFiles files;
  std::unordered_set<Text> named;
  named.reserve(3 * content.entries.size());
  for (const PackageEntry& e : content.entries) {
    const struct {
      const Text& path;
      const char* folder;
    } kinds[] = {{e.usage, "\\方法\\"}, {e.picture, "\\图片\\"}, {e.example, "\\例程\\"}};
    for (const auto& kind : kinds) {
      if (kind.path.empty()) continue;
      const Text target = program + kind.path;  // as ProgramFilePath spells it
      named.insert(target);
      if (UnpackedIntoData.Holds(target)) continue;
      if (!files.Place(unpacked + kind.folder + GetFileName(kind.path), target)) {
        files.Undo();
        return false;
      }
    }
  }
  const bool inserted = OdbcTransaction(LibraryDatabase, [&content] {
    for (const PackageEntry& e : content.entries) {
      if (!OdbcExecute(LibraryDatabase, EntryInsert(e))) return false;
    }
    return true;
  });
  if (!inserted) {
    files.Undo();
    return false;
  }
  UnpackedIntoData.Keep(named);
  return true;
}

// The first item of DirectoryTree with that text and value, -1 when there is none.
int FindDirectory(const Text& name, int tag) {
  const int count = ui::TreeItemCount(MainWindow::DirectoryTree);
  for (int i = 0; i < count; ++i) {
    if (ui::TreeItemData(MainWindow::DirectoryTree, i) == tag &&
        ui::TreeItemText(MainWindow::DirectoryTree, i) == name) {
      return i;
    }
  }
  return -1;
}

// Adds the package's directories that the tree lacks, each under its parent's match; how many.
int MergeDirectories(const PackageContent& content) {
  int added = 0;
  for (const PackageDirectory& dir : content.directories) {
    if (FindDirectory(dir.name, dir.tag) >= 0) continue;
    int parent = -1;
    if (dir.parent != -1) {
      parent = FindDirectory(ui::TreeItemText(w::ImportTree, dir.parent),
                             ui::TreeItemData(w::ImportTree, dir.parent));
      if (parent < 0) parent = dir.parent;
    }
    ui::TreeAddItem(MainWindow::DirectoryTree, parent, dir.name, dir.tag);
    ++added;
  }
  return added;
}

// The merge of an archive unpacked whole; windowGone tells after a pause that the window was
// closed (its close removed the work folder).
template <typename Gone>
void MergeUnpackedPackage(const Gone& windowGone) {
  ui::SetText(w::StatusLabel, "解压完成，导入数据中....");
  PauseForStatus();
  if (windowGone()) return;
  ui::SetText(w::StatusLabel, "正在读取目录.....");

  PackageContent content;
  const PackageRead read = ReadPackageDatabase(content);
  if (read == PackageRead::kUnreadable) return EndImport(kNoDatabaseMessage, "导入失败！");
  if (read == PackageRead::kNotGbk) return EndImport(kNotGbkMessage, "导入失败！");
  if (!RowsStayInDataFolder(content)) return EndImport(kOutsidePathMessage, "导入失败！");
  ui::TreeClear(w::ImportTree);
  for (const PackageDirectory& dir : content.directories) {
    ui::TreeAddItem(w::ImportTree, dir.parent, dir.name, dir.tag);
  }
  LoadDirectoryTree();
  ui::SetText(w::StatusLabel, "正在对比目录.....");
  PauseForStatus();
  if (windowGone()) return;
  ui::SetText(w::StatusLabel, "目录对比完毕，1秒后自动开始加入文件");
  PauseForStatus();
  if (windowGone()) return;

  // No pause from here to the tree: the tree is matched as it is when the rows are in.
  if (!AddEntries(content)) return EndImport(kMergeFailedMessage, "导入失败！");
  // Saved at once like any other change of the tree: a refresh or a crash before the exit's
  // save would otherwise lose the new directories, and their entries with them.
  if (MergeDirectories(content) > 0) StartDirectoryTreeSave();

  ui::SetText(w::StatusLabel, "加入完成，删除临时文件中.....");
  PauseForStatus();
  if (windowGone()) return;
  EndImport(nullptr, "完成！！");
}

}  // namespace

bool ImportInProgress() { return ImportTransferring; }

namespace {

// The files an import cut off by the program's end wrote straight into the data folder: those
// on its list that no entry names are removed. Nothing is removed when the entries cannot be
// read, nor anything the list names outside the data folder's three folders, nor a file older
// than the list.
void RemoveFilesOfCutImport() {
  Bytes bytes;
  if (!ReadFileBytes(NewFilesList(), bytes) || bytes.empty()) return;
  std::vector<Text> listed = SplitText(Text(bytes.begin(), bytes.end()), "\n");
  const long long made = std::strtoll(listed.front().c_str(), nullptr, 10);
  if (made <= 0) return;
  const std::vector<Text> columns = {"使用方法", "图片", "例程"};
  const int set = OdbcQuery(LibraryDatabase, "SELECT `使用方法`,`图片`,`例程` FROM `内含信息`");
  if (set == 0) return;
  std::unordered_set<Text> named;
  OdbcReadRows(LibraryDatabase, set, columns, [&named](std::vector<Text>& paths) {
    for (const Text& path : paths) {
      if (!path.empty()) named.insert(ProgramFilePath(path));
    }
  });
  OdbcCloseRecordSet(LibraryDatabase, set);
  const Text program = ProgramFilePath("");
  for (std::size_t k = 1; k < listed.size(); ++k) {
    const Text& path = listed[k];
    if (path.size() <= program.size() || path.compare(0, program.size(), program) != 0) continue;
    const Text stored = path.substr(program.size());
    const bool inData = IsRowFilePath(stored, kUsageFolder) || IsRowFilePath(stored, kPictureFolder) ||
                        IsRowFilePath(stored, kExampleFolder);
    if (!inData || named.count(path) != 0) continue;
    if (FileModifiedNanoseconds(path) >= made) RemoveFile(path);
  }
}

}  // namespace

void ResetImportTempFolder() {
  RemoveFilesOfCutImport();
  RemoveDirectoryTree(WorkFolder());
  MakeDirectory(WorkFolder());
}

void AbandonImport() {
  if (!ImportTransferring) return;
  UnpackedIntoData.RemoveAll();
  RemoveDirectoryTree(WorkFolder());
  ImportTransferring = false;
}

void MainWindow_ImportMenuItem_OnSelected() { ui::LoadWindow(ImportWindow::Self); }

void ImportWindow_ConfirmPasswordButton_OnClick() { ImportPassword = ui::GetText(w::PasswordBox); }

void ImportWindow_OpenButton_OnClick() {
  if (!ui::ShowCommonDialog(w::FileDialog)) return;
  const Text name = ui::GetDialogFileName(w::FileDialog);
  // The header alone is read: a package may be hundreds of megabytes.
  Bytes header(kPackageHeader.size());
  EncryptedFile plain("", 0);
  if (!plain.Open(name, kFileModeRead) || plain.Read(header.data(), header.size()) != header.size() ||
      !StartsWith(header, kPackageHeader.data(), kPackageHeader.size())) {
    ui::ShowMessageBox("验证文件头失败！！\r\n打开文件失败！！", ui::kMbIconWarning);
    ui::SetDialogFileName(w::FileDialog, "");
    return;
  }
  ui::SetText(w::PathBox, name);
}

void ImportWindow_StartButton_OnClick() {
  if (ImportPressed) return;
  ImportPressed = true;
  struct Release {
    ~Release() { ImportPressed = false; }
  } release;
  const std::uint64_t closings = WindowClosings;
  const auto windowGone = [closings] { return WindowClosings != closings || !ui::IsCreated(w::Self); };

  ui::SetText(w::StatusLabel, "验证文件中.....");
  PauseForStatus();
  if (windowGone()) return;

  // bytes 0-9 as stored, the rest deciphered, as a read through the cipher from position 0 gives;
  // the trailer is there at once, the rest arrives while the import goes on
  auto package = std::make_unique<ArrivingPackage>();
  if (!package->Start(ui::GetDialogFileName(w::FileDialog), ImportPassword) || !EndsWithTrailer(*package)) {
    ui::ShowMessageBox("密码验证失败！\r\n现行密码：" + ImportPassword, ui::kMbIconWarning);
    ui::SetText(w::StatusLabel, "验证失败！");
    return;
  }

  // The work folder is one for the program folder: an import of another instance of the
  // program there keeps it (and the files it lists) to itself until it ends. Held from here, so
  // whatever removes the work folder while this import runs removes its own.
  FolderClaim claim;
  if (!claim.Take(ProgramFilePath(""))) return EndImport(kOtherImportMessage, "导入失败！", false);
  SetInputsEnabled(false);
  ImportTransferring = true;
  TransferDone = 0;
  ui::SetText(w::StatusLabel, "验证成功！准备进入解压.......");
  PauseForStatus();
  if (windowGone()) return;

  EnsureDataFolders();
  ResetImportTempFolder();
  if (!IsFolder(WorkFolder())) return EndImport(kWorkFolderMessage, "导入失败！");
  // The archive between header and trailer is unpacked where it lies in memory: writing it
  // to the work folder first only to read it back would cost as much as the unpacking.
  // Whatever way the import ends short of complete, no file it wrote stays in the data folder.
  struct RemoveUnkept {
    ~RemoveUnkept() { UnpackedIntoData.RemoveAll(); }
  } removeUnkept;
  UnpackedIntoData.StartList();
  const ZipRedirect intoData{[](const std::vector<Text>& parts) { return UnpackedIntoData.Target(parts); },
                             [](const Text& path) { UnpackedIntoData.Written(path); }};
  const std::uint64_t archiveAt = kPackageHeader.size();
  const int unpacked = ZipExtractBytes(
      package->data() + archiveAt, package->size() - archiveAt - kPackageTrailer.size(), UnpackedFolder(),
      [](int percent) {
        ui::RaiseComponentProgress(w::ZipObject, percent);
        return true;
      },
      intoData,
      [&package, archiveAt](std::uint64_t from, std::uint64_t to) {
        return package->WaitFor(archiveAt + from, archiveAt + to);
      });
  package.reset();
  if (unpacked != kZipExtractDone) {
    UnpackedIntoData.RemoveAll();
    RemoveDirectoryTree(WorkFolder());
    ui::ShowMessageBox("未知错误，解压失败！！", ui::kMbOk);
    return EndImport(nullptr, "");
  }
  // The unpacking reports 100 twice; the merge runs here, once, on a complete unpacking.
  MergeUnpackedPackage(windowGone);
}

void ImportWindow_ZipObject_OnProgress(int percent) { ui::SetProgress(w::ProgressBar, percent); }

bool ImportWindow_OnCanClose() {
  if (TransferDone != 0 || !ImportTransferring) return true;
  if (ui::ShowMessageBox("还没有导出完成！！是否确定关闭？？", ui::kMbYesNo, "是否关闭？") != ui::kIdYes) {
    return false;
  }
  AbandonImport();
  UpdateTransferDone();
  ui::DestroyProgramWindow(w::Self);
  return false;
}

void BindImportHandlers() {
  using ui::EventKind;
  ui::Bind(MainWindow::Self, MainWindow::ImportMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_ImportMenuItem_OnSelected(); });
  const ui::WindowRef imp = w::Self;
  ui::BindCanClose(imp, [] { return ImportWindow_OnCanClose(); });
  // A new window has no import; a close ends the one it had.
  ui::BindWindow(imp, EventKind::Created, [](int) { ImportTransferring = false; });
  ui::BindWindow(imp, EventKind::Closed, [](int) { ++WindowClosings; });
  ui::Bind(imp, w::OpenButton.name, EventKind::Click, [](int) { ImportWindow_OpenButton_OnClick(); });
  ui::Bind(imp, w::ConfirmPasswordButton.name, EventKind::Click,
           [](int) { ImportWindow_ConfirmPasswordButton_OnClick(); });
  ui::Bind(imp, w::StartButton.name, EventKind::Click, [](int) { ImportWindow_StartButton_OnClick(); });
  ui::Bind(imp, w::ZipObject.name, EventKind::Progress,
           [](int percent) { ImportWindow_ZipObject_OnProgress(percent); });
}
