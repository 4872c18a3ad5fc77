// The entry list's pop-up items that act on the current row: delete the entry, open its example
// with the desktop's program for its type, save its example or picture under a chosen name.
#pragma once

#include "runtime/text.h"
#include "snippets/library.h"

// The statement that deletes exactly the entry's own row: found by its name, description and
// usage-text path (the last holds the entry's own file id), the values quoted.
Text EntryDeleteStatement(const EntryRecord& entry);
// Where "打开例程" puts the unpacked example: "临时." and the extension of the stored file's
// name, in the instance's own temporary folder; "" when there is no such folder.
Text ExampleOpenCopyPath(const Text& examplePath);

void MainWindow_DeleteEntryMenuItem_OnSelected();
void MainWindow_OpenExampleMenuItem_OnSelected();
void MainWindow_SaveExampleAsMenuItem_OnSelected();
void MainWindow_SavePictureAsMenuItem_OnSelected();

// Binds these four items and the search button (BindSearchHandlers).
void BindSearchAndEntryActionHandlers();
