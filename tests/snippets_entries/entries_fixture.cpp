// Helpers of the entry list and editor tests.
#include "tests/snippets_entries/entries_fixture.h"

#include <zlib.h>

#include <filesystem>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/packed_file.h"
#include "snippets/entry_editor.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutLittle(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutPngChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBig32(out, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

}  // namespace

Bytes MakePng(int width, int height) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBig32(header, width);
  PutBig32(header, height);
  header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey, no interlace
  PutPngChunk(png, "IHDR", header);

  // Every row: filter byte 0, then a grey ramp.
  Bytes raw;
  raw.reserve(static_cast<size_t>(width + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) raw.push_back(static_cast<std::uint8_t>(x + y));
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(size);
  compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(size);
  PutPngChunk(png, "IDAT", packed);
  PutPngChunk(png, "IEND", {});
  return png;
}

Bytes MakeBmp(int width, int height) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes) * height;
  Bytes bmp = {'B', 'M'};
  PutLittle(bmp, 54 + pixelBytes, 4);
  PutLittle(bmp, 0, 4);
  PutLittle(bmp, 54, 4);
  PutLittle(bmp, 40, 4);
  PutLittle(bmp, width, 4);
  PutLittle(bmp, height, 4);
  PutLittle(bmp, 1, 2);
  PutLittle(bmp, 24, 2);
  PutLittle(bmp, 0, 4);  // no compression
  PutLittle(bmp, pixelBytes, 4);
  PutLittle(bmp, 2835, 4);
  PutLittle(bmp, 2835, 4);
  PutLittle(bmp, 0, 4);
  PutLittle(bmp, 0, 4);
  bmp.resize(bmp.size() + pixelBytes, 0x80);
  return bmp;
}

Bytes BytesOf(const Text& text) { return Bytes(text.begin(), text.end()); }

void EntriesTest::SetUp() {
  ProgramFixture::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(StartProgram());
  EnsureDataFolders();
  ui::headless::ClearRecords();
}

int EntriesTest::AddDirectory(const Text& name, int tag, int parent) {
  return ui::TreeAddItem(MainWindow::DirectoryTree, parent, name, tag);
}

void EntriesTest::SelectDirectory(int item) {
  // Only a change of the current item raises the event, so a current item is left first.
  ui::SetTreeCurrentItem(MainWindow::DirectoryTree, -1);
  ui::headless::SelectTreeItem(MainWindow::DirectoryTree, item);
  ui::headless::WaitIdle();
}

void EntriesTest::InsertEntry(const TestEntry& entry, int tag, const Text& id) {
  const Text usage = "\\DATA\\方法\\" + id + ".txt";
  const Text picture = "\\DATA\\图片\\" + id + "." + entry.pictureExtension;
  const Text example = "\\DATA\\例程\\" + id + "." + entry.exampleExtension;
  ASSERT_TRUE(WriteFileBytes(InProgram(usage), CompressBytes(BytesOf(entry.usage))));
  if (!entry.picture.empty()) {
    ASSERT_TRUE(WriteFileBytes(InProgram(picture), CompressBytes(entry.picture)));
  }
  if (!entry.example.empty()) {
    ASSERT_TRUE(WriteFileBytes(InProgram(example), CompressBytes(entry.example)));
  }
  const Text sql = "INSERT INTO `内含信息` (`路径`,`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES ('/t','" +
                   SqlEscape(entry.name) + "','" + usage + "','" + SqlEscape(entry.description) + "','" +
                   picture + "','" + example + "','" + ToText(tag) + "');";
  ASSERT_TRUE(OdbcExecute(LibraryDatabase, sql));
}

void EntriesTest::Restart() {
  ui::headless::WaitIdle();
  OdbcClose(LibraryDatabase);
  ui::headless::Uninstall();
  ui::headless::Install();
  BindSnippetHandlers();
  ASSERT_TRUE(StartProgram());
}

Text EntriesTest::WriteTempFile(const Text& name, const Bytes& bytes) {
  const Text path = tempFolder + "/" + name;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(NativePath(path)).parent_path(), ec);
  EXPECT_TRUE(WriteFileBytes(path, bytes));
  return path;
}

std::vector<StoredRow> EntriesTest::ReadRows() {
  std::vector<StoredRow> rows;
  const int set = OdbcQuery(LibraryDatabase, "SELECT * FROM `内含信息`;");
  EXPECT_NE(set, 0);
  for (; !OdbcIsEof(LibraryDatabase, set); OdbcMoveNext(LibraryDatabase, set)) {
    auto field = [&](const char* column) { return OdbcReadField(LibraryDatabase, set, column); };
    rows.push_back({field("路径"), field("名称"), field("使用方法"), field("说明"), field("图片"),
                    field("例程"), field("标记")});
  }
  if (set != 0) OdbcCloseRecordSet(LibraryDatabase, set);
  return rows;
}

Bytes EntriesTest::ReadStored(const Text& storedPath) {
  return DecompressBytes(ReadFileBytes(InProgram(storedPath)));
}

bool EntriesTest::StoredExists(const Text& storedPath) { return FileExists(InProgram(storedPath)); }

int EntriesTest::CountDataFiles(const Text& folder) {
  std::error_code ec;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator(NativePath(InProgram("\\DATA\\" + folder)), ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    ++count;
  }
  return count;
}

void EditorTest::SetUp() {
  EntriesTest::SetUp();
  if (HasFatalFailure()) return;
  directory = AddDirectory("算法", 3150);
  SelectDirectory(directory);
}

void EditorTest::OpenForAdding() {
  ui::headless::ChooseMenuItem(MainWindow::Self, MainWindow::AddEntryMenuItem.name);
}

void EditorTest::OpenForModifying(int row) {
  ui::headless::FocusListRow(MainWindow::EntryListView, row);
  ui::headless::ChooseMenuItem(MainWindow::Self, MainWindow::ModifyEntryMenuItem.name);
}

void EditorTest::Save() {
  ui::headless::ClearRecords();
  ui::headless::Click(AddWindow::SaveButton);
  ui::headless::WaitIdle();
}

Text EditorTest::LastMessage() {
  const auto& shown = ui::headless::MessagesShown();
  return shown.empty() ? "" : shown.back().text;
}

Text TestDataFile(const Text& relative) { return PathFromNative(SNIPDOCK_TEST_DATA) + "/" + relative; }

Text IdOfRow(const StoredRow& row) {
  const Text prefix = "\\DATA\\方法\\";
  if (row.usage.size() < prefix.size() + 4) return "";
  return row.usage.substr(prefix.size(), row.usage.size() - prefix.size() - 4);
}
