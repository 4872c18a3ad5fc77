// The snippet program's global state, set up by InitializeGlobals and released by
// ReleaseGlobals (the exit routine). Workers and handlers share it.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "runtime/database.h"
#include "runtime/text.h"
#include "runtime/threads.h"
#include "snippets/library.h"

inline constexpr const char* kCurrentVersion = "0.51";
inline constexpr const char* kTrayTip = "SnipdockV0.51";

// Records behind EntryListView; a row's item value is its 1-based position here. Guarded by
// EntryListLock; a listing or search takes a new ListingGeneration and stops writing once a
// newer one has begun, so overlapping runs never mix their rows.
extern std::vector<EntryRecord> EntryList;
extern std::mutex EntryListLock;
extern std::atomic<unsigned> ListingGeneration;
extern Text ImportPassword;
extern std::atomic<int> TransferDone;      // 1 while no export or import runs
extern ThreadHandle ExportThread;          // the package-writing thread
extern Text CurrentDirPath;                // path of the directory new entries go to
extern int EditMode;                       // 0 add, 1 modify
extern Text CurrentDirTag;                 // DirectoryTag of that directory
extern EntryRecord EditOld;                // the entry being modified, as it was opened
extern std::atomic<int> SkipNextSelection; // skip one list selection event
extern Text ExportPassword;
extern DatabaseUnit LibraryDatabase;       // the open "\DATA.mdb"

void InitializeGlobals();
void ReleaseGlobals();
