// The snippet program's globals and their set-up and release.
#include "snippets/globals.h"

#include "runtime/files.h"

std::vector<EntryRecord> EntryList;
std::mutex EntryListLock;
std::atomic<unsigned> ListingGeneration{0};
Text ImportPassword;
std::atomic<int> TransferDone{1};
ThreadHandle ExportThread;
Text CurrentDirPath;
int EditMode = 0;
Text CurrentDirTag;
EntryRecord EditOld;
std::atomic<int> SkipNextSelection{0};
Text ExportPassword;
DatabaseUnit LibraryDatabase;

void InitializeGlobals() {
  {
    std::lock_guard<std::mutex> lock(EntryListLock);
    EntryList.clear();
  }
  ImportPassword.clear();
  TransferDone = 1;
  ExportThread.reset();
  CurrentDirPath.clear();
  EditMode = 0;
  CurrentDirTag.clear();
  EditOld = EntryRecord();
  SkipNextSelection = 0;
  ExportPassword.clear();
}

// Frees in the documented order: the entry records and their array, then the texts; last the
// instance's temporary copies.
void ReleaseGlobals() {
  {
    std::lock_guard<std::mutex> lock(EntryListLock);
    std::vector<EntryRecord>().swap(EntryList);
  }
  Text().swap(ImportPassword);
  Text().swap(CurrentDirPath);
  Text().swap(CurrentDirTag);
  EditOld = EntryRecord();
  Text().swap(ExportPassword);
  RemoveInstanceTempFolder();
}
