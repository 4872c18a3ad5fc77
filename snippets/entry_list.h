// The entry list of the selected directory and the preview of the selected entry.
#pragma once

#include <vector>

#include "runtime/text.h"

// Listings and searches that overlap never mix their rows: each request claims a generation
// where it is made (on the GUI thread, in the order the user asked), and only the newest claim
// may write EntryListView and EntryList; an older run stops at its next step.
unsigned ClaimListing();
// Empties EntryListView and EntryList for the run of that generation; false, and nothing
// emptied, once a newer one was claimed.
bool BeginListing(unsigned generation);
// The same for a search: the list then shows no directory of the tree any more.
bool BeginSearchListing(unsigned generation);
// Appends every remaining row of the record set to EntryListView and EntryList, numbering on
// from counter. Stops (false) as soon as a newer generation was claimed.
bool AppendEntryRows(int recordSet, int& counter, unsigned generation);
void ShowFirstEntryPicture();
// The same for the run of that generation: shows nothing once a newer one was claimed.
void ShowFirstEntryPicture(unsigned generation);
// The query of the entries of the directory with that DirectoryTag.
Text EntryListQuery(const Text& tag);

// Lists the selected directory under a generation of its own (the editor's call after a save).
void ListEntriesOfSelectedDirectory();
void ListEntriesOfSelectedDirectory(unsigned generation);
// After directories were deleted: when the list shows the entries of one of them (by its
// DirectoryTag), the list, its status texts and the preview are emptied. GUI thread.
void ClearListingOfDirectories(const std::vector<int>& tags);
// Thread entry; its argument is the generation the tree's handler claimed.
void ListEntriesThread(int generation);

void MainWindow_DirectoryTree_OnSelectionChanged();
void MainWindow_EntryListView_OnSelectionChanged();
void MainWindow_PreviewHScrollBar_OnPositionChanged();
void MainWindow_PreviewVScrollBar_OnPositionChanged();
void MainWindow_EntryListView_OnRightClick();

void BindEntryListHandlers();
