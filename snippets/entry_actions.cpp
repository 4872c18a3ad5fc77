// Deleting the current entry, opening its example and saving its example or picture. GUI
// thread, as menu handlers.
#include "snippets/entry_actions.h"

#include <mutex>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/file_names.h"
#include "runtime/files.h"
#include "snippets/entry_search.h"
#include "snippets/globals.h"
#include "ui/ui.h"

namespace {

// The current row, its item value (0 when there is none) and, when that value names one, a copy
// of its record: a listing may replace EntryList while a dialog is open.
struct CurrentEntry {
  int row = -1;
  int value = 0;
  bool hasRecord = false;
  EntryRecord record;
};

CurrentEntry TakeCurrentEntry() {
  CurrentEntry entry;
  entry.row = ui::ListCurrentRow(MainWindow::EntryListView);
  if (entry.row < 0) return entry;
  entry.value = ui::ListItemData(MainWindow::EntryListView, entry.row);
  std::lock_guard<std::mutex> lock(EntryListLock);
  if (entry.value >= 1 && entry.value <= static_cast<int>(EntryList.size())) {
    entry.record = EntryList[entry.value - 1];
    entry.hasRecord = true;
  }
  return entry;
}

// True when the stored path names a file of the data folder: an entry saved without an example
// names one that is not there, and a row from a stranger's package may name any place.
bool StoredFileThere(const Text& storedPath) {
  if (!IsDataFolderPath(storedPath)) return false;
  const Text path = ProgramFilePath(storedPath);
  return FileExists(path) && !IsFolder(path);
}

// The two files a save-as can write, with their messages.
struct SavedFileKind {
  Text EntryRecord::*path;
  const char* missing;
  const char* unreadable;
};
constexpr SavedFileKind kExampleFile{&EntryRecord::examplePath, "此代码未加入例程！！",
                                     "例程文件已损坏，无法读取！！"};
constexpr SavedFileKind kPictureFile{&EntryRecord::picturePath, "此代码未加入图片！！",
                                     "图片文件已损坏，无法读取！！"};

void SaveStoredFileAs(const SavedFileKind& kind) {
  const CurrentEntry entry = TakeCurrentEntry();
  if (entry.value <= 0 || !entry.hasRecord) return;
  const Text& storedPath = entry.record.*kind.path;
  if (!StoredFileThere(storedPath)) {
    ui::ShowMessageBox(kind.missing);
    return;
  }
  ui::SetDialogFileName(MainWindow::SaveAsDialog, GetFileName(storedPath));
  if (!ui::ShowCommonDialog(MainWindow::SaveAsDialog)) return;
  const Text target = ui::GetDialogFileName(MainWindow::SaveAsDialog);

  // A damaged stored file is said to be so; writing it out empty would look like a copy.
  Bytes content;
  if (!ReadStoredFile(storedPath, content)) {
    ui::ShowMessageBox(kind.unreadable, ui::kMbIconWarning);
    return;
  }
  if (!WriteFileBytes(target, content)) {
    ui::ShowMessageBox("文件保存失败！！请检查保存位置是否可以写入！", ui::kMbIconWarning);
  }
}

}  // namespace

Text EntryDeleteStatement(const EntryRecord& entry) {
  return "DELETE FROM `内含信息`  WHERE `名称` = '" + SqlEscape(entry.name) + "' AND `说明`='" +
         SqlEscape(entry.description) + "' AND `使用方法`='" + SqlEscape(entry.usagePath) + "'";
}

Text ExampleOpenCopyPath(const Text& examplePath) {
  const Text folder = InstanceTempFolder();
  if (folder.empty()) return "";
  // The extension of the file's own name only, so the copy never lands outside the folder.
  return folder + "\\临时." + FileNameExtension(examplePath);
}

void MainWindow_DeleteEntryMenuItem_OnSelected() {
  const CurrentEntry entry = TakeCurrentEntry();
  // Without its record the row's own entry is unknown: deleting by name and description alone
  // would reach entries of other directories.
  if (entry.row < 0 || !entry.hasRecord) return;

  // The row goes first: when it cannot, row and files both stay.
  if (OdbcExecuteCounted(LibraryDatabase, EntryDeleteStatement(entry.record)) < 1) {
    ui::ShowMessageBox("删除失败!!");
    return;
  }
  RemoveStoredFile(entry.record.examplePath);
  RemoveStoredFile(entry.record.picturePath);
  RemoveStoredFile(entry.record.usagePath);
  SkipNextSelection = 1;
  ui::ListRemoveRow(MainWindow::EntryListView, entry.row);
}

void MainWindow_OpenExampleMenuItem_OnSelected() {
  const CurrentEntry entry = TakeCurrentEntry();
  if (entry.value <= 0 || !entry.hasRecord) return;
  const Text& examplePath = entry.record.examplePath;
  if (!StoredFileThere(examplePath)) {
    ui::ShowMessageBox("此代码未加入例程！！");
    return;
  }
  Bytes content;
  if (!ReadStoredFile(examplePath, content)) {
    ui::ShowMessageBox(kExampleFile.unreadable, ui::kMbIconWarning);
    return;
  }
  const Text copy = ExampleOpenCopyPath(examplePath);
  if (copy.empty() || !WriteFileBytes(copy, content)) {
    ui::ShowMessageBox("例程临时文件写入失败，无法打开例程！！", ui::kMbIconWarning);
    return;
  }
  ui::ShellOpen(copy);
}

void MainWindow_SaveExampleAsMenuItem_OnSelected() { SaveStoredFileAs(kExampleFile); }

void MainWindow_SavePictureAsMenuItem_OnSelected() { SaveStoredFileAs(kPictureFile); }

void BindSearchAndEntryActionHandlers() {
  BindSearchHandlers();
  using ui::EventKind;
  const ui::WindowRef main = MainWindow::Self;
  ui::Bind(main, MainWindow::DeleteEntryMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_DeleteEntryMenuItem_OnSelected(); });
  ui::Bind(main, MainWindow::OpenExampleMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_OpenExampleMenuItem_OnSelected(); });
  ui::Bind(main, MainWindow::SaveExampleAsMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_SaveExampleAsMenuItem_OnSelected(); });
  ui::Bind(main, MainWindow::SavePictureAsMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_SavePictureAsMenuItem_OnSelected(); });
}
