// The library itself: the tables of "\DATA.mdb" and their texts, the entry record read from a
// record set, the data folder with its stored files, and the fixed temporary file names.
#pragma once

#include "runtime/database.h"
#include "runtime/text.h"

// One entry as listed (five texts of its row).
struct EntryRecord {
  Text name;
  Text usagePath;
  Text description;
  Text picturePath;
  Text examplePath;
};

// Tables and their creation.
inline constexpr const char* kDirectoryTableTest = "select * from `目录`;";
inline constexpr const char* kEntryTableTest = "select * from `内含信息`;";
extern const char* const kCreateDirectoryTable;
extern const char* const kCreateEntryTable;
// Creates each table whose test select fails.
void EnsureLibraryTables(DatabaseUnit& db);

// The entry at the record set's current row.
// Appends the records of the set's next rows, at most maxRows, and moves past them.
void ReadEntryRecords(DatabaseUnit& db, int recordSet, std::size_t maxRows, std::vector<EntryRecord>& records);

// The data folder and its three folders, as stored paths (relative to the program folder).
inline constexpr const char* kDataFolder = "\\DATA";
inline constexpr const char* kUsageFolder = "\\DATA\\方法\\";
inline constexpr const char* kPictureFolder = "\\DATA\\图片\\";
inline constexpr const char* kExampleFolder = "\\DATA\\例程\\";
// Files of the program folder that a package transfer uses while it runs.
inline constexpr const char* kPackageTempFile = "\\ls.yrd";
inline constexpr const char* kExportDatabaseCopy = "\\DATA\\临时数据库.mdb";
inline constexpr const char* kImportWorkFolder = "\\导入临时目录";

// The program folder + a stored path.
Text ProgramFilePath(const Text& storedPath);
// True when a stored path names a file inside the data folder: it begins with "\DATA\" and no
// component is ".." or holds ":". Rows may come from a stranger's package, so only such paths
// are ever written or deleted.
bool IsDataFolderPath(const Text& storedPath);

// The content of the stored file at a stored path; false (and empty) when it is missing,
// damaged or over the stored-file limit.
bool ReadStoredFile(const Text& storedPath, Bytes& content);
Bytes ReadStoredFile(const Text& storedPath);
// Writes content as a stored file; true only when it was written whole (a failed write leaves
// no file). Content over the stored-file limit is refused.
bool WriteStoredFile(const Text& storedPath, const Bytes& content);
// Removes the stored file when the path lies in the data folder; true iff a file was removed.
bool RemoveStoredFile(const Text& storedPath);

// Temporary copies, in the instance's own temporary folder (see InstanceTempFolder): the
// example of the entry being edited, and the picture whose size the preview measures.
Text ExampleCopyPath();
Text PictureProbeFile();
