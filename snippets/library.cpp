// The library's tables, entry records, data folder and temporary names.
#include "snippets/library.h"

#include "runtime/files.h"
#include "runtime/packed_file.h"

const char* const kCreateDirectoryTable =
    "CREATE TABLE `目录` (`目录名` VARCHAR(225),`索引` VARCHAR(225),`标记` VARCHAR(225));";
const char* const kCreateEntryTable =
    "CREATE TABLE `内含信息` (`路径` VARCHAR(255),`名称` VARCHAR(255),`使用方法` VARCHAR(255) "
    ",`说明` VARCHAR(255),`图片` VARCHAR(255) ,`例程` VARCHAR(255),`标记` VARCHAR(255));";

void EnsureLibraryTables(DatabaseUnit& db) {
  if (!OdbcExecute(db, kDirectoryTableTest)) OdbcExecute(db, kCreateDirectoryTable);
  if (!OdbcExecute(db, kEntryTableTest)) OdbcExecute(db, kCreateEntryTable);
}

void ReadEntryRecords(DatabaseUnit& db, int recordSet, std::size_t maxRows, std::vector<EntryRecord>& records) {
  OdbcReadRows(
      db, recordSet, {"名称", "说明", "图片", "使用方法", "例程"},
      [&records](std::vector<Text>& values) {
        records.push_back({});
        EntryRecord& record = records.back();
        record.name = std::move(values[0]);
        record.description = std::move(values[1]);
        record.picturePath = std::move(values[2]);
        record.usagePath = std::move(values[3]);
        record.examplePath = std::move(values[4]);
      },
      maxRows);
}

Text ProgramFilePath(const Text& storedPath) { return GetRunDirectory() + storedPath; }

bool IsDataFolderPath(const Text& storedPath) {
  const Text prefix = "\\DATA\\";
  if (storedPath.compare(0, prefix.size(), prefix) != 0) return false;
  if (FindText(storedPath, ":") > 0) return false;
  if (storedPath.size() == prefix.size()) return false;
  // Components between "\" or "/", GBK-aware so a second byte is no separator; read in place,
  // as every read and write of a stored file asks this.
  std::size_t start = prefix.size();
  for (std::size_t k = start; k <= storedPath.size(); ++k) {
    if (k == storedPath.size() || storedPath[k] == '\\' || storedPath[k] == '/') {
      if (k - start == 2 && storedPath.compare(start, 2, "..") == 0) return false;
      start = k + 1;
    } else if (static_cast<unsigned char>(storedPath[k]) >= 0x80) {
      ++k;  // a double-byte character: its second byte is no separator
    }
  }
  return true;
}

bool ReadStoredFile(const Text& storedPath, Bytes& content) {
  content.clear();
  Bytes stored;
  if (storedPath.empty() || !ReadFileBytes(ProgramFilePath(storedPath), stored)) return false;
  return DecompressBytes(stored, content);
}

Bytes ReadStoredFile(const Text& storedPath) {
  Bytes content;
  ReadStoredFile(storedPath, content);
  return content;
}

bool WriteStoredFile(const Text& storedPath, const Bytes& content) {
  if (!IsDataFolderPath(storedPath) || content.size() > kMaxStoredFileLength) return false;
  const Bytes stored = CompressBytes(content);
  if (stored.empty()) return false;
  return WriteFileBytes(ProgramFilePath(storedPath), stored);
}

bool RemoveStoredFile(const Text& storedPath) {
  if (!IsDataFolderPath(storedPath)) return false;
  return RemoveFile(ProgramFilePath(storedPath));
}

Text ExampleCopyPath() {
  const Text folder = InstanceTempFolder();
  return folder.empty() ? Text() : folder + "lswj";
}

Text PictureProbeFile() {
  const Text folder = InstanceTempFolder();
  return folder.empty() ? Text() : folder + "\\图片.ls";
}
