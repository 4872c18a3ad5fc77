// The entry editor (AddWindow) and the data folder of stored files.
#pragma once

#include "runtime/text.h"
#include "snippets/library.h"

// Creates the missing folders "\DATA", "\DATA\图片", "\DATA\例程", "\DATA\方法".
void EnsureDataFolders();

// The statements a save runs, values quoted. The INSERT of an added entry; the UPDATE of a
// modified one, which finds its row by the old name, description and usage-text path of old.
Text EntryInsertStatement(const Text& dirPath, const Text& name, const Text& id,
                          const Text& description, const Text& pictureExtension,
                          const Text& exampleExtension, const Text& dirTag);
Text EntryUpdateStatement(const Text& name, const Text& id, const Text& description,
                          const Text& pictureExtension, const Text& exampleExtension,
                          const EntryRecord& old);

void MainWindow_AddEntryMenuItem_OnSelected();
void MainWindow_ModifyEntryMenuItem_OnSelected();
void AddWindow_SaveButton_OnClick();
void AddWindow_AddPictureButton_OnClick();
void AddWindow_ClearPictureButton_OnClick();
void AddWindow_AddExampleButton_OnClick();
void AddWindow_ClearExampleButton_OnClick();

void BindEntryEditorHandlers();
