// The entry list of the selected directory and the preview of the selected entry.
#pragma once

#include "runtime/text.h"

void ListEntriesOfSelectedDirectory();
void ListEntriesThread(int unused);
// Appends every remaining row of the record set to EntryListView and EntryList, numbering on
// from counter. Stops (false) as soon as a listing newer than generation has begun.
bool AppendEntryRows(int recordSet, int& counter, unsigned generation);
// Empties EntryListView and EntryList for a new listing or search; returns its generation.
unsigned BeginListing();
void ShowFirstEntryPicture();

void MainWindow_DirectoryTree_OnSelectionChanged();
void MainWindow_EntryListView_OnSelectionChanged();
void MainWindow_PreviewHScrollBar_OnPositionChanged();
void MainWindow_PreviewVScrollBar_OnPositionChanged();
void MainWindow_EntryListView_OnRightClick();

// The picture size probe file in the temporary folder.
Text PictureProbeFile();

void BindEntryListHandlers();
