// The zip component over real files: round trips with GBK names, stored members, progress and
// stops, the results of an extraction, and hostile archives (escaping names, bombs, damage),
// crafted here with minizip's writer.
#include "runtime/zip.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/clock.h"
#include "runtime/codepage.h"
#include "runtime/files.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_folder.h"
#include "tests/zip/crafted_zip.h"

namespace fs = std::filesystem;

namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Member name, method and sizes as minizip reads them back.
struct Listed {
  Text name;
  int method;
  unsigned long flag;
  std::uint64_t size;
};

std::vector<Listed> ListArchive(const Text& archive) {
  std::vector<Listed> out;
  unzFile unz = unzOpen64(NativePath(archive).c_str());
  EXPECT_NE(unz, nullptr);
  if (unz == nullptr) return out;
  for (int r = unzGoToFirstFile(unz); r == UNZ_OK; r = unzGoToNextFile(unz)) {
    unz_file_info64 info;
    char name[1024];
    EXPECT_EQ(unzGetCurrentFileInfo64(unz, &info, name, sizeof name, nullptr, 0, nullptr, 0), UNZ_OK);
    out.push_back({Text(name, info.size_filename), static_cast<int>(info.compression_method), info.flag,
                   info.uncompressed_size});
  }
  unzClose(unz);
  return out;
}

// A raw deflate stream of mebibytes MiB of zeros without deflating them all: one mebibyte
// deflated and fully flushed is a self-contained piece, repeated, then an empty final block.
Bytes ZerosDeflated(std::uint64_t mebibytes, uLong& crc) {
  const Bytes zeros(1u << 20, 0);
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes piece(64 * 1024);
  z.next_in = const_cast<Bytef*>(zeros.data());
  z.avail_in = static_cast<uInt>(zeros.size());
  z.next_out = piece.data();
  z.avail_out = static_cast<uInt>(piece.size());
  EXPECT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  EXPECT_EQ(z.avail_in, 0u);
  piece.resize(piece.size() - z.avail_out);
  deflateEnd(&z);
  Bytes stream;
  const uLong pieceCrc = crc32(0L, zeros.data(), static_cast<uInt>(zeros.size()));
  crc = crc32(0L, Z_NULL, 0);
  for (std::uint64_t k = 0; k < mebibytes; ++k) {
    stream.insert(stream.end(), piece.begin(), piece.end());
    crc = crc32_combine(crc, pieceCrc, static_cast<z_off_t>(zeros.size()));
  }
  stream.push_back(0x03);  // final fixed block holding only its end code
  stream.push_back(0x00);
  return stream;
}

uLong Crc(const Bytes& data) { return crc32(0L, data.data(), static_cast<uInt>(data.size())); }

// Files (relative GBK names to content) and folders below a folder.
struct Tree {
  std::map<Text, Bytes> files;
  std::vector<Text> folders;
};

Tree ReadTree(const fs::path& root) {
  Tree tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const Text name = ConvertUtf8ToGbk(fs::relative(it->path(), root).string());
    if (it->is_directory()) {
      tree.folders.push_back(name);
    } else {
      tree.files[name] = ReadFileBytes(ConvertUtf8ToGbk(it->path().string()));
    }
  }
  std::sort(tree.folders.begin(), tree.folders.end());
  return tree;
}

// A recorder of progress events, stopping at a given event when asked.
struct Events {
  std::vector<int> seen;
  int stopAt = -1;  // index of the event that answers false
  ZipProgress Progress() {
    return [this](int percent) {
      seen.push_back(percent);
      return static_cast<int>(seen.size()) - 1 != stopAt;
    };
  }
};

// A data folder like the one a package holds.
void MakeDataFolder(const TempFolder& t, const Text& root) {
  ASSERT_TRUE(MakeDirectory(root));
  for (const Text sub : {"方法", "图片", "例程", "空目录", "a", "a/b", "a/b/c"}) ASSERT_TRUE(MakeDirectory(root + "/" + sub));
  ASSERT_TRUE(WriteFileBytes(root + "/临时数据库.mdb", Bytes(70000, 0)));
  ASSERT_TRUE(WriteFileBytes(root + "/方法/AbcdefGhijklMno.txt", B("usage text 使用方法")));
  ASSERT_TRUE(WriteFileBytes(root + "/图片/pic.gz", B(std::string(5000, 'g'))));
  ASSERT_TRUE(WriteFileBytes(root + "/例程/空.txt", Bytes()));
  ASSERT_TRUE(WriteFileBytes(root + "/a/b/c/deep.zip", B(std::string(3000, 'z'))));
  ASSERT_TRUE(WriteFileBytes(root + "/a/x.Z", B(std::string(3000, 'Z'))));
  ASSERT_TRUE(WriteFileBytes(root + "/a/x.z", B(std::string(3000, 'z'))));  // not ".Z": deflated
  ASSERT_TRUE(WriteFileBytes(root + "/a/b/t.tgz", B(std::string(3000, 't'))));
  ASSERT_TRUE(WriteFileBytes(root + "/a/" + "\x95\x5C" + ".txt", B("name with a \\ second byte")));
}

TEST(ZipCompress, RoundTripOfAFolderWithGbkNames) {
  TempFolder t;
  const Text data = t / "DATA";
  MakeDataFolder(t, data);
  Events events;
  ASSERT_TRUE(ZipCompress(data, t / "ls.yrd", events.Progress()));

  const std::vector<Listed> listed = ListArchive(t / "ls.yrd");
  std::map<Text, Listed> byName;
  for (const Listed& l : listed) byName[l.name] = l;
  ASSERT_EQ(listed.size(), 16u);
  const struct {
    Text name;
    int method;
  } kExpected[] = {
      {"方法/", 0},          {"图片/", 0},          {"例程/", 0},      {"空目录/", 0},
      {"a/", 0},             {"a/b/", 0},           {"a/b/c/", 0},     {"临时数据库.mdb", Z_DEFLATED},
      {"方法/AbcdefGhijklMno.txt", Z_DEFLATED},     {"图片/pic.gz", 0}, {"例程/空.txt", Z_DEFLATED},
      {"a/b/c/deep.zip", 0}, {"a/x.Z", 0},          {"a/x.z", Z_DEFLATED},
      {"a/b/t.tgz", 0},      {"a/\x95\x5C.txt", Z_DEFLATED},
  };
  for (const auto& e : kExpected) {
    ASSERT_EQ(byName.count(e.name), 1u) << e.name;
    EXPECT_EQ(byName[e.name].method, e.method) << e.name;
    EXPECT_EQ(byName[e.name].flag & 1, 0u) << e.name;          // not encrypted
    EXPECT_EQ(byName[e.name].flag & 0x800, 0u) << e.name;      // names are GBK, not UTF-8
  }
  // A folder comes before what it holds.
  for (std::size_t k = 0; k < listed.size(); ++k) {
    Text name = listed[k].name;
    if (name.back() == '/') name.pop_back();
    if (name.rfind('/') == Text::npos) continue;
    const Text parent = name.substr(0, name.rfind('/') + 1);
    bool before = false;
    for (std::size_t m = 0; m < k; ++m) before = before || listed[m].name == parent;
    EXPECT_TRUE(before) << listed[k].name;
  }

  EXPECT_EQ(ZipExtract(t / "ls.yrd", t / "out"), kZipExtractDone);
  const Tree in = ReadTree(t.native() / "DATA");
  const Tree out = ReadTree(t.native() / "out");
  EXPECT_EQ(out.files, in.files);
  EXPECT_EQ(out.folders, in.folders);
}

TEST(ZipCompress, InfoZipListsTheArchive) {
  TempFolder t;
  MakeDataFolder(t, t / "DATA");
  ASSERT_TRUE(ZipCompress(t / "DATA", t / "ls.zip"));
  const std::string command = "unzip -v '" + (t.native() / "ls.zip").string() + "' 2>&1";
  int status = 0;
  const std::string output = CommandOutput(command, status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find("16 files"), std::string::npos) << output;
  EXPECT_NE(output.find("Stored"), std::string::npos);
  EXPECT_NE(output.find("Defl:X"), std::string::npos) << output;  // level 8: "maximum"
  EXPECT_NE(output.find("a/b/c/deep.zip"), std::string::npos);

  const std::string test = "unzip -tq '" + (t.native() / "ls.zip").string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(test.c_str()), 0);
}

TEST(ZipCompress, ProgressAfterEachMemberEndsAt100BeforeTheArchiveIsComplete) {
  TempFolder t;
  ASSERT_TRUE(MakeDirectory(t / "src"));
  ASSERT_TRUE(MakeDirectory(t / "src/sub"));
  for (const Text name : {"1.txt", "2.txt", "sub/3.txt", "sub/4.txt", "5.txt", "6.txt"}) {
    ASSERT_TRUE(WriteFileBytes(t / ("src/" + name), B(name)));
  }
  std::vector<int> seen;
  bool completeAt100 = true;
  const Text archive = t / "a.zip";
  ASSERT_TRUE(ZipCompress(t / "src", archive, [&](int percent) {
    seen.push_back(percent);
    if (percent == 100) {
      unzFile unz = unzOpen64(NativePath(archive).c_str());
      completeAt100 = unz != nullptr;
      if (unz != nullptr) unzClose(unz);
    }
    return true;
  }));
  EXPECT_EQ(seen, (std::vector<int>{14, 28, 42, 57, 71, 85, 100}));  // 7 members, truncated
  EXPECT_FALSE(completeAt100);
  EXPECT_EQ(ListArchive(archive).size(), 7u);
}

TEST(ZipCompress, EmptyFolderAndSingleFile) {
  TempFolder t;
  ASSERT_TRUE(MakeDirectory(t / "empty"));
  Events events;
  ASSERT_TRUE(ZipCompress(t / "empty/", t / "e.zip", events.Progress()));
  EXPECT_EQ(events.seen, std::vector<int>{100});
  EXPECT_EQ(fs::file_size(t.native() / "e.zip"), 22u);  // the end record alone
  EXPECT_EQ(ZipExtract(t / "e.zip", t / "e-out"), kZipExtractDone);

  ASSERT_TRUE(WriteFileBytes(t / "one.gz", B("gz content")));
  ASSERT_TRUE(ZipCompress(t / "one.gz", t / "one.zip"));
  const std::vector<Listed> listed = ListArchive(t / "one.zip");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "one.gz");
  EXPECT_EQ(listed[0].method, 0);
}

TEST(ZipCompress, FailuresLeaveNoArchive) {
  TempFolder t;
  ASSERT_TRUE(MakeDirectory(t / "src"));
  for (const Text name : {"1.txt", "2.txt", "3.txt"}) ASSERT_TRUE(WriteFileBytes(t / ("src/" + name), B(name)));

  Events stop;
  stop.stopAt = 0;
  EXPECT_FALSE(ZipCompress(t / "src", t / "stopped.zip", stop.Progress()));
  EXPECT_EQ(stop.seen, std::vector<int>{33});
  EXPECT_FALSE(FileExists(t / "stopped.zip"));

  Events none;
  EXPECT_FALSE(ZipCompress(t / "missing", t / "m.zip", none.Progress()));
  EXPECT_TRUE(none.seen.empty());
  EXPECT_FALSE(FileExists(t / "m.zip"));

  EXPECT_FALSE(ZipCompress(t / "src", t / "no-folder/x.zip"));

  // A name GBK cannot hold would unpack under another name.
  std::FILE* f = std::fopen((t.native() / "src" / reinterpret_cast<const char*>(u8"emoji-😀.txt")).c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_FALSE(ZipCompress(t / "src", t / "emoji.zip"));
  EXPECT_FALSE(FileExists(t / "emoji.zip"));
}

TEST(ZipExtract, ResultsAndProgress) {
  TempFolder t;
  Events missing;
  EXPECT_EQ(ZipExtract(t / "nothing.zip", t / "out", missing.Progress()), kZipExtractMissing);
  EXPECT_TRUE(missing.seen.empty());

  // Not a zip archive at all: no progress, no 100.
  ASSERT_TRUE(WriteFileBytes(t / "junk.zip", B(std::string(5000, 'j'))));
  Events junk;
  EXPECT_EQ(ZipExtract(t / "junk.zip", t / "out", junk.Progress()), kZipExtractFailed);
  EXPECT_TRUE(junk.seen.empty());

  {
    Crafted zip(t / "four.zip");
    for (const Text name : {"a.txt", "b.txt", "c.txt", "d.txt"}) zip.Add(name, B(name));
  }
  Events four;
  EXPECT_EQ(ZipExtract(t / "four.zip", t / "new/deeper/out/", four.Progress()), kZipExtractDone);
  EXPECT_EQ(four.seen, (std::vector<int>{25, 50, 75, 99, 100}));  // one 100, at the end
  EXPECT_EQ(ReadFileBytes(t / "new/deeper/out/d.txt"), B("d.txt"));

  // A stop by the handler ends at once, without the 100.
  Events stop;
  stop.stopAt = 1;
  EXPECT_EQ(ZipExtract(t / "four.zip", t / "stopped", stop.Progress()), kZipExtractFailed);
  EXPECT_EQ(stop.seen, (std::vector<int>{25, 50}));
  EXPECT_TRUE(FileExists(t / "stopped/b.txt"));
  EXPECT_FALSE(FileExists(t / "stopped/c.txt"));

  // The destination cannot be made: a file stands there.
  ASSERT_TRUE(WriteFileBytes(t / "afile", B("x")));
  Events blocked;
  EXPECT_EQ(ZipExtract(t / "four.zip", t / "afile/out", blocked.Progress()), kZipExtractFailed);
  EXPECT_TRUE(blocked.seen.empty());

  {
    Crafted zip(t / "empty.zip");
  }
  Events empty;
  EXPECT_EQ(ZipExtract(t / "empty.zip", t / "e", empty.Progress()), kZipExtractDone);
  EXPECT_EQ(empty.seen, std::vector<int>{100});
}

TEST(ZipExtract, BothSeparatorsAndGbkSecondBytes) {
  TempFolder t;
  {
    Crafted zip(t / "seps.zip");
    zip.Add("win\\sub\\file.txt", B("backslashes"));
    zip.Add("unix/sub/file.txt", B("slashes"));
    zip.Add("mixed\\a/b\\c.txt", B("mixed"));
    zip.Add("\x95\x5C.txt", B("one name"));  // 昞.txt: its "\" is a second byte
    zip.Add("folder\\", Bytes(), 0);
    zip.Add("./dot/./x.txt", B("dots"));
    zip.Add("utf8/\xE4\xB8\xAD.txt", B("utf-8 flagged"), Z_DEFLATED, 0x800);  // 中.txt
  }
  ASSERT_EQ(ZipExtract(t / "seps.zip", t / "out"), kZipExtractDone);
  const Tree out = ReadTree(t.native() / "out");
  const std::map<Text, Bytes> expected = {
      {"win/sub/file.txt", B("backslashes")}, {"unix/sub/file.txt", B("slashes")},
      {"mixed/a/b/c.txt", B("mixed")},        {"\x95\x5C.txt", B("one name")},
      {"dot/x.txt", B("dots")},               {"utf8/中.txt", B("utf-8 flagged")},
  };
  EXPECT_EQ(out.files, expected);
  EXPECT_TRUE(fs::is_directory(t.native() / "out" / "folder"));
}

TEST(ZipExtract, OverwritesReadOnlyFiles) {
  TempFolder t;
  {
    Crafted zip(t / "new.zip");
    zip.Add("sub/program.exe", B("new version"));
  }
  ASSERT_TRUE(MakeDirectory(t / "app"));
  ASSERT_TRUE(MakeDirectory(t / "app/sub"));
  ASSERT_TRUE(WriteFileBytes(t / "app/sub/program.exe", B("old")));
  ASSERT_EQ(chmod((t.native() / "app/sub/program.exe").c_str(), 0444), 0);
  EXPECT_EQ(ZipExtract(t / "new.zip", t / "app\\"), kZipExtractDone);
  EXPECT_EQ(ReadFileBytes(t / "app/sub/program.exe"), B("new version"));
  // The attribute was cleared, not just stepped over (root writes read-only files anyway).
  EXPECT_NE(fs::status(t.native() / "app/sub/program.exe").permissions() & fs::perms::owner_write, fs::perms::none);
}

// An update replaces the program that may still be running, and keeps it runnable.
TEST(ZipExtract, ReplacesARunningProgramAndKeepsItExecutable) {
  TempFolder t;
  ASSERT_TRUE(MakeDirectory(t / "app"));
  ASSERT_TRUE(WriteFileBytes(t / "app/tool", ReadFileBytes(ConvertUtf8ToGbk("/bin/sleep"))));
  ASSERT_EQ(chmod((t.native() / "app/tool").c_str(), 0755), 0);
  int status = 0;
  const std::string running = (t.native() / "app/tool").string() + " 30 >/dev/null 2>&1 & echo $!";
  const std::string pid = CommandOutput(running, status);
  ASSERT_FALSE(pid.empty());
  {
    Crafted zip(t / "new.zip");
    zip.Add("tool", B("#!/bin/sh\necho new\n"));
  }
  EXPECT_EQ(ZipExtract(t / "new.zip", t / "app\\"), kZipExtractDone);
  CommandOutput("kill " + pid, status);
  EXPECT_EQ(ReadFileBytes(t / "app/tool"), B("#!/bin/sh\necho new\n"));
  EXPECT_EQ(CommandOutput((t.native() / "app/tool").string(), status), "new\n");
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(t.native() / "app"), fs::directory_iterator()), 1);
}

TEST(ZipExtract, NamesLeavingTheDestinationAreRefused) {
  const Text kNames[] = {
      "../evil.txt",      "a/../../evil.txt", "/tmp/evil.txt",   "\\evil.txt",     "C:evil.txt",
      "C:\\evil.txt",     "c:/evil.txt",      "a\\..\\..\\evil.txt", "..",         "..\\",
      "ok/\x81/../evil.txt",  // a lead byte that hides a "/" from the GBK walk, not from the file system
      ".", "",
  };
  for (const Text& bad : kNames) {
    TempFolder t;
    {
      Crafted zip(t / "bad.zip");
      zip.Add("good.txt", B("good"));
      zip.Add(bad, B("evil"));
      zip.Add("after.txt", B("after"));
    }
    Events events;
    EXPECT_EQ(ZipExtract(t / "bad.zip", t / "dest/inner", events.Progress()), kZipExtractFailed) << bad;
    EXPECT_EQ(events.seen, (std::vector<int>{33, 100})) << bad;
    EXPECT_EQ(ReadFileBytes(t / "dest/inner/good.txt"), B("good"));
    EXPECT_FALSE(FileExists(t / "dest/inner/after.txt")) << bad;
    // Nothing named evil anywhere in the test's folder, nor beside it.
    for (auto it = fs::recursive_directory_iterator(t.native()); it != fs::recursive_directory_iterator(); ++it) {
      EXPECT_EQ(it->path().filename().string().find("evil"), std::string::npos) << bad << ": " << it->path();
    }
    EXPECT_FALSE(fs::exists(t.native().parent_path() / "evil.txt"));
  }
}

// Header says 1,000 bytes; the stream holds 1 GiB of zeros. Caught while inflating: no more
// than the header's size is ever taken, and the member fails its size and CRC check.
TEST(ZipExtract, BombWhoseHeaderLiesIsStopped) {
  TempFolder t;
  uLong crc = 0;
  const Bytes bomb = ZerosDeflated(1024, crc);
  ASSERT_LT(bomb.size(), 2u << 20);
  {
    Crafted zip(t / "bomb.zip");
    zip.AddRaw("zeros.bin", bomb, 1000, Crc(Bytes(1000, 0)));
  }
  Events events;
  EXPECT_EQ(ZipExtract(t / "bomb.zip", t / "out", events.Progress()), kZipExtractFailed);
  EXPECT_EQ(events.seen, std::vector<int>{100});
  EXPECT_FALSE(FileExists(t / "out/zeros.bin"));
}

TEST(ZipExtract, MemberShorterThanItsHeaderFails) {
  TempFolder t;
  uLong crc = 0;
  const Bytes oneMib = ZerosDeflated(1, crc);
  {
    Crafted zip(t / "short.zip");
    zip.AddRaw("zeros.bin", oneMib, 2u << 20, crc);
  }
  EXPECT_EQ(ZipExtract(t / "short.zip", t / "out"), kZipExtractFailed);
  EXPECT_FALSE(FileExists(t / "out/zeros.bin"));
}

// An honest header over the member limit is refused before anything is inflated.
TEST(ZipExtract, HonestMemberOverTheLimitIsRefused) {
  TempFolder t;
  uLong crc = 0;
  const std::uint64_t mebibytes = (kZipMemberLimit >> 20) + 1;
  const Bytes big = ZerosDeflated(mebibytes, crc);
  {
    Crafted zip(t / "big.zip");
    zip.Add("first.txt", B("first"));
    zip.AddRaw("big.bin", big, mebibytes << 20, crc);
  }
  Events events;
  EXPECT_EQ(ZipExtract(t / "big.zip", t / "out", events.Progress()), kZipExtractFailed);
  EXPECT_EQ(events.seen, (std::vector<int>{50, 100}));
  EXPECT_EQ(ReadFileBytes(t / "out/first.txt"), B("first"));
  EXPECT_FALSE(FileExists(t / "out/big.bin"));
}

// Honest members, each within the member limit, that together unpack to far more than the
// archive's size allows.
TEST(ZipExtract, TotalOverTheRatioLimitIsStopped) {
  TempFolder t;
  uLong crc = 0;
  const Bytes twenty = ZerosDeflated(20, crc);
  {
    Crafted zip(t / "many.zip");
    for (int k = 0; k < 10; ++k) zip.AddRaw("z" + std::to_string(k) + ".bin", twenty, 20u << 20, crc);
  }
  ASSERT_LT(fs::file_size(t.native() / "many.zip") * kZipRatioLimit, kZipRatioAllowance);
  Events events;
  EXPECT_EQ(ZipExtract(t / "many.zip", t / "out", events.Progress()), kZipExtractFailed);
  // 64 MiB allowed: three members of 20 MiB fit, the fourth does not.
  EXPECT_EQ(events.seen, (std::vector<int>{10, 20, 30, 100}));
  EXPECT_TRUE(FileExists(t / "out/z2.bin"));
  EXPECT_FALSE(FileExists(t / "out/z3.bin"));
}

TEST(ZipExtract, DamagedAndTruncatedArchives) {
  TempFolder t;
  std::mt19937 rng(1);
  std::string letters(20000, ' ');
  for (char& c : letters) c = static_cast<char>('a' + rng() % 26);
  const Bytes text = B(letters);
  {
    Crafted zip(t / "good.zip");
    zip.Add("a.txt", text);
    zip.Add("b.txt", text);
  }
  const Bytes good = ReadFileBytes(t / "good.zip");

  // A flipped byte in the first member's data: the archive opens, the member fails, 100 comes.
  {
    // Members of one name land in archive order, also when they would be written side by
    // side and the earlier one takes longer: the last one wins.
    Crafted zip(t / "twice.zip");
    zip.Add("same.txt", B(std::string(4u << 20, 'f')));
    zip.Add("same.txt", B("second"));
    for (int k = 0; k < 200; ++k) zip.Add("many/" + ToText(k) + ".txt", B(ToText(k)));
    zip.Add("many/7.txt", B("seven again"));
  }
  Bytes damaged = good;
  damaged[30 + 5 + 100] ^= 0xFF;  // inside a.txt's deflate stream, after its 30-byte header and name
  ASSERT_TRUE(WriteFileBytes(t / "damaged.zip", damaged));
  Events d;
  EXPECT_EQ(ZipExtract(t / "damaged.zip", t / "d", d.Progress()), kZipExtractFailed);
  EXPECT_EQ(d.seen, std::vector<int>{100});
  EXPECT_FALSE(FileExists(t / "d/a.txt"));

  // Cut short: the central directory is gone, so the archive cannot be opened at all.
  ASSERT_TRUE(WriteFileBytes(t / "cut.zip", Bytes(good.begin(), good.begin() + good.size() / 2)));
  Events c;
  EXPECT_EQ(ZipExtract(t / "cut.zip", t / "c", c.Progress()), kZipExtractFailed);
  EXPECT_TRUE(c.seen.empty());

  // The central directory intact, the second member's data cut away: 50, then the failure's 100.
  const std::vector<Listed> listed = ListArchive(t / "good.zip");
  ASSERT_EQ(listed.size(), 2u);
  unzFile unz = unzOpen64(NativePath(t / "good.zip").c_str());
  ASSERT_NE(unz, nullptr);
  ASSERT_EQ(unzLocateFile(unz, "b.txt", 1), UNZ_OK);
  ASSERT_EQ(unzOpenCurrentFile(unz), UNZ_OK);
  const ZPOS64_T secondAt = unzGetCurrentFileZStreamPos64(unz);
  unzCloseCurrentFile(unz);
  unzClose(unz);
  Bytes holed = good;
  for (ZPOS64_T k = secondAt + 60; k < secondAt + 100; ++k) holed[k] = 0;
  ASSERT_TRUE(WriteFileBytes(t / "holed.zip", holed));
  Events h;
  EXPECT_EQ(ZipExtract(t / "holed.zip", t / "h", h.Progress()), kZipExtractFailed);
  EXPECT_EQ(h.seen, (std::vector<int>{50, 100}));
  EXPECT_EQ(ReadFileBytes(t / "h/a.txt"), text);
}

TEST(ZipExtract, EncryptedMembersAndLongNamesFail) {
  TempFolder t;
  {
    Crafted zip(t / "enc.zip");
    zip.Add("secret.txt", B("not really encrypted"), Z_DEFLATED, 1);
  }
  EXPECT_EQ(ZipExtract(t / "enc.zip", t / "out"), kZipExtractFailed);
  EXPECT_FALSE(FileExists(t / "out/secret.txt"));
  {
    Crafted zip(t / "long.zip");
    zip.Add(Text(kZipNameLimit + 1, 'n'), B("x"));
  }
  EXPECT_EQ(ZipExtract(t / "long.zip", t / "out2"), kZipExtractFailed);
}

}  // namespace

namespace {

// An archive in memory unpacks as the same bytes in a file: result, events and files.
TEST(ZipExtractBytes, GivesWhatTheSameArchiveInAFileGives) {
  TempFolder t;
  MakeDataFolder(t, t / "data");
  ASSERT_TRUE(ZipCompress(t / "data", t / "data.zip"));
  const Bytes good = ReadFileBytes(t / "data.zip");
  {
    Crafted zip(t / "escape.zip");
    zip.Add("good.txt", B("good"));
    zip.Add("../evil.txt", B("evil"));
  }
  {
    Crafted zip(t / "empty.zip");
  }
  uLong crc = 0;
  const Bytes oneMib = ZerosDeflated(1, crc);
  {
    Crafted zip(t / "lies.zip");
    zip.Add("stored.txt", B("stored"), 0);
    zip.AddRaw("small.bin", oneMib, 1000, Crc(Bytes(1000, 0)));
  }
  {
    Crafted zip(t / "short.zip");
    zip.AddRaw("zeros.bin", oneMib, 2u << 20, crc);
  }
  Bytes damaged = good;
  damaged[good.size() / 3] ^= 0xFF;
  const struct {
    const char* what;
    Bytes bytes;
  } kCases[] = {
      {"data folder", good},
      {"damaged", damaged},
      {"cut short", Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"escaping name", ReadFileBytes(t / "escape.zip")},
      {"header says less", ReadFileBytes(t / "lies.zip")},
      {"header says more", ReadFileBytes(t / "short.zip")},
      {"no members", ReadFileBytes(t / "empty.zip")},
      {"a name twice", ReadFileBytes(t / "twice.zip")},
      {"no archive", B(std::string(500, 'j'))},
      {"nothing", Bytes()},
  };
  int n = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    const Text file = t / ("case" + ToText(++n) + ".zip");
    ASSERT_TRUE(WriteFileBytes(file, c.bytes));
    // Also stopped by the handler at its second event, while members are still being prepared.
    bool unpacksWhole = false;
    for (const int stopAt : {-1, 1}) {
      SCOPED_TRACE(stopAt);
      const Text suffix = ToText(n) + (stopAt < 0 ? "" : "s");
      Events fromFile, fromMemory;
      fromFile.stopAt = fromMemory.stopAt = stopAt;
      const int filed = ZipExtract(file, t / ("file" + suffix), fromFile.Progress());
      const int held =
          ZipExtractBytes(c.bytes.data(), c.bytes.size(), t / ("memory" + suffix), fromMemory.Progress());
      EXPECT_EQ(held, filed);
      if (stopAt < 0) unpacksWhole = filed == kZipExtractDone;
      const Tree a = ReadTree(NativePath(t / ("file" + suffix)));
      const Tree b = ReadTree(NativePath(t / ("memory" + suffix)));
      if (filed == kZipExtractDone) {
        EXPECT_EQ(fromMemory.seen, fromFile.seen);
        EXPECT_EQ(b.files, a.files);
        EXPECT_EQ(b.folders, a.folders);
        continue;
      }
      // Stopped or failed, the threads writing in memory's case may have written members beyond
      // those told or the failed one: at least what the file gave, each file whole; of an
      // archive that unpacks whole, only its members. The events rise to 100 or to the stop.
      const auto fileOf = [](const Tree& tree, const Text& name) {
        const auto it = tree.files.find(name);
        return it == tree.files.end() ? Bytes() : it->second;
      };
      for (const auto& [name, bytes] : a.files) EXPECT_EQ(fileOf(b, name), bytes) << name;
      if (unpacksWhole) {
        const Tree whole = ReadTree(NativePath(t / ("memory" + ToText(n))));
        for (const auto& [name, bytes] : b.files) EXPECT_EQ(fileOf(whole, name), bytes) << name;
      }
      EXPECT_TRUE(std::is_sorted(fromMemory.seen.begin(), fromMemory.seen.end()));
      if (fromFile.seen.empty()) {  // not opened at all
        EXPECT_TRUE(fromMemory.seen.empty());
        continue;
      }
      ASSERT_FALSE(fromMemory.seen.empty());
      EXPECT_TRUE(fromMemory.seen.back() == 100 || static_cast<int>(fromMemory.seen.size()) == stopAt + 1);
    }
  }
  EXPECT_EQ(ReadTree(NativePath(t / "memory1")).files, ReadTree(t.native() / "data").files);
}

}  // namespace

namespace {

// Members of one name are written one after the other in archive order, even when the earlier
// one takes long: its write waits (at most 100 ms) for another write of that name to begin,
// which must not happen before it ends.
TEST(ZipExtractBytes, MembersOfOneNameAreWrittenInArchiveOrder) {
  TempFolder t;
  {
    Crafted zip(t / "twice.zip");
    zip.Add("same.txt", B(std::string(1u << 20, 'f')));
    zip.Add("same.txt", B("second"));
    for (int k = 0; k < 50; ++k) zip.Add(ToText(k) + ".txt", B(ToText(k)));
  }
  const Bytes archive = ReadFileBytes(t / "twice.zip");
  std::atomic<bool> firstWriting{false}, secondBegun{false}, overlapped{false};
  FileSystemOps slow = NativeFileSystem();
  slow.write = [&, native = slow.write](const std::string& path, const Bytes& bytes) {
    if (path.find("same.txt") == std::string::npos) return native(path, bytes);
    if (bytes.size() > 1000) {
      firstWriting = true;
      const std::uint64_t until = MonotonicMilliseconds() + 100;
      while (!secondBegun && MonotonicMilliseconds() < until) std::this_thread::yield();
      const WriteOutcome written = native(path, bytes);
      firstWriting = false;
      return written;
    }
    secondBegun = true;
    if (firstWriting) overlapped = true;
    return native(path, bytes);
  };
  const FileSystemOps saved = InstallFileSystem(slow);
  const int result = ZipExtractBytes(archive.data(), archive.size(), t / "out");
  InstallFileSystem(saved);
  EXPECT_EQ(result, kZipExtractDone);
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(ReadFileBytes(t / "out/same.txt"), B("second"));
}

// Members sent elsewhere are written there and told; one that cannot be written there lands at
// its usual place; names are checked before they are asked about.
TEST(ZipExtractBytes, RedirectedMembersGoWhereTheCallerSays) {
  TempFolder t;
  ASSERT_TRUE(MakeDirectory(t / "elsewhere"));
  {
    Crafted zip(t / "a.zip");
    zip.Add("方法/x.txt", B("x"));
    zip.Add("方法\\./y.txt", B("y"));
    zip.Add("图片/z.png", B("z"));
    zip.Add("../evil.txt", B("evil"));
  }
  const Bytes archive = ReadFileBytes(t / "a.zip");
  // z.png is sent where a file stands in the way of its folder.
  ASSERT_TRUE(WriteFileBytes(t / "blocked", B("file")));
  std::vector<std::vector<Text>> asked;
  std::vector<Text> told;
  const ZipRedirect redirect{[&](const std::vector<Text>& parts) {
                               asked.push_back(parts);
                               if (parts.back() == "z.png") return t / "blocked/z.png";
                               return parts[0] == "方法" ? t / ("elsewhere/" + parts[1]) : Text();
                             },
                             [&](const Text& path) { told.push_back(path); }};
  EXPECT_EQ(ZipExtractBytes(archive.data(), archive.size(), t / "out", {}, redirect), kZipExtractFailed);
  // Members are written side by side: the calls come one at a time, in no set order.
  std::sort(asked.begin(), asked.end());
  std::sort(told.begin(), told.end());
  EXPECT_EQ(asked, (std::vector<std::vector<Text>>{{"方法", "x.txt"}, {"方法", "y.txt"}, {"图片", "z.png"}}));
  EXPECT_EQ(told, (std::vector<Text>{t / "elsewhere/x.txt", t / "elsewhere/y.txt"}));
  EXPECT_EQ(ReadFileBytes(t / "elsewhere/x.txt"), B("x"));
  EXPECT_EQ(ReadFileBytes(t / "elsewhere/y.txt"), B("y"));
  EXPECT_FALSE(FileExists(t / "out/方法/x.txt"));
  EXPECT_EQ(ReadFileBytes(t / "out/图片/z.png"), B("z"));
  EXPECT_FALSE(FileExists(t / "evil.txt"));
}

}  // namespace
