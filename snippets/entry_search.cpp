// The search: one statement per checked field, their rows appended to the entry list one after
// the other (an entry matching two fields is listed twice), on a worker of its own.
#include "snippets/entry_search.h"

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/threads.h"
#include "snippets/entry_list.h"
#include "snippets/globals.h"
#include "ui/ui.h"

namespace {

struct FieldOfSearch {
  SearchField field;
  ui::ControlRef check;
};
constexpr FieldOfSearch kFieldsInOrder[] = {
    {SearchField::kName, MainWindow::SearchNameCheck},
    {SearchField::kDescription, MainWindow::SearchDescriptionCheck},
    {SearchField::kUsage, MainWindow::SearchUsageCheck},
};

}  // namespace

Text SearchCondition(SearchField field, const Text& keyword) {
  const char* prefix = "名称 LIKE '%";
  if (field == SearchField::kDescription) prefix = " 说明 LIKE '%";
  if (field == SearchField::kUsage) prefix = " 使用方法 LIKE '%";
  return prefix + SqlEscape(keyword) + "%'";
}

Text SearchStatement(const Text& condition) {
  return "SELECT * FROM 内含信息 WHERE " + condition + ";";
}

void SearchEntries(unsigned generation) {
  if (!BeginSearchListing(generation)) return;
  int counter = 0;
  Text condition;
  for (const FieldOfSearch& field : kFieldsInOrder) {
    bool checked = false;
    Text keyword;
    ui::RunOnGui([&] {
      checked = ui::GetChecked(field.check);
      if (checked) keyword = ui::GetText(MainWindow::SearchBox);
    });
    if (!checked) continue;
    condition = SearchCondition(field.field, keyword);
    // A failed statement gives no record set and so no rows; the other fields still run.
    const int recordSet = OdbcQuery(LibraryDatabase, SearchStatement(condition));
    const bool current = AppendEntryRows(recordSet, counter, generation);
    if (recordSet != 0) OdbcCloseRecordSet(LibraryDatabase, recordSet);
    if (!current) return;
  }
  if (condition.empty()) {
    if (ListingGeneration.load() == generation) ui::ShowMessageBox("至少要选择一项搜素");
    return;
  }
  if (counter > 0) ShowFirstEntryPicture(generation);
}

void SearchEntriesThread(int generation) { SearchEntries(static_cast<unsigned>(generation)); }

void MainWindow_SearchButton_OnClick() {
  StartThread(SearchEntriesThread, static_cast<int>(ClaimListing()));
}

void BindSearchHandlers() {
  ui::Bind(MainWindow::Self, MainWindow::SearchButton.name, ui::EventKind::Click,
           [](int) { MainWindow_SearchButton_OnClick(); });
}
