// A started snippet program with helpers for directories, entries written straight into the
// library, and real picture files made in memory.
#pragma once

#include <vector>

#include "runtime/text.h"
#include "tests/support/program_fixture.h"

// Every column of one `内含信息` row.
struct StoredRow {
  Text path, name, usage, description, picture, example, tag;
};

// An entry as a test writes it into the data folder and the library.
struct TestEntry {
  Text name{};
  Text description{};
  Text usage{};
  Bytes picture{};      // empty: no picture file
  Text pictureExtension = "png";
  Bytes example{};      // empty: no example file
  Text exampleExtension = "cpp";
};

// A complete 8-bit grey PNG of that size, and a complete 24-bit BMP.
Bytes MakePng(int width, int height);
Bytes MakeBmp(int width, int height);
Bytes BytesOf(const Text& text);

class EntriesTest : public ProgramFixture {
 protected:
  void SetUp() override;

  // A top-level directory (or a child of parent) with that DirectoryTag; its tree index.
  int AddDirectory(const Text& name, int tag, int parent = -1);
  // Selects the tree item (afresh when it is current) and waits until its listing is done.
  void SelectDirectory(int item);
  // Writes the entry's stored files under id and inserts its row.
  void InsertEntry(const TestEntry& entry, int tag, const Text& id);
  // Ends the program's session and starts it again on the same folders.
  void Restart();
  // A plain file in the temporary folder; its GBK path.
  Text WriteTempFile(const Text& name, const Bytes& bytes);

  std::vector<StoredRow> ReadRows();
  // The decompressed content of a stored file named by a row path.
  Bytes ReadStored(const Text& storedPath);
  bool StoredExists(const Text& storedPath);
  // Files in a folder of the data folder ("方法", "图片", "例程").
  int CountDataFiles(const Text& folder);
};

// The editor's tests: a started program with the directory "算法" (tag 3150) selected.
class EditorTest : public EntriesTest {
 protected:
  void SetUp() override;

  void OpenForAdding();
  // Focuses the list row and opens it for modification.
  void OpenForModifying(int row);
  // Clicks "save" with the records cleared and waits for what it started.
  void Save();
  // The text of the last message box; "" when none was shown.
  Text LastMessage();

  int directory = -1;
};

// A file of tests/data, GBK path.
Text TestDataFile(const Text& relative);
// The EntryFileId of a row: its usage path without "\DATA\方法\" and ".txt".
Text IdOfRow(const StoredRow& row);
