// The package import (ImportWindow): the header check, the password check by the trailer, the
// unpacking into the work folder and the merge of the package's directories and entries.
#pragma once

// True while an import runs (from its unpacking on until it ends or its window is closed).
bool ImportInProgress();
// Removes the work folder with everything in it and makes it again, empty.
void ResetImportTempFolder();
// An import is left in one of its pauses, where nothing of the library is half done (the
// program ends, or its window is closed): the files it wrote and its work folder go.
void AbandonImport();

void MainWindow_ImportMenuItem_OnSelected();
void ImportWindow_ConfirmPasswordButton_OnClick();
void ImportWindow_OpenButton_OnClick();
void ImportWindow_StartButton_OnClick();
void ImportWindow_ZipObject_OnProgress(int percent);
bool ImportWindow_OnCanClose();

// Called by BindPackageHandlers.
void BindImportHandlers();
