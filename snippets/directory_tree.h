// The directory tree: loading it from and saving it to table `目录`, adding, renaming and
// deleting directories, and the path text of a directory.
#pragma once

#include "runtime/text.h"
#include "ui/ui.h"

void LoadDirectoryTree();
// Thread entry; counted is 1 for a load StartDirectoryTreeLoad started.
void LoadDirectoryTreeThread(int counted);
// Starts a load on a worker; changes asked for meanwhile wait until it has filled the tree.
void StartDirectoryTreeLoad();
// Saves the tree on a worker as the menu handlers do after a change; for changes made elsewhere
// (the import's merge). GUI thread.
void StartDirectoryTreeSave();
// Writes the whole tree in one transaction; returns the item count.
int SaveDirectoryTree();
void SaveDirectoryTreeThread(int unused);
// Marks the tree as not filled from the table yet (start-up calls it): until a load has filled
// it, saves leave the table alone, so closing right after start never stores an empty tree.
void ForgetLoadedTree();
// "/" + text for a top-level item, "/" + parent's text + "/" + text deeper; "" with no current
// item in the tree.
Text GetTreeItemPath(ui::ControlRef tree, int index);
// A DirectoryTag drawn from the calling thread's generator as it stands:
// rand(12..9999) x rand(51..190) x 50.
int DrawDirectoryTag();
// A new DirectoryTag: the draw after a fresh seeding.
int NewDirectoryTag();

void MainWindow_AddRootMenuItem_OnSelected();
void MainWindow_InsertChildMenuItem_OnSelected();
void MainWindow_DeleteDirectoryMenuItem_OnSelected();
void MainWindow_DirectoryTree_OnLabelEdited(int index);
void MainWindow_DirectoryTree_OnRightButtonUp();
void MainWindow_RefreshTreeMenuItem_OnSelected();
void MainWindow_SaveTreeMenuItem_OnSelected();

void BindDirectoryTreeHandlers();
