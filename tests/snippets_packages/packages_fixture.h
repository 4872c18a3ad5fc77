// A started snippet program with helpers that run an export or an import through their windows,
// make packages of any content (hostile ones included) and take the whole library's state.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/text.h"
#include "tests/snippets_entries/entries_fixture.h"

// One directory row: name, parent index, tag.
using DirectoryItem = std::tuple<Text, int, int>;

// What a package holds: its database (or none), and files by their path below the data folder
// ("方法\\x.txt"), stored as given.
struct PackageSource {
  bool withDatabase = true;
  std::vector<DirectoryItem> directories;
  std::vector<StoredRow> rows;
  std::map<Text, Bytes> files;
  std::vector<Text> statements;  // run on the database after the rows went in
};

// Everything an import may change: the entry rows, the directory table, the tree and every file
// of the data folder (by native path below it).
struct LibraryState {
  std::vector<std::vector<Text>> rows;
  std::vector<DirectoryItem> table;
  std::vector<DirectoryItem> tree;
  std::map<std::string, Bytes> files;
  bool operator==(const LibraryState&) const = default;
};

class PackagesTest : public EntriesTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The export through its window: package name chosen, password set (none: the question is
  // answered No), start pressed, and the export thread waited for.
  void Export(const Text& package, const Text& password);
  // The import through its window: package opened, password confirmed, start pressed.
  void Import(const Text& package, const Text& password);

  // The zip archive of a folder made from source, as the export would pack it.
  Bytes ArchiveOf(const PackageSource& source);
  // header + archive + trailer, written through the package cipher's file layer.
  Text WritePackage(const Text& name, const Bytes& archive, const Text& password);

  LibraryState State();
  // The program's library replaced by an empty one (the program started again).
  void StartWithEmptyLibrary();

  Text PackagePath(const Text& name) const { return tempFolder + "/" + name; }

 private:
  int sources_ = 0;
};

// Every occurrence of from (same length as to) replaced.
Bytes ReplaceBytes(Bytes bytes, const std::string& from, const std::string& to);
// The uncompressed size of every member, in its local and its central header, set to size.
Bytes WithMemberSizes(Bytes archive, std::uint32_t size);
