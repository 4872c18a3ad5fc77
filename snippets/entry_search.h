// The search row of the main window: the keyword box, the three field check boxes and the
// search button, filling the entry list with the matching entries of the whole library.
#pragma once

#include "runtime/text.h"

// The fields a search can look in, in the order their statements run.
enum class SearchField { kName, kDescription, kUsage };
// The field's condition for the keyword, the keyword quoted as a value: a "'" is searched for
// like any other character, while "%" and "_" stay wildcards of the pattern.
Text SearchCondition(SearchField field, const Text& keyword);
// The statement of one field's condition.
Text SearchStatement(const Text& condition);

// Runs the search under that generation (see ClaimListing); an overtaken search stops at its
// next step and writes nothing more.
void SearchEntries(unsigned generation);
// Thread entry; its argument is the generation the button's handler claimed.
void SearchEntriesThread(int generation);

void MainWindow_SearchButton_OnClick();

void BindSearchHandlers();
