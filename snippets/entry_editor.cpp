// The entry editor (AddWindow): opening it to add or to modify an entry, its four small
// buttons, and the save into the data folder and table `内含信息`.
#include "snippets/entry_editor.h"

#include <mutex>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/codepage.h"
#include "runtime/database.h"
#include "runtime/file_names.h"
#include "runtime/files.h"
#include "runtime/random.h"
#include "snippets/directory_tree.h"
#include "snippets/entry_list.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "ui/ui.h"

namespace {

// True while the example dialog may still name the copy of the old example that the last
// opening for modification made: a save then keeps the entry's own example.
bool ExampleCopyMade = false;
// The copy holds the old example whole (it could be read and written).
bool ExampleCopyWritten = false;

// Loads the editor (or brings the open one to the front); each opening adds "-" and the
// selected directory's path to the title.
void OpenEditor() {
  ui::LoadWindow(AddWindow::Self);
  const int item = ui::TreeCurrentItem(MainWindow::DirectoryTree);
  const Text path = GetTreeItemPath(MainWindow::DirectoryTree, item);
  ui::SetTitle(AddWindow::Self, ui::GetTitle(AddWindow::Self) + "-" + path);
}

// The first typed field that holds a character the library cannot store, named in the message.
bool RefuseUnstorableFields(const Text& name, const Text& usage, const Text& description) {
  const struct {
    const Text& text;
    const char* message;
  } fields[] = {
      {name, "名称中含有无法保存的字符（如表情符号），请修改后再保存!!"},
      {usage, "使用方法中含有无法保存的字符（如表情符号），请修改后再保存!!"},
      {description, "说明中含有无法保存的字符（如表情符号），请修改后再保存!!"},
  };
  for (const auto& field : fields) {
    if (HoldsUnstorableCharacter(field.text)) {
      ui::ShowMessageBox(field.message, ui::kMbIconWarning);
      return true;
    }
  }
  return false;
}

// The stored files one save writes: all of them or none stay.
class SaveFiles {
 public:
  bool Write(const Text& storedPath, const Bytes& content) {
    if (!WriteStoredFile(storedPath, content)) return false;
    written_.push_back(storedPath);
    return true;
  }
  void RemoveAll() {
    for (const Text& path : written_) RemoveStoredFile(path);
    written_.clear();
  }

 private:
  std::vector<Text> written_;
};

// The example a save stores. The entry's own example when the dialog still names the copy the
// opening made: read from its stored file, so nothing that happened to the temporary copy can
// change or empty it. False when the file cannot be read.
bool ReadExampleToStore(const Text& exampleFile, bool keepsOldExample, Bytes& content) {
  if (!keepsOldExample) return ReadFileBytes(exampleFile, content);
  if (ReadStoredFile(EditOld.examplePath, content)) return true;
  return ExampleCopyWritten && ReadFileBytes(ExampleCopyPath(), content);
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
                          const EntryRecord& old) {
  return "UPDATE  `内含信息`  SET `名称` = '" + SqlEscape(name) + "',`使用方法` = '\\DATA\\方法\\" +
         SqlEscape(id) + ".txt',`说明`='" + SqlEscape(description) + "',`图片`='\\DATA\\图片\\" +
         SqlEscape(id) + "." + SqlEscape(pictureExtension) + "',`例程`='\\DATA\\例程\\" + SqlEscape(id) +
         "." + SqlEscape(exampleExtension) + "'  WHERE `名称` = '" + SqlEscape(old.name) +
         "'  AND `说明` = '" + SqlEscape(old.description) + "'  AND `使用方法`='" + SqlEscape(old.usagePath) + "';";
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
  EditOld = record;
  ui::SetDialogTag(AddWindow::PictureDialog, FileNameExtension(record.picturePath));

  ExampleCopyMade = false;
  ExampleCopyWritten = false;
  const Text copy = ExampleCopyPath();
  if (!copy.empty() && !LastPathComponent(record.examplePath).empty() &&
      FileExists(ProgramFilePath(record.examplePath))) {
    ui::SetText(AddWindow::ExamplePathBox, copy);
    Bytes example;
    ExampleCopyWritten = ReadStoredFile(record.examplePath, example) && WriteFileBytes(copy, example);
    ui::SetDialogFileName(AddWindow::ExampleDialog, copy);
    ExampleCopyMade = true;
  }
}

void AddWindow_SaveButton_OnClick() {
  EnsureDataFolders();
  Text pictureExtension = FileNameExtension(ui::GetDialogFileName(AddWindow::PictureDialog));
  const Text exampleFile = ui::GetDialogFileName(AddWindow::ExampleDialog);
  Text exampleExtension = FileNameExtension(exampleFile);

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
  const Text description = ui::GetText(AddWindow::DescriptionBox);
  if (RefuseUnstorableFields(name, usage, description)) return;

  const Text id = MakeRandomLetters(15, 3);
  const Text copy = ExampleCopyPath();
  const bool keepsOldExample =
      EditMode != 0 && ExampleCopyMade && !copy.empty() && exampleFile == copy;
  if (EditMode != 0) {
    if (pictureExtension.empty()) pictureExtension = ui::GetDialogTag(AddWindow::PictureDialog);
    if (keepsOldExample) exampleExtension = FileNameExtension(EditOld.examplePath);
  }

  // Every stored file is written whole before the row may name it; any failure takes back the
  // files of this save and leaves the former row and files as they were.
  const char* const failure = EditMode == 0 ? "加入数据失败!!" : "修改数据失败!!";
  SaveFiles files;
  const auto fail = [&] {
    files.RemoveAll();
    ui::ShowMessageBox(failure, ui::kMbOk);
  };
  const Bytes picture = ui::GetPicture(AddWindow::PictureBox);
  if (!picture.empty() && !files.Write(kPictureFolder + id + "." + pictureExtension, picture)) {
    return fail();
  }
  if (!exampleFile.empty()) {
    Bytes example;
    if (!ReadExampleToStore(exampleFile, keepsOldExample, example) ||
        !files.Write(kExampleFolder + id + "." + exampleExtension, example)) {
      return fail();
    }
  }
  if (!files.Write(kUsageFolder + id + ".txt", ToByteSet(usage))) return fail();

  if (EditMode == 0) {
    if (!OdbcExecute(LibraryDatabase,
                     EntryInsertStatement(CurrentDirPath, name, id, description, pictureExtension,
                                          exampleExtension, CurrentDirTag))) {
      return fail();
    }
    ui::ShowMessageBox("加入数据成功!!", ui::kMbOk);
  } else {
    // A row that is not there any more (changed meanwhile, or read back otherwise than it
    // was stored) is no success: its files must not go.
    if (OdbcExecuteCounted(LibraryDatabase,
                           EntryUpdateStatement(name, id, description, pictureExtension,
                                                exampleExtension, EditOld)) < 1) {
      return fail();
    }
    ui::ShowMessageBox("修改数据成功!!", ui::kMbOk);
    // Only now that the row names the new files may the former ones go.
    RemoveStoredFile(EditOld.usagePath);
    RemoveStoredFile(EditOld.picturePath);
    RemoveStoredFile(EditOld.examplePath);
    if (!copy.empty()) RemoveFile(copy);
    ExampleCopyMade = false;
    ExampleCopyWritten = false;
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
