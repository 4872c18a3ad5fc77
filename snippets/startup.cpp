// Start-up of the snippet program: globals, the main window, and the created handler that makes
// the library usable (temporary-folder refusal, skin, database file, tables, first workers,
// tray icon).
#include "snippets/startup.h"

#include "resources/resources.h"
#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "snippets/directory_tree.h"
#include "snippets/entry_actions.h"
#include "snippets/entry_editor.h"
#include "snippets/entry_list.h"
#include "snippets/exit_tray.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "snippets/online_services.h"
#include "snippets/update_check.h"
#include "ui/ui.h"
#include "ui/window_def.h"

namespace {

void RunEmptyRoutine() {}

// The program folder starts with the temporary folder less its trailing separator: a plain
// byte comparison, so a folder beside it whose name continues the temporary folder's name
// counts as inside too.
bool InTemporaryFolder(const Text& programFolder) {
  Text temp = GetSpecialFolder(kSpecialFolderTemp);
  temp = TextLeft(temp, static_cast<int>(temp.size()) - 1);
  return programFolder.compare(0, temp.size(), temp) == 0;
}

}  // namespace

bool StartSnippetProgram() {
  SetCurrentFolder(GetRunDirectory());
  RegisterAllWindowDefinitions();
  BindSnippetHandlers();
  InitializeGlobals();
  ui::SetExitRoutine(ReleaseGlobals);
  RunStartupRoutine();
  if (!ui::LoadWindow(MainWindow::Self)) {
    // Without a definition the window could not be built; otherwise the created handler
    // ended the program during the load, which is no load failure.
    if (ui::FindWindowDefinition(MainWindow::Self.name) != nullptr) return true;
    ui::ShowMessageBox("载入启动窗口失败");
    return false;
  }
  return true;
}

int ProgramEntry() {
  // A start-up window that cannot be loaded is a run-time error: the program ends, code 1.
  if (!StartSnippetProgram()) ui::EndProgram(1);
  ui::RunMessageLoop();
  return 0;
}

int RunStartupRoutine() {
  RunEmptyRoutine();
  return 0;
}

void MainWindow_OnCreated() {
  const Text programFolder = GetRunDirectory();
  if (InTemporaryFolder(programFolder)) {
    ui::ShowMessageBox("请解压后运行！否则会导致文件保存失败！", ui::kMbIconInformation);
    ui::EndProgram(0);
  }

  const Bytes& skin = SkinImage();
  SkinH_AttachRes(skin.data(), static_cast<int>(skin.size()), "", 0, 0, 0);

  const Text database = programFolder + "\\DATA.mdb";
  if (!FileExists(database)) {
    ui::ShowMessageBox("数据库文件不存在！！按下确定自动生成！", ui::kMbIconWarning);
    WriteFileBytes(database, EmptyDatabaseTemplate());
  }
  CompactDatabaseFile(database, "", false);  // start-up goes on whatever it returns

  if (!OdbcOpen(LibraryDatabase, database)) {
    ui::ShowMessageBox("打开数据库失败！！可能是数据库不存在！");
    return;
  }
  EnsureLibraryTables(LibraryDatabase);

  ForgetLoadedTree();
  StartDirectoryTreeLoad();
  // Nothing of the web waits here: both run on workers of their own.
  StartThread(CheckForUpdateThread);
  StartThread(ReportOnlineCountThread, OnlineCountStart);

  ui::SetTrayIcon(MainWindow::Self, TrayIconImage(), kTrayTip);
}

void BindSnippetHandlers() {
  ui::BindWindow(MainWindow::Self, ui::EventKind::Created, [](int) { MainWindow_OnCreated(); });
  BindDirectoryTreeHandlers();
  BindExitHandlers();
  BindEntryListHandlers();
  BindEntryEditorHandlers();
  BindSearchAndEntryActionHandlers();
  BindOnlineServiceHandlers();
  BindPackageHandlers();
}
