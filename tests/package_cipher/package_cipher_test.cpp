// The package cipher: published RC4 vectors, the password digest, known package bytes, the plain
// prefix, reads and writes in any chunks, and the file-number layer over real files.
#include "snippets/package_cipher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "runtime/codepage.h"
#include "runtime/files.h"
#include "runtime/md5.h"
#include "runtime/memory_file.h"
#include "tests/support/temp_folder.h"

namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
  std::string out;
  char two[3];
  for (std::size_t k = 0; k < n; ++k) {
    std::snprintf(two, sizeof two, "%02x", p[k]);
    out += two;
  }
  return out;
}
std::string Hex(const Bytes& b) { return Hex(b.data(), b.size()); }

Bytes FromText(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

Bytes Keystream(const Bytes& key, std::size_t skip, std::size_t n) {
  Rc4State state;
  ScheduleRc4Key(key.data(), key.size(), state);
  SkipRc4Keystream(skip, state);
  Bytes out(n, 0);
  XorRc4Keystream(out.data(), out.size(), state);
  return out;
}

// The transform of a whole buffer that starts at file position 0.
Bytes Enciphered(const Text& password, int prefix, Bytes data, std::int64_t at = 0) {
  EncryptedFile file(password, prefix);
  file.CipherFileBlocks(at, data.data(), static_cast<std::int64_t>(data.size()), CipherCopy::Writing);
  return data;
}

TEST(Rc4, PublishedVectors) {
  const struct {
    Bytes key;
    std::size_t offset;
    const char* keystream;
  } kCases[] = {
      // RFC 6229, 40-bit key.
      {{1, 2, 3, 4, 5}, 0, "b2396305f03dc027ccc3524a0a1118a8"},
      {{1, 2, 3, 4, 5}, 16, "6982944f18fc82d589c403a47a0d0919"},
      {{1, 2, 3, 4, 5}, 240, "28cb1132c96ce286421dcaadb8b69eae"},
      {{1, 2, 3, 4, 5}, 256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
      // RFC 6229, 128-bit key.
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Hex(Keystream(c.key, c.offset, 16)), c.keystream) << "offset " << c.offset;
  }
}

TEST(Rc4, ClassicPlaintextVectors) {
  const struct {
    const char* key;
    const char* plain;
    const char* cipher;
  } kCases[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
  };
  for (const auto& c : kCases) {
    Rc4State state;
    const Bytes key = FromText(c.key);
    ScheduleRc4Key(key.data(), key.size(), state);
    Bytes data = FromText(c.plain);
    XorRc4Keystream(data.data(), data.size(), state);
    EXPECT_EQ(Hex(data), c.cipher) << c.key;
  }
}

TEST(Rc4, StateContinuesAcrossCallsAndAnEmptyKeyKeepsTheIdentity) {
  const Bytes key = FromText("Secret");
  const Bytes whole = Keystream(key, 0, 100);
  Rc4State state;
  ScheduleRc4Key(key.data(), key.size(), state);
  EXPECT_EQ(state.i, 0);
  EXPECT_EQ(state.j, 0);
  Bytes parts(100, 0);
  XorRc4Keystream(parts.data(), 30, state);
  SkipRc4Keystream(20, state);
  XorRc4Keystream(parts.data() + 50, 50, state);
  EXPECT_EQ(Bytes(parts.begin(), parts.begin() + 30), Bytes(whole.begin(), whole.begin() + 30));
  EXPECT_EQ(Bytes(parts.begin() + 50, parts.end()), Bytes(whole.begin() + 50, whole.end()));

  ScheduleRc4Key(key.data(), 0, state);
  for (int n = 0; n < 256; ++n) EXPECT_EQ(state.s[n], n);
}

TEST(PasswordDigest, IsTheMd5HexFromTheLastByteToTheFirst) {
  const struct {
    Text password;
    const char* digest;
  } kCases[] = {
      {"abc", "727fe1287d3f96d6b04fd23c98500190"},  // MD5 900150983cd24fb0d6963f7d28e17f72
      {"密码", "3c488aaa862424f6c564c9f0303e29d2"},   // over the GBK bytes
  };
  for (const auto& c : kCases) {
    char digest[kPasswordDigestSize];
    std::memset(digest, 'x', sizeof digest);
    DigestPassword(reinterpret_cast<const std::uint8_t*>(c.password.data()), c.password.size(), digest);
    EXPECT_EQ(std::string(digest), c.digest);
    EXPECT_EQ(digest[32], 0);
  }
}

// Ciphertext of zeros, from a reference written independently of this code.
TEST(PackageCipher, KnownKeystreamOfZeros) {
  const struct {
    Text password;
    std::size_t length;
    const char* md5;
  } kCases[] = {
      {"abc", 3 * 4096 + 100, "cdd045da6aac46b2de84261be033f47b"},
      {"密码", 2 * 4096 + 7, "687870c0ffbb0b854330a462eaa9ea3f"},
  };
  for (const auto& c : kCases) {
    const Bytes out = Enciphered(c.password, 10, Bytes(c.length, 0));
    EXPECT_EQ(Hex(ComputeMd5(out.data(), out.size()).data(), 16), c.md5) << c.password;
  }
  const Bytes out = Enciphered("abc", 10, Bytes(4200, 0));
  EXPECT_EQ(Hex(out.data(), 16), "0000000000000000000090a98452eec0");
  EXPECT_EQ(Hex(out.data() + 4090, 12), "e8d2b4aa7c474c44d7a40b4c");
}

// The file byte at P = 10 takes keystream byte 46 of the block-0 key (36 dropped, then 10 in).
TEST(PackageCipher, ByteAtThePrefixEndUsesKeystreamByte46OfBlockZero) {
  const Text password = "abc";
  Rc4State master;
  ScheduleRc4Key(reinterpret_cast<const std::uint8_t*>(password.data()), password.size(), master);
  std::uint8_t w[4] = {0, 0, 0, 0};
  XorRc4Keystream(w, 4, master);
  char digest[kPasswordDigestSize];
  DigestPassword(reinterpret_cast<const std::uint8_t*>(password.data()), password.size(), digest);
  Bytes key(w, w + 4);
  key.insert(key.end(), digest, digest + 32);
  key.insert(key.end(), w, w + 4);  // W(0) XOR 0
  const Bytes stream = Keystream(key, 0, 64);

  const Bytes out = Enciphered(password, 10, Bytes(16, 0));
  EXPECT_EQ(out[10], stream[46]);
  EXPECT_NE(stream[46], stream[36]);  // the case is not trivially met
  EXPECT_EQ(out[11], stream[47]);
}

TEST(PackageCipher, PlainPrefixIsLeftAsGiven) {
  const Bytes data = RandomBytes(5000, 1);
  const struct {
    int prefix;
    std::size_t plain;
  } kCases[] = {{10, 10}, {0, 0}, {-5, 0}, {4096, 4096}};
  for (const auto& c : kCases) {
    const Bytes out = Enciphered("pw", c.prefix, data);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + c.plain), Bytes(data.begin(), data.begin() + c.plain));
    EXPECT_NE(out[c.plain], data[c.plain]) << c.prefix;  // this data's first enciphered byte changes
  }
  // A call wholly inside the prefix transforms nothing.
  Bytes inside = Bytes(data.begin() + 2, data.begin() + 9);
  EncryptedFile file("pw", 10);
  file.CipherFileBlocks(2, inside.data(), 7, CipherCopy::Reading);
  EXPECT_EQ(inside, Bytes(data.begin() + 2, data.begin() + 9));
}

TEST(PackageCipher, AnyStartAndLengthMatchesTheWholeCall) {
  const Bytes data = RandomBytes(5 * 4096 + 333, 2);
  const Bytes whole = Enciphered("секрет-密码", 10, data);
  const struct {
    std::int64_t start;
    std::int64_t count;
  } kCases[] = {
      {0, 5},          {3, 20},         {10, 1},          {4095, 2},    {4096, 4096},
      {100, 3 * 4096}, {4000, 8192 + 1}, {4097, 4096 * 4}, {20000, 333}, {0, 5 * 4096 + 333},
  };
  EncryptedFile file("секрет-密码", 10);
  for (const auto& c : kCases) {
    Bytes part(data.begin() + c.start, data.begin() + c.start + c.count);
    file.CipherFileBlocks(c.start, part.data(), c.count, CipherCopy::Reading);
    EXPECT_EQ(part, Bytes(whole.begin() + c.start, whole.begin() + c.start + c.count))
        << c.start << "+" << c.count;
  }
}

TEST(PackageCipher, ChunkedReadsAndWritesOfARealFileAgree) {
  TempFolder folder;
  const Bytes data = RandomBytes(9 * 4096 + 1234, 3);
  const Text whole = folder / "whole.yrd";
  {
    EncryptedFile file("pass", 10);
    ASSERT_TRUE(file.Open(whole, kFileModeCreate));
    ASSERT_TRUE(file.Write(data.data(), data.size()));
  }
  // Written in random chunks: the same file.
  std::mt19937 rng(4);
  const Text chunked = folder / "chunked.yrd";
  {
    EncryptedFile file("pass", 10);
    ASSERT_TRUE(file.Open(chunked, kFileModeCreate));
    std::size_t done = 0;
    while (done < data.size()) {
      const std::size_t n = std::min<std::size_t>(1 + rng() % 7000, data.size() - done);
      ASSERT_TRUE(file.Write(data.data() + done, n));
      done += n;
    }
  }
  EXPECT_EQ(ReadFileBytes(chunked), ReadFileBytes(whole));
  EXPECT_NE(ReadFileBytes(whole), data);

  // Read back in random chunks from random positions.
  EncryptedFile file("pass", 10);
  ASSERT_TRUE(file.Open(whole, kFileModeRead));
  EXPECT_EQ(file.Length(), static_cast<std::int64_t>(data.size()));
  for (int round = 0; round < 200; ++round) {
    const std::size_t at = rng() % data.size();
    const std::size_t n = 1 + rng() % 9000;
    ASSERT_TRUE(file.Seek(static_cast<std::int64_t>(at)));
    Bytes got(n);
    got.resize(file.Read(got.data(), n));
    ASSERT_EQ(got.size(), std::min(n, data.size() - at));
    ASSERT_EQ(got, Bytes(data.begin() + at, data.begin() + at + got.size())) << at << "+" << n;
  }
  ASSERT_TRUE(file.Seek(0));
  Bytes all(data.size() + 10);
  all.resize(file.Read(all.data(), all.size()));
  EXPECT_EQ(all, data);
}

TEST(PackageCipher, WriteLeavesTheCallersBytesAndIsRepeatable) {
  TempFolder folder;
  const Bytes data = RandomBytes(10000, 5);
  Bytes given = data;
  for (const char* name : {"a.yrd", "b.yrd"}) {
    EncryptedFile file("same", 10);
    ASSERT_TRUE(file.Open(folder / name, kFileModeCreate));
    ASSERT_TRUE(file.Write(given.data(), given.size()));
  }
  EXPECT_EQ(given, data);
  EXPECT_EQ(ReadFileBytes(folder / "a.yrd"), ReadFileBytes(folder / "b.yrd"));
}

TEST(PackageCipher, EmptyPasswordIsAPlainFile) {
  TempFolder folder;
  const Bytes data = RandomBytes(7000, 6);
  EncryptedFile object("", 10);
  EXPECT_FALSE(object.HasPassword());
  Bytes same = data;
  object.CipherFileBlocks(0, same.data(), static_cast<std::int64_t>(same.size()), CipherCopy::Writing);
  EXPECT_EQ(same, data);

  const int f = OpenDataFile(folder / "plain.yrd", kFileModeCreate, "", 10);
  ASSERT_NE(f, 0);
  // Memory files and data files share the numbers and the calls.
  const int memory = OpenMemoryFile();
  EXPECT_NE(memory, f);
  EXPECT_TRUE(WriteBytes(memory, Bytes{1, 2, 3}));
  EXPECT_TRUE(WriteBytes(f, data));
  EXPECT_EQ(FileLength(memory), 3);
  EXPECT_EQ(FileLength(f), static_cast<std::int64_t>(data.size()));
  EXPECT_TRUE(CloseFile(memory));
  EXPECT_TRUE(CloseFile(f));
  EXPECT_FALSE(CloseFile(f));
  EXPECT_EQ(ReadFileBytes(folder / "plain.yrd"), data);
}

// Only the first 256 bytes enter the key schedule, but the whole password enters the digest.
TEST(PackageCipher, PasswordsLongerThan256Bytes) {
  const Text first256(256, 'k');
  const Text longA = first256 + Text(44, 'a');
  const Text longB = first256 + Text(44, 'b');
  Rc4State a, b, c;
  ScheduleRc4Key(reinterpret_cast<const std::uint8_t*>(longA.data()), longA.size(), a);
  ScheduleRc4Key(reinterpret_cast<const std::uint8_t*>(longB.data()), longB.size(), b);
  ScheduleRc4Key(reinterpret_cast<const std::uint8_t*>(first256.data()), first256.size(), c);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  EXPECT_EQ(std::memcmp(&a, &c, sizeof a), 0);

  const Bytes data = RandomBytes(3 * 4096, 7);
  const Bytes outA = Enciphered(longA, 10, data);
  const Bytes outB = Enciphered(longB, 10, data);
  EXPECT_NE(outA, outB);
  EXPECT_NE(outA, Enciphered(first256, 10, data));

  TempFolder folder;
  const int f = OpenDataFile(folder / "long.yrd", kFileModeCreate, longA, 10);
  ASSERT_NE(f, 0);
  ASSERT_TRUE(WriteBytes(f, data));
  CloseFile(f);
  const int g = OpenDataFile(folder / "long.yrd", kFileModeRead, longA, 10);
  ASSERT_NE(g, 0);
  EXPECT_EQ(ReadBytes(g, FileLength(g)), data);
  CloseFile(g);
}

// A wrong password reads bytes of the same length that are as good as random: the header stays,
// and past it no more bytes agree than chance gives (1 in 256).
TEST(PackageCipher, WrongPasswordReadsGarbageAfterTheHeader) {
  TempFolder folder;
  const Bytes data = RandomBytes(64 * 1024, 8);
  const int f = OpenDataFile(folder / "p.yrd", kFileModeCreate, "right", 10);
  ASSERT_NE(f, 0);
  ASSERT_TRUE(WriteBytes(f, data));
  CloseFile(f);
  for (const Text wrong : {"wrong", "righ", "right ", ""}) {
    const int g = OpenDataFile(folder / "p.yrd", kFileModeRead, wrong, 10);
    ASSERT_NE(g, 0);
    const Bytes got = ReadBytes(g, FileLength(g));
    CloseFile(g);
    ASSERT_EQ(got.size(), data.size());
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 10), Bytes(data.begin(), data.begin() + 10));
    std::size_t agree = 0;
    for (std::size_t k = 10; k < data.size(); ++k) agree += got[k] == data[k];
    EXPECT_LT(agree, data.size() / 100) << wrong;
  }
}

TEST(FileNumbers, FailuresAndUnknownNumbers) {
  TempFolder folder;
  EXPECT_EQ(OpenDataFile(folder / "missing.yrd", kFileModeRead, "pw", 10), 0);
  EXPECT_EQ(OpenDataFile(folder / "no-folder/x.yrd", kFileModeCreate, "pw", 10), 0);
  EXPECT_EQ(OpenDataFile(folder / "x.yrd", 2, "pw", 10), 0);
  EXPECT_EQ(OpenDataFile("", kFileModeCreate, "", 10), 0);
  EXPECT_EQ(FileLength(987654), -1);
  EXPECT_TRUE(ReadBytes(987654, 10).empty());
  EXPECT_FALSE(WriteBytes(987654, Bytes{1}));
  CloseFile(987654);

  // A file opened for reading refuses writes; reading past the end gives what is there.
  ASSERT_TRUE(WriteFileBytes(folder / "r.yrd", Bytes(20, 7)));
  const int f = OpenDataFile(folder / "r.yrd", kFileModeRead, "pw", 10);
  ASSERT_NE(f, 0);
  EXPECT_FALSE(WriteBytes(f, Bytes{1, 2}));
  EXPECT_EQ(ReadBytes(f, 1000).size(), 20u);
  EXPECT_TRUE(ReadBytes(f, 10).empty());
  CloseFile(f);
  EXPECT_EQ(FileLength(f), -1);
}

TEST(EncryptedFile, SetLengthAndPositions) {
  TempFolder folder;
  EncryptedFile file("pw", 10);
  EXPECT_EQ(file.Position(), -1);
  EXPECT_EQ(file.Length(), -1);
  ASSERT_TRUE(file.Open(folder / "len.yrd", kFileModeCreate));
  const Bytes data = RandomBytes(5000, 9);
  ASSERT_TRUE(file.Write(data.data(), data.size()));
  EXPECT_EQ(file.Position(), 5000);
  ASSERT_TRUE(file.SetLength(100));
  EXPECT_EQ(file.Length(), 100);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFileBytes(folder / "len.yrd").size(), 100u);
}

}  // namespace
