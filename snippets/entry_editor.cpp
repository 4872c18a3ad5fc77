// The entry editor (AddWindow): opening it to add or to modify an entry, its four small
// buttons, and the save into the data folder and table `内含信息`.
#include "snippets/entry_editor.h"

#include <mutex>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/file_names.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "runtime/random.h"
#include "snippets/directory_tree.h"
#include "snippets/entry_list.h"
#include "snippets/globals.h"
#include "ui/ui.h"

namespace {

// True while the example dialog may still name the copy of the old example that the last
// opening for modification wrote; the save then keeps the old example's extension.
bool ExampleCopyMade = false;

// The temporary copy of the example of the entry being modified (a name without extension).
Text ExampleCopyPath() { return GetSpecialFolder(kSpecialFolderTemp) + "lswj"; }

// The text after the last "\" or "/" (GBK-aware); the whole text when it has neither.
Text LastPathComponent(const Text& path) {
  const int backslash = FindTextReverse(path, "\\");
  const int slash = FindTextReverse(path, "/");
  const int last = backslash > slash ? backslash : slash;
  if (last < 1) return path;
  return TextRight(path, static_cast<int>(path.size()) - last);
}

// The extension taken from the file name alone: a "." in a folder name never counts, and a
// name without "." has none, so the stored file's name always stays inside its folder.
Text ExtensionOf(const Text& path) {
  const Text name = LastPathComponent(path);
  if (FindText(name, ".") < 0) return "";
  return GetFileExtension(name);
}

// Loads the editor (or brings the open one to the front); each opening adds "-" and the
// selected directory's path to the title.
void OpenEditor() {
  ui::LoadWindow(AddWindow::Self);
  const int item = ui::TreeCurrentItem(MainWindow::DirectoryTree);
  const Text path = GetTreeItemPath(MainWindow::DirectoryTree, item);
  ui::SetTitle(AddWindow::Self, ui::GetTitle(AddWindow::Self) + "-" + path);
}

Bytes ReadStoredFile(const Text& storedPath) {
  return DecompressBytes(ReadFileBytes(GetRunDirectory() + storedPath));
}

}  // namespace

Text EntryInsertStatement(const Text& dirPath, const Text& name, const Text& id,
                          const Text& description, const Text& pictureExtension,
                          const Text& exampleExtension, const Text& dirTag) {
  return "INSERT INTO `内含信息`  (`路径`, `名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`)  VALUES ('" +
         SqlEscape(dirPath) + "','" + SqlEscape(name) + "' , '\\DATA\\方法\\" + SqlEscape(id) +
         ".txt', '" + SqlEscape(description) + "','\\DATA\\图片\\" + SqlEscape(id) + "." +
         SqlEscape(pictureExtension) + "','\\DATA\\例程\\" + SqlEscape(id) + "." +
         SqlEscape(exampleExtension) + "' ,'" + SqlEscape(dirTag) + "');";
}

Text EntryUpdateStatement(const Text& name, const Text& id, const Text& description,
                          const Text& pictureExtension, const Text& exampleExtension,
                          const std::array<Text, 5>& old) {
  return "UPDATE  `内含信息`  SET `名称` = '" + SqlEscape(name) + "',`使用方法` = '\\DATA\\方法\\" +
         SqlEscape(id) + ".txt',`说明`='" + SqlEscape(description) + "',`图片`='\\DATA\\图片\\" +
         SqlEscape(id) + "." + SqlEscape(pictureExtension) + "',`例程`='\\DATA\\例程\\" + SqlEscape(id) +
         "." + SqlEscape(exampleExtension) + "'  WHERE `名称` = '" + SqlEscape(old[0]) +
         "'  AND `说明` = '" + SqlEscape(old[1]) + "'  AND `使用方法`='" + SqlEscape(old[2]) + "';";
}

void EnsureDataFolders() {
  const Text program = GetRunDirectory();
  for (const char* folder : {"\\DATA", "\\DATA\\图片", "\\DATA\\例程", "\\DATA\\方法"}) {
    if (!FileExists(program + folder)) MakeDirectory(program + folder);
  }
}

void MainWindow_AddEntryMenuItem_OnSelected() {
  OpenEditor();
  const int item = ui::TreeCurrentItem(MainWindow::DirectoryTree);
  CurrentDirPath = GetTreeItemPath(MainWindow::DirectoryTree, item);
  EditMode = 0;
  CurrentDirTag = ToText(ui::TreeItemData(MainWindow::DirectoryTree, item));
}

void MainWindow_ModifyEntryMenuItem_OnSelected() {
  const int row = ui::ListCurrentRow(MainWindow::EntryListView);
  const int value = row < 0 ? 0 : ui::ListItemData(MainWindow::EntryListView, row);
  if (value < 1) return;
  EntryRecord record;
  {
    std::lock_guard<std::mutex> lock(EntryListLock);
    if (value > static_cast<int>(EntryList.size())) return;
    record = EntryList[value - 1];
  }

  OpenEditor();
  EditMode = 1;
  ui::SetPicture(AddWindow::PictureBox, ReadStoredFile(record.picturePath));
  ui::SetText(AddWindow::DescriptionBox, record.description);
  ui::SetText(AddWindow::NameBox, record.name);
  ui::SetText(AddWindow::UsageBox, ToText(ReadStoredFile(record.usagePath)));
  EditOld = {record.name, record.description, record.usagePath, record.picturePath,
             record.examplePath};
  ui::SetDialogTag(AddWindow::PictureDialog, ExtensionOf(record.picturePath));

  ExampleCopyMade = false;
  const Text program = GetRunDirectory();
  if (!LastPathComponent(record.examplePath).empty() && FileExists(program + record.examplePath)) {
    const Text copy = ExampleCopyPath();
    ui::SetText(AddWindow::ExamplePathBox, copy);
    WriteFileBytes(copy, ReadStoredFile(record.examplePath));
    ui::SetDialogFileName(AddWindow::ExampleDialog, copy);
    ExampleCopyMade = true;
  }
}

void AddWindow_SaveButton_OnClick() {
  EnsureDataFolders();
  Text pictureExtension = ExtensionOf(ui::GetDialogFileName(AddWindow::PictureDialog));
  const Text exampleFile = ui::GetDialogFileName(AddWindow::ExampleDialog);
  Text exampleExtension = ExtensionOf(exampleFile);

  const Text name = ui::GetText(AddWindow::NameBox);
  if (name.empty()) {
    ui::ShowMessageBox("请输入代码名称!!", ui::kMbIconWarning);
    return;
  }
  const Text usage = ui::GetText(AddWindow::UsageBox);
  if (usage.empty()) {
    ui::ShowMessageBox("请输入使用方法!!", ui::kMbIconWarning);
    return;
  }

  const Text id = MakeRandomLetters(15, 3);
  const Text copy = ExampleCopyPath();
  if (EditMode != 0) {
    if (pictureExtension.empty()) pictureExtension = ui::GetDialogTag(AddWindow::PictureDialog);
    if (ExampleCopyMade && exampleFile == copy) exampleExtension = ExtensionOf(EditOld[4]);
  }

  const Text program = GetRunDirectory();
  const Bytes picture = ui::GetPicture(AddWindow::PictureBox);
  if (!picture.empty()) {
    WriteFileBytes(program + "\\DATA\\图片\\" + id + "." + pictureExtension, CompressBytes(picture));
  }
  if (!exampleFile.empty()) {
    WriteFileBytes(program + "\\DATA\\例程\\" + id + "." + exampleExtension,
                   CompressBytes(ReadFileBytes(exampleFile)));
  }
  WriteFileBytes(program + "\\DATA\\方法\\" + id + ".txt", CompressBytes(ToByteSet(usage)));

  const Text description = ui::GetText(AddWindow::DescriptionBox);
  if (EditMode == 0) {
    if (!OdbcExecute(LibraryDatabase,
                     EntryInsertStatement(CurrentDirPath, name, id, description, pictureExtension,
                                          exampleExtension, CurrentDirTag))) {
      ui::ShowMessageBox("加入数据失败!!", ui::kMbOk);
      return;
    }
    ui::ShowMessageBox("加入数据成功!!", ui::kMbOk);
  } else {
    if (!OdbcExecute(LibraryDatabase,
                     EntryUpdateStatement(name, id, description, pictureExtension, exampleExtension,
                                          EditOld))) {
      ui::ShowMessageBox("修改数据失败!!", ui::kMbOk);
      return;
    }
    ui::ShowMessageBox("修改数据成功!!", ui::kMbOk);
    // Only now that the row names the new files may the former ones go.
    RemoveFile(program + EditOld[2]);
    RemoveFile(program + EditOld[3]);
    RemoveFile(program + EditOld[4]);
    RemoveFile(copy);
    ExampleCopyMade = false;
  }
  ListEntriesOfSelectedDirectory();
  ui::DestroyProgramWindow(AddWindow::Self);
}

void AddWindow_AddPictureButton_OnClick() {
  if (!ui::ShowCommonDialog(AddWindow::PictureDialog)) return;
  ui::SetPicture(AddWindow::PictureBox, ReadFileBytes(ui::GetDialogFileName(AddWindow::PictureDialog)));
}

void AddWindow_ClearPictureButton_OnClick() {
  ui::SetPicture(AddWindow::PictureBox, Bytes());
  ui::SetDialogFileName(AddWindow::PictureDialog, "");
}

void AddWindow_AddExampleButton_OnClick() {
  if (!ui::ShowCommonDialog(AddWindow::ExampleDialog)) return;
  ui::SetText(AddWindow::ExamplePathBox, ui::GetDialogFileName(AddWindow::ExampleDialog));
}

void AddWindow_ClearExampleButton_OnClick() { ui::SetDialogFileName(AddWindow::ExampleDialog, ""); }

void BindEntryEditorHandlers() {
  using ui::EventKind;
  ui::Bind(MainWindow::Self, MainWindow::AddEntryMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_AddEntryMenuItem_OnSelected(); });
  ui::Bind(MainWindow::Self, MainWindow::ModifyEntryMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_ModifyEntryMenuItem_OnSelected(); });
  const ui::WindowRef add = AddWindow::Self;
  ui::Bind(add, AddWindow::SaveButton.name, EventKind::Click, [](int) { AddWindow_SaveButton_OnClick(); });
  ui::Bind(add, AddWindow::AddPictureButton.name, EventKind::Click,
           [](int) { AddWindow_AddPictureButton_OnClick(); });
  ui::Bind(add, AddWindow::ClearPictureButton.name, EventKind::Click,
           [](int) { AddWindow_ClearPictureButton_OnClick(); });
  ui::Bind(add, AddWindow::AddExampleButton.name, EventKind::Click,
           [](int) { AddWindow_AddExampleButton_OnClick(); });
  ui::Bind(add, AddWindow::ClearExampleButton.name, EventKind::Click,
           [](int) { AddWindow_ClearExampleButton_OnClick(); });
}
