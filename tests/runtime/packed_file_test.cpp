// The stored-file format: round trips, the empty head, and everything that is no stored file.
#include "runtime/packed_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "tests/support/stored_bomb.h"

namespace {

Bytes Head(std::uint32_t magic, std::uint32_t length) {
  Bytes head(8);
  for (int i = 0; i < 4; ++i) {
    head[i] = static_cast<std::uint8_t>(magic >> (8 * i));
    head[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  }
  return head;
}

Bytes ZlibStream(const Bytes& content) {
  uLongf size = compressBound(content.size());
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, content.data(), content.size(), Z_DEFAULT_COMPRESSION), Z_OK);
  out.resize(size);
  return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes RandomBytes(std::size_t n) {
  std::mt19937 rng(3);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

TEST(PackedFile, RoundTrips) {
  const Text text = "使用方法: int main() { return 0; }\n";
  const Bytes contents[] = {Bytes{'x'}, Bytes(text.begin(), text.end()), Bytes(100000, 'a'),
                            RandomBytes(70000)};
  for (const Bytes& content : contents) {
    const Bytes stored = CompressBytes(content);
    ASSERT_GE(stored.size(), 8u);
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 8), Head(kPackedFileMagic, content.size()));
    EXPECT_EQ(DecompressBytes(stored), content);
  }
}

TEST(PackedFile, HeadIsMagicAndLengthThenAZlibStream) {
  const Bytes content{'h', 'e', 'l', 'l', 'o'};
  const Bytes stored = CompressBytes(content);
  EXPECT_EQ(stored, Cat(Head(0x033E0F0D, 5), ZlibStream(content)));
}

TEST(PackedFile, EmptyContentIsTheHeadAlone) {
  const Bytes stored = CompressBytes(Bytes());
  EXPECT_EQ(stored, Head(kPackedFileMagic, 0));
  EXPECT_TRUE(DecompressBytes(stored).empty());
}

TEST(PackedFile, AnythingElseReadsAsEmpty) {
  const Bytes content(5000, 'z');
  const Bytes stream = ZlibStream(content);
  const Bytes good = Cat(Head(kPackedFileMagic, 5000), stream);
  ASSERT_EQ(DecompressBytes(good), content);

  Bytes flipped = good;
  flipped[8 + stream.size() / 2] ^= 0x55;
  const struct {
    const char* what;
    Bytes stored;
  } cases[] = {
      {"nothing", Bytes()},
      {"seven bytes", Bytes(good.begin(), good.begin() + 7)},
      {"other magic", Cat(Head(0x033E0F0E, 5000), stream)},
      {"length 0", Cat(Head(kPackedFileMagic, 0), stream)},
      {"head without stream", Head(kPackedFileMagic, 5000)},
      {"cut-off stream", Bytes(good.begin(), good.end() - 6)},
      {"broken stream", flipped},
      {"not zlib at all", Cat(Head(kPackedFileMagic, 4), Bytes{'a', 'b', 'c', 'd'})},
      {"stream longer than its length", Cat(Head(kPackedFileMagic, 4999), stream)},
      {"stream shorter than its length", Cat(Head(kPackedFileMagic, 5001), stream)},
      {"hostile length", Cat(Head(kPackedFileMagic, 0xFFFFFFFFu), stream)},
  };
  for (const auto& c : cases) EXPECT_TRUE(DecompressBytes(c.stored).empty()) << c.what;
}

TEST(PackedFile, BytesAfterTheStreamAreIgnored) {
  const Bytes content{'a', 'b', 'c'};
  EXPECT_EQ(DecompressBytes(Cat(CompressBytes(content), Bytes{1, 2, 3})), content);
}

TEST(PackedFile, HighlyCompressibleContentBeyondTheFirstGuess) {
  // Zeros compress near deflate's limit, so the reader has to grow its buffer as it goes.
  const Bytes content(8 << 20, 0);
  const Bytes stored = CompressBytes(content);
  EXPECT_LT(stored.size(), content.size() / 500);
  EXPECT_EQ(DecompressBytes(stored), content);
}

// The process's address space now, from /proc; 0 when it cannot be read.
std::size_t AddressSpaceBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// A 2 MB stored file that inflates to 2 GiB gives empty content, and reading it never holds
// much more than the stored-file limit: the read runs in a child whose address space is capped,
// where a reader that believed the stream would fail to allocate and die.
TEST(PackedFile, BombsGiveEmptyContentInBoundedMemory) {
  const struct {
    const char* what;
    std::uint32_t claimed;
  } cases[] = {
      {"claims the 2 GiB it holds", 0x80000000u},
      {"claims the limit", static_cast<std::uint32_t>(kMaxStoredFileLength)},
      {"claims a little", 1000},
  };
  const Bytes bomb = MakeStoredBomb(0, 2048);
  EXPECT_LT(bomb.size(), 3u << 20);
  for (const auto& c : cases) {
    Bytes stored = bomb;
    for (int i = 0; i < 4; ++i) stored[4 + i] = static_cast<std::uint8_t>(c.claimed >> (8 * i));
    const std::size_t cap = AddressSpaceBytes() + kMaxStoredFileLength + (96u << 20);
    const pid_t child = fork();
    if (child == 0) {
      const rlimit limit{cap, cap};
      setrlimit(RLIMIT_AS, &limit);
      Bytes content{1};
      const bool read = DecompressBytes(stored, content);
      _exit(!read && content.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.what << ", status " << status;
  }
}

}  // namespace
