// Files and folders on disk, with GBK names, plus the program and temporary folders.
#include "runtime/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>

#include "gbk_samples.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Sets TMPDIR for one test and puts the former value back.
class ScopedTmpDir {
 public:
  explicit ScopedTmpDir(const char* value) {
    if (const char* old = getenv("TMPDIR")) old_ = old;
    if (value) setenv("TMPDIR", value, 1);
    else unsetenv("TMPDIR");
  }
  ~ScopedTmpDir() {
    if (old_) setenv("TMPDIR", old_->c_str(), 1);
    else unsetenv("TMPDIR");
  }

 private:
  std::optional<std::string> old_;
};

TEST(NativePath, MapsSeparatorsAtCharacterBoundariesAndConvertsToUtf8) {
  EXPECT_EQ(NativePath("a\\b/c"), "a/b/c");
  EXPECT_EQ(NativePath("\\DATA\\方法\\x.txt"), Utf8(u8"/DATA/方法/x.txt"));
  // 昞 ends in the byte "\": it stays part of the character.
  EXPECT_EQ(NativePath("d\\" + kBackslashTrail + "\\f"), Utf8(u8"d/昞/f"));
  EXPECT_EQ(NativePath(""), "");
  EXPECT_EQ(PathFromNative(Utf8(u8"/tmp/图片.ls")), "/tmp/图片.ls");
}

TEST(SpecialFolder, TemporaryFolderEndsInASeparator) {
  {
    ScopedTmpDir tmp("/var/tmp");
    EXPECT_EQ(GetSpecialFolder(kSpecialFolderTemp), "/var/tmp/");
  }
  {
    ScopedTmpDir tmp("/var/tmp/");
    EXPECT_EQ(GetSpecialFolder(kSpecialFolderTemp), "/var/tmp/");
  }
  {
    ScopedTmpDir tmp(nullptr);
    EXPECT_EQ(GetSpecialFolder(kSpecialFolderTemp), "/tmp/");
  }
  {
    ScopedTmpDir tmp("");
    EXPECT_EQ(GetSpecialFolder(kSpecialFolderTemp), "/tmp/");
  }
  EXPECT_EQ(GetSpecialFolder(5), "");
}

TEST(RunDirectory, IsTheExecutableFolderUnlessSet) {
  const Text executableFolder = GetRunDirectory();
  ASSERT_FALSE(executableFolder.empty());
  EXPECT_NE(executableFolder.back(), '/');
  EXPECT_TRUE(fs::exists(fs::path(NativePath(executableFolder)) / "runtime_tests"));
  SetRunDirectory("/some/where/程序/");
  EXPECT_EQ(GetRunDirectory(), "/some/where/程序");
  SetRunDirectory(executableFolder);
  EXPECT_EQ(GetRunDirectory(), executableFolder);
}

TEST(Files, WriteReadCopyMoveRemove) {
  TempFolder dir;
  const Text a = dir / "a.bin", b = dir / "b.bin", c = dir / "c.bin";
  const Bytes content{0, 1, 2, 0xFF, 'x'};
  EXPECT_FALSE(FileExists(a));
  ASSERT_TRUE(WriteFileBytes(a, content));
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(ReadFileBytes(a), content);

  ASSERT_TRUE(WriteFileBytes(a, Bytes{'s'}));  // truncated, not appended
  EXPECT_EQ(ReadFileBytes(a), Bytes{'s'});
  ASSERT_TRUE(WriteFileBytes(a, Bytes()));
  EXPECT_TRUE(FileExists(a));
  EXPECT_TRUE(ReadFileBytes(a).empty());

  ASSERT_TRUE(WriteFileBytes(a, content));
  ASSERT_TRUE(WriteFileBytes(b, Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(CopyFileOver(a, b));  // an existing target is overwritten
  EXPECT_EQ(ReadFileBytes(b), content);
  EXPECT_TRUE(CopyFileOver(a, c));
  EXPECT_EQ(ReadFileBytes(c), content);

  ASSERT_TRUE(WriteFileBytes(c, Bytes{'n', 'e', 'w'}));
  EXPECT_TRUE(MoveFileOver(c, a));
  EXPECT_FALSE(FileExists(c));
  EXPECT_EQ(ReadFileBytes(a), (Bytes{'n', 'e', 'w'}));

  EXPECT_TRUE(RemoveFile(a));
  EXPECT_FALSE(FileExists(a));
  EXPECT_FALSE(RemoveFile(a));  // nothing left to remove
}

TEST(Files, FailuresGiveClearResults) {
  TempFolder dir;
  const Text missing = dir / "missing.bin";
  const Text inMissingFolder = dir / "no/such/x.bin";
  EXPECT_TRUE(ReadFileBytes(missing).empty());
  EXPECT_TRUE(ReadFileBytes(dir.text()).empty());  // a folder is no file
  EXPECT_TRUE(ReadFileBytes("").empty());
  EXPECT_FALSE(WriteFileBytes(inMissingFolder, Bytes{'x'}));
  EXPECT_FALSE(WriteFileBytes(dir.text(), Bytes{'x'}));
  EXPECT_FALSE(WriteFileBytes("", Bytes{'x'}));
  EXPECT_FALSE(CopyFileOver(missing, dir / "t.bin"));
  EXPECT_FALSE(FileExists(dir / "t.bin"));
  EXPECT_FALSE(CopyFileOver(dir.text(), dir / "t.bin"));
  EXPECT_FALSE(MoveFileOver(missing, dir / "t.bin"));
  EXPECT_FALSE(RemoveFile(dir.text()));  // folders are not removed as files
  EXPECT_TRUE(FileExists(dir.text()));
  EXPECT_FALSE(FileExists(""));

  // A copy onto itself keeps the file.
  const Text self = dir / "self.bin";
  ASSERT_TRUE(WriteFileBytes(self, Bytes{'k'}));
  CopyFileOver(self, self);
  EXPECT_EQ(ReadFileBytes(self), Bytes{'k'});
}

// A new file is written; anything of that name already there (file, folder, a link even to
// nothing) is left as it was. A fault put on writing reaches new files too.
TEST(Files, WriteNewFileBytesOnlyMakesNewFiles) {
  TempFolder dir;
  EXPECT_TRUE(WriteNewFileBytes(dir / "新.bin", Bytes{'n'}));
  EXPECT_EQ(ReadFileBytes(dir / "新.bin"), Bytes{'n'});
  EXPECT_FALSE(WriteNewFileBytes(dir / "新.bin", Bytes{'x'}));
  EXPECT_EQ(ReadFileBytes(dir / "新.bin"), Bytes{'n'});
  ASSERT_TRUE(MakeDirectory(dir / "folder"));
  EXPECT_FALSE(WriteNewFileBytes(dir / "folder", Bytes{'x'}));
  fs::create_symlink(dir.native() / "nowhere", dir.native() / "link");
  EXPECT_FALSE(WriteNewFileBytes(dir / "link", Bytes{'x'}));
  EXPECT_FALSE(fs::exists(dir.native() / "nowhere"));
  EXPECT_FALSE(WriteNewFileBytes(dir / "no/such/x.bin", Bytes{'x'}));
  EXPECT_FALSE(WriteNewFileBytes("", Bytes{'x'}));

  FileSystemOps full = NativeFileSystem();
  full.write = [](const std::string&, const Bytes&) { return WriteOutcome::kNotOpened; };
  const FileSystemOps saved = InstallFileSystem(full);
  EXPECT_FALSE(WriteNewFileBytes(dir / "full.bin", Bytes{'x'}));
  InstallFileSystem(saved);
  EXPECT_FALSE(FileExists(dir / "full.bin"));
}

TEST(Files, FoldersAndTrees) {
  TempFolder dir;
  const Text data = dir / "DATA";
  EXPECT_TRUE(MakeDirectory(data));
  EXPECT_TRUE(FileExists(data));
  EXPECT_TRUE(MakeDirectory(data));                    // already there
  EXPECT_FALSE(MakeDirectory(dir / "x/y/z"));          // one level only
  ASSERT_TRUE(WriteFileBytes(dir / "file", Bytes{'f'}));
  EXPECT_FALSE(MakeDirectory(dir / "file"));           // a file is in the way
  EXPECT_FALSE(MakeDirectory(""));

  ASSERT_TRUE(MakeDirectory(data + "\\方法"));
  ASSERT_TRUE(WriteFileBytes(data + "\\方法\\a.txt", Bytes{'a'}));
  EXPECT_TRUE(RemoveDirectoryTree(data));
  EXPECT_FALSE(FileExists(data));
  EXPECT_FALSE(RemoveDirectoryTree(data));             // gone already
  EXPECT_FALSE(RemoveDirectoryTree(dir / "file"));     // not a folder
  EXPECT_TRUE(FileExists(dir / "file"));
  EXPECT_FALSE(RemoveDirectoryTree(""));
  EXPECT_FALSE(RemoveDirectoryTree("/"));
  EXPECT_FALSE(RemoveDirectoryTree("\\"));
}

TEST(Files, ChineseNamesRoundTripOnDisk) {
  TempFolder dir;
  const Text folder = dir.text() + "\\导入临时目录";
  const Text file = folder + "\\临时数据库" + kBackslashTrail + ".mdb";
  ASSERT_TRUE(MakeDirectory(folder));
  ASSERT_TRUE(WriteFileBytes(file, Bytes{'d', 'b'}));
  EXPECT_TRUE(fs::exists(dir.native() / fs::path(Utf8(u8"导入临时目录")) /
                         fs::path(Utf8(u8"临时数据库昞.mdb"))));
  EXPECT_EQ(ReadFileBytes(file), (Bytes{'d', 'b'}));
  // The name read back from the disk is the same GBK text.
  std::vector<Text> names;
  for (const auto& entry : fs::directory_iterator(NativePath(folder))) {
    names.push_back(PathFromNative(entry.path().filename().string()));
  }
  EXPECT_EQ(names, std::vector<Text>{"临时数据库" + kBackslashTrail + ".mdb"});
}

TEST(Files, TempFileNameIsAFreeHexNameInTheTemporaryFolder) {
  TempFolder dir;
  ScopedTmpDir tmp(dir.native().c_str());
  const Text first = TempFileName();
  const Text prefix = dir.text() + "/";
  ASSERT_EQ(first.compare(0, prefix.size(), prefix), 0) << first;
  const Text name = first.substr(prefix.size());
  ASSERT_GT(name.size(), 4u);
  EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
  EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), name.size() - 4) << name;
  EXPECT_FALSE(FileExists(first));  // named, not made

  ASSERT_TRUE(WriteFileBytes(first, Bytes{'x'}));
  const Text second = TempFileName();
  EXPECT_NE(second, first);
  EXPECT_FALSE(FileExists(second));
}

TEST(Files, SetCurrentFolder) {
  TempFolder dir;
  const fs::path before = fs::current_path();
  EXPECT_TRUE(SetCurrentFolder(dir.text()));
  EXPECT_EQ(fs::current_path(), fs::canonical(dir.native()));
  EXPECT_FALSE(SetCurrentFolder(dir / "missing"));
  EXPECT_FALSE(SetCurrentFolder(""));
  fs::current_path(before);
}

}  // namespace
