// The entry list of the selected directory, the preview of the selected entry (usage text,
// picture, scroll ranges) and the list's pop-up menu.
#include "snippets/entry_list.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/picture.h"
#include "runtime/threads.h"
#include "snippets/directory_tree.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "ui/ui.h"

namespace {

// The part of the picture that the preview frame shows.
constexpr int kViewWidth = 479;
constexpr int kViewHeight = 391;
// Rows a listing hands to the GUI thread in one step.
constexpr std::size_t kRowsPerStep = 2048;

// GUI thread only: the DirectoryTag whose entries the list shows, while it shows a directory.
bool ListShowsDirectory = false;
int ListedDirectoryTag = 0;

// Runs step on the GUI thread only while generation is still the newest claim; false when a
// newer one was claimed. Every write of a run goes through here, so once a newer run has
// emptied the list no older row can land in it.
bool RunIfCurrent(unsigned generation, const std::function<void()>& step) {
  bool current = false;
  ui::RunOnGui([&] {
    current = ListingGeneration.load() == generation;
    if (current) step();
  });
  return current;
}

bool FirstPicturePath(Text& path) {
  std::lock_guard<std::mutex> lock(EntryListLock);
  if (EntryList.empty()) return false;
  path = EntryList.front().picturePath;
  return true;
}

}  // namespace

unsigned ClaimListing() { return ++ListingGeneration; }

bool BeginListing(unsigned generation) {
  return RunIfCurrent(generation, [] {
    ui::ListClear(MainWindow::EntryListView);
    std::lock_guard<std::mutex> lock(EntryListLock);
    EntryList.clear();
  });
}

bool BeginSearchListing(unsigned generation) {
  return BeginListing(generation) && RunIfCurrent(generation, [] { ListShowsDirectory = false; });
}

bool AppendEntryRows(int recordSet, int& counter, unsigned generation) {
  std::vector<EntryRecord> batch;
  for (;;) {
    // Rows are read off the GUI thread and cross to it a batch at a time: one wait per batch
    // instead of one per row, and no database call ever waits inside a ui step.
    batch.clear();
    ReadEntryRecords(LibraryDatabase, recordSet, kRowsPerStep, batch);
    if (batch.empty()) return true;

    const bool current = RunIfCurrent(generation, [&] {
      int value = counter;
      for (EntryRecord& record : batch) {
        const int row = ui::ListAppendRow(MainWindow::EntryListView, ++value);
        ui::ListSetCell(MainWindow::EntryListView, row, 1, record.description);
        ui::ListSetCell(MainWindow::EntryListView, row, 0, record.name);
        // Not held across the ui calls: an event they raise may read the records.
        std::lock_guard<std::mutex> lock(EntryListLock);
        EntryList.push_back(std::move(record));
      }
    });
    if (!current) return false;
    counter += static_cast<int>(batch.size());
  }
}

void ShowFirstEntryPicture() {
  Text path;
  if (!FirstPicturePath(path)) return;
  ui::SetPicture(MainWindow::PreviewPicture, ReadStoredFile(path));
}

void ShowFirstEntryPicture(unsigned generation) {
  Text path;
  if (!FirstPicturePath(path)) return;
  // Read off the GUI thread; only showing it waits for the GUI.
  const Bytes picture = ReadStoredFile(path);
  RunIfCurrent(generation, [&] { ui::SetPicture(MainWindow::PreviewPicture, picture); });
}

Text EntryListQuery(const Text& tag) {
  return "SELECT * FROM `内含信息` WHERE  `标记`='" + SqlEscape(tag) + "';";
}

void ListEntriesOfSelectedDirectory() { ListEntriesOfSelectedDirectory(ClaimListing()); }

void ListEntriesOfSelectedDirectory(unsigned generation) {
  // One visit to the GUI thread, so the tag and the path belong to the same item.
  Text tag;
  Text path;
  ui::RunOnGui([&] {
    const int item = ui::TreeCurrentItem(MainWindow::DirectoryTree);
    tag = ToText(ui::TreeItemData(MainWindow::DirectoryTree, item));
    path = GetTreeItemPath(MainWindow::DirectoryTree, item);
  });

  // The record set is a snapshot: the query runs before the list is touched.
  const int recordSet = OdbcQuery(LibraryDatabase, EntryListQuery(tag));
  int counter = 0;

  const Text part0 = "选中目录:" + path + "  标记:" + tag;
  bool current = BeginListing(generation) && RunIfCurrent(generation, [&] {
    ListShowsDirectory = true;
    ListedDirectoryTag = ToInt(tag);
    ui::StatusBarSetText(MainWindow::MainStatusBar, 0, part0);
    ui::StatusBarSetTip(MainWindow::MainStatusBar, 0, part0);
  });
  if (current) current = AppendEntryRows(recordSet, counter, generation);
  if (recordSet != 0) OdbcCloseRecordSet(LibraryDatabase, recordSet);
  if (!current) return;

  current = RunIfCurrent(generation, [&] {
    const Text part1 = "记录条数:" + ToText(ui::ListRowCount(MainWindow::EntryListView));
    ui::StatusBarSetText(MainWindow::MainStatusBar, 1, part1);
    ui::StatusBarSetTip(MainWindow::MainStatusBar, 1, part1);
  });
  if (current && counter > 0) ShowFirstEntryPicture(generation);
}

void ClearListingOfDirectories(const std::vector<int>& tags) {
  if (!ListShowsDirectory) return;
  if (std::find(tags.begin(), tags.end(), ListedDirectoryTag) == tags.end()) return;
  ClaimListing();  // a listing still under way stops writing
  ListShowsDirectory = false;
  ui::ListClear(MainWindow::EntryListView);
  {
    std::lock_guard<std::mutex> lock(EntryListLock);
    EntryList.clear();
  }
  for (int part : {0, 1}) {
    ui::StatusBarSetText(MainWindow::MainStatusBar, part, "");
    ui::StatusBarSetTip(MainWindow::MainStatusBar, part, "");
  }
  ui::SetText(MainWindow::UsageTextBox, "");
  ui::SetPicture(MainWindow::PreviewPicture, Bytes());
  ui::SetWidth(MainWindow::PreviewPicture, 0);
  ui::SetHeight(MainWindow::PreviewPicture, 0);
  for (ui::ControlRef bar : {MainWindow::PreviewHScrollBar, MainWindow::PreviewVScrollBar}) {
    ui::SetScrollPosition(bar, 0);
    ui::SetScrollMaximum(bar, 0);
  }
}

void ListEntriesThread(int generation) {
  ListEntriesOfSelectedDirectory(static_cast<unsigned>(generation));
}

void MainWindow_DirectoryTree_OnSelectionChanged() {
  StartThread(ListEntriesThread, static_cast<int>(ClaimListing()));
}

void MainWindow_EntryListView_OnSelectionChanged() {
  int skip = 1;
  if (SkipNextSelection.compare_exchange_strong(skip, 0)) return;

  const int row = ui::ListCurrentRow(MainWindow::EntryListView);
  if (row < 0) return;
  const int value = ui::ListItemData(MainWindow::EntryListView, row);
  EntryRecord record;
  {
    std::lock_guard<std::mutex> lock(EntryListLock);
    if (value < 1 || value > static_cast<int>(EntryList.size())) return;
    record = EntryList[value - 1];
  }

  ui::SetText(MainWindow::UsageTextBox, ToText(ReadStoredFile(record.usagePath)));
  const Bytes picture = ReadStoredFile(record.picturePath);
  ui::SetPicture(MainWindow::PreviewPicture, picture);  // the box decodes it only within the limits

  // The size is learnt from a file, as the picture reader measures files. A picture beyond the
  // limits, or one whose size cannot be read, previews as none: size 0, nothing to scroll.
  const Text probe = PictureProbeFile();
  WriteFileBytes(probe, picture);
  const PictureSize size{PictureWidth(probe), PictureHeight(probe)};
  const bool showable = PictureWithinLimits(size) && PictureHeadersWithinLimits(picture);
  ui::SetWidth(MainWindow::PreviewPicture, showable ? size.width : 0);
  ui::SetHeight(MainWindow::PreviewPicture, showable ? size.height : 0);

  ui::SetTop(MainWindow::PreviewPicture, 0);
  ui::SetLeft(MainWindow::PreviewPicture, 0);
  ui::SetScrollPosition(MainWindow::PreviewVScrollBar, 0);
  ui::SetScrollPosition(MainWindow::PreviewHScrollBar, 0);

  const int height = ui::GetHeight(MainWindow::PreviewPicture);
  ui::SetScrollMaximum(MainWindow::PreviewVScrollBar, height < kViewHeight ? 0 : height - kViewHeight);
  const int width = ui::GetWidth(MainWindow::PreviewPicture);
  ui::SetScrollMaximum(MainWindow::PreviewHScrollBar, width < kViewWidth ? 0 : width - kViewWidth);
}

void MainWindow_PreviewHScrollBar_OnPositionChanged() {
  ui::SetLeft(MainWindow::PreviewPicture, -ui::GetScrollPosition(MainWindow::PreviewHScrollBar));
}

void MainWindow_PreviewVScrollBar_OnPositionChanged() {
  ui::SetTop(MainWindow::PreviewPicture, -ui::GetScrollPosition(MainWindow::PreviewVScrollBar));
}

void MainWindow_EntryListView_OnRightClick() { ui::PopupMenu(MainWindow::Self, "ListMenu"); }

void BindEntryListHandlers() {
  using ui::EventKind;
  const ui::WindowRef main = MainWindow::Self;
  ui::Bind(main, MainWindow::DirectoryTree.name, EventKind::SelectionChanged,
           [](int) { MainWindow_DirectoryTree_OnSelectionChanged(); });
  ui::Bind(main, MainWindow::EntryListView.name, EventKind::SelectionChanged,
           [](int) { MainWindow_EntryListView_OnSelectionChanged(); });
  ui::Bind(main, MainWindow::EntryListView.name, EventKind::RightClick,
           [](int) { MainWindow_EntryListView_OnRightClick(); });
  ui::Bind(main, MainWindow::PreviewHScrollBar.name, EventKind::ScrollChanged,
           [](int) { MainWindow_PreviewHScrollBar_OnPositionChanged(); });
  ui::Bind(main, MainWindow::PreviewVScrollBar.name, EventKind::ScrollChanged,
           [](int) { MainWindow_PreviewVScrollBar_OnPositionChanged(); });
}
