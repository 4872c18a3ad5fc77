// Memory files: writing at the position, reading, deleting, and unknown numbers.
#include <gtest/gtest.h>

#include "runtime/memory_file.h"

namespace {

TEST(MemoryFile, WritesPiecesInOrderAndReadsThemBack) {
  int file = OpenMemoryFile();
  ASSERT_NE(file, 0);
  EXPECT_EQ(FileLength(file), 0);
  ASSERT_TRUE(WriteBytes(file, std::vector<Bytes>{{1, 2}, {}, {3}}));
  EXPECT_EQ(FileLength(file), 3);
  EXPECT_TRUE(ReadBytes(file, 10).empty());  // the position is at the end
  ASSERT_TRUE(SeekToStart(file));
  EXPECT_EQ(ReadBytes(file, 2), (Bytes{1, 2}));
  EXPECT_EQ(ReadBytes(file, 10), (Bytes{3}));
  EXPECT_TRUE(CloseFile(file));
}

TEST(MemoryFile, WriteAtThePositionOverwritesAndGrows) {
  int file = OpenMemoryFile();
  WriteBytes(file, Bytes{1, 2, 3});
  SeekToStart(file);
  WriteBytes(file, Bytes{9, 9, 9, 9});
  SeekToStart(file);
  EXPECT_EQ(ReadBytes(file, FileLength(file)), (Bytes{9, 9, 9, 9}));
  CloseFile(file);
}

TEST(MemoryFile, DeleteBytesAtThePosition) {
  int file = OpenMemoryFile();
  WriteBytes(file, Bytes{1, 2, 3, 4});
  SeekToStart(file);
  ReadBytes(file, 1);
  EXPECT_TRUE(DeleteBytesAt(file, 2));
  EXPECT_EQ(FileLength(file), 2);
  SeekToStart(file);
  EXPECT_TRUE(DeleteBytesAt(file, 100));  // more than there is: all of it
  EXPECT_EQ(FileLength(file), 0);
  CloseFile(file);
}

TEST(MemoryFile, UnknownOrClosedNumbersFail) {
  int file = OpenMemoryFile();
  int other = OpenMemoryFile();
  EXPECT_NE(file, other);
  EXPECT_TRUE(CloseFile(file));
  EXPECT_FALSE(CloseFile(file));
  EXPECT_FALSE(WriteBytes(file, Bytes{1}));
  EXPECT_FALSE(SeekToStart(file));
  EXPECT_FALSE(DeleteBytesAt(file, 1));
  EXPECT_EQ(FileLength(file), -1);
  EXPECT_TRUE(ReadBytes(file, 1).empty());
  EXPECT_FALSE(WriteBytes(0, Bytes{1}));
  CloseFile(other);
}

}  // namespace
