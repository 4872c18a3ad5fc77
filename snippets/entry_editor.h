// The entry editor (AddWindow) and the data folder of stored files.
#pragma once

#include "runtime/text.h"

// Creates the missing folders "\DATA", "\DATA\图片", "\DATA\例程", "\DATA\方法".
void EnsureDataFolders();

void MainWindow_AddEntryMenuItem_OnSelected();
void MainWindow_ModifyEntryMenuItem_OnSelected();
void AddWindow_SaveButton_OnClick();
void AddWindow_AddPictureButton_OnClick();
void AddWindow_ClearPictureButton_OnClick();
void AddWindow_AddExampleButton_OnClick();
void AddWindow_ClearExampleButton_OnClick();

void BindEntryEditorHandlers();
