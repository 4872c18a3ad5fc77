// The package cipher and the file-number layer that opens package files through it.
#include "snippets/package_cipher.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "runtime/files.h"
#include "runtime/md5.h"

namespace {

// The identity permutation, copied rather than rebuilt for every block.
struct Identity {
  std::uint8_t s[256];
  constexpr Identity() : s() {
    for (int n = 0; n < 256; ++n) s[n] = static_cast<std::uint8_t>(n);
  }
};
constexpr Identity kIdentity;

// The RC4 steps on a permutation the caller owns. Kept on a local array in the hot paths, so the
// compiler knows the buffer never aliases the permutation.
inline void Schedule(std::uint8_t* s, const std::uint8_t* key, std::size_t keyLength) {
  std::memcpy(s, kIdentity.s, 256);
  if (keyLength < 1) return;
  unsigned j = 0;
  std::size_t k = 0;
  for (unsigned n = 0; n < 256; ++n) {
    const unsigned sn = s[n];
    j = (j + sn + key[k]) & 0xFF;
    s[n] = s[j];
    s[j] = static_cast<std::uint8_t>(sn);
    if (++k == keyLength) k = 0;
  }
}

inline void Skip(std::uint8_t* s, unsigned& i, unsigned& j, std::size_t count) {
  unsigned x = i, y = j;
  for (std::size_t n = 0; n < count; ++n) {
    x = (x + 1) & 0xFF;
    const unsigned sx = s[x];
    y = (y + sx) & 0xFF;
    const unsigned sy = s[y];
    s[x] = static_cast<std::uint8_t>(sy);
    s[y] = static_cast<std::uint8_t>(sx);
  }
  i = x;
  j = y;
}

inline void Xor(std::uint8_t* s, unsigned& i, unsigned& j, std::uint8_t* buffer, std::size_t count) {
  unsigned x = i, y = j;
  for (std::size_t n = 0; n < count; ++n) {
    x = (x + 1) & 0xFF;
    const unsigned sx = s[x];
    y = (y + sx) & 0xFF;
    const unsigned sy = s[y];
    s[x] = static_cast<std::uint8_t>(sy);
    s[y] = static_cast<std::uint8_t>(sx);
    buffer[n] ^= s[(sx + sy) & 0xFF];
  }
  i = x;
  j = y;
}

// Xor on two independent streams at once: RC4 is one long chain of dependent loads per stream,
// and a second chain beside it keeps the processor busy while the first waits.
inline void Xor2(std::uint8_t* s1, unsigned i1, unsigned j1, std::uint8_t* buffer1, std::uint8_t* s2,
                 unsigned i2, unsigned j2, std::uint8_t* buffer2, std::size_t count) {
  unsigned x1 = i1, y1 = j1, x2 = i2, y2 = j2;
  for (std::size_t n = 0; n < count; ++n) {
    x1 = (x1 + 1) & 0xFF;
    x2 = (x2 + 1) & 0xFF;
    const unsigned a1 = s1[x1];
    const unsigned a2 = s2[x2];
    y1 = (y1 + a1) & 0xFF;
    y2 = (y2 + a2) & 0xFF;
    const unsigned b1 = s1[y1];
    const unsigned b2 = s2[y2];
    s1[x1] = static_cast<std::uint8_t>(b1);
    s2[x2] = static_cast<std::uint8_t>(b2);
    s1[y1] = static_cast<std::uint8_t>(a1);
    s2[y2] = static_cast<std::uint8_t>(a2);
    buffer1[n] ^= s1[(a1 + b1) & 0xFF];
    buffer2[n] ^= s2[(a2 + b2) & 0xFF];
  }
}

// Block keys are 40 bytes: the block word, the 32 digest characters, the word XOR the block.
constexpr std::size_t kBlockKeySize = 40;
// Keystream bytes of each block key dropped before the first file byte of the block.
constexpr std::size_t kBlockKeystreamSkip = 36;

}  // namespace

void ScheduleRc4Key(const std::uint8_t* key, std::size_t keyLength, Rc4State& state) {
  Schedule(state.s, key, keyLength);
  state.i = 0;
  state.j = 0;
}

void SkipRc4Keystream(std::size_t count, Rc4State& state) {
  std::uint8_t s[256];
  std::memcpy(s, state.s, 256);
  unsigned i = state.i, j = state.j;
  Skip(s, i, j, count);
  std::memcpy(state.s, s, 256);
  state.i = static_cast<std::uint8_t>(i);
  state.j = static_cast<std::uint8_t>(j);
}

void XorRc4Keystream(std::uint8_t* buffer, std::size_t count, Rc4State& state) {
  std::uint8_t s[256];
  std::memcpy(s, state.s, 256);
  unsigned i = state.i, j = state.j;
  Xor(s, i, j, buffer, count);
  std::memcpy(state.s, s, 256);
  state.i = static_cast<std::uint8_t>(i);
  state.j = static_cast<std::uint8_t>(j);
}

void DigestPassword(const std::uint8_t* password, std::size_t length, char out[kPasswordDigestSize]) {
  static const char kHex[] = "0123456789abcdef";
  const Md5Digest md5 = ComputeMd5(password, length);
  char h[32];
  for (int k = 0; k < 16; ++k) {
    h[2 * k] = kHex[md5[k] >> 4];
    h[2 * k + 1] = kHex[md5[k] & 0x0F];
  }
  for (int k = 0; k < 32; k += 2) std::swap(h[k], h[k + 1]);
  for (int k = 0; k < 16; ++k) std::swap(h[k], h[31 - k]);
  std::memcpy(out, h, 32);
  out[32] = 0;
}

EncryptedFile::EncryptedFile(const Text& password, int plainPrefixLength) {
  SetEncryptedFileKey(password, plainPrefixLength);
}

EncryptedFile::~EncryptedFile() { Close(); }

void EncryptedFile::SetEncryptedFileKey(const Text& password, int plainPrefixLength) {
  plainPrefixLength_ = plainPrefixLength < 0 ? 0 : plainPrefixLength;
  std::memset(&readState_, 0, sizeof readState_);
  std::memset(&writeState_, 0, sizeof writeState_);
  std::memset(readDigest_, 0, sizeof readDigest_);
  std::memset(writeDigest_, 0, sizeof writeDigest_);
  if (password.empty()) return;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(password.data());
  ScheduleRc4Key(bytes, password.size(), readState_);
  DigestPassword(bytes, password.size(), readDigest_);
  std::memcpy(writeDigest_, readDigest_, sizeof readDigest_);
  std::memcpy(&writeState_, &readState_, sizeof readState_);
}

void EncryptedFile::CipherFileBlocks(std::int64_t position, std::uint8_t* buffer, std::int64_t count,
                                     CipherCopy copy) const {
  const char* digest = copy == CipherCopy::Reading ? readDigest_ : writeDigest_;
  const Rc4State& master = copy == CipherCopy::Reading ? readState_ : writeState_;
  if (digest[0] == 0 || buffer == nullptr) return;
  if (position < plainPrefixLength_) {
    const std::int64_t plain = plainPrefixLength_ - position;
    count -= plain;
    if (count <= 0) return;
    buffer += plain;
    position = plainPrefixLength_;
  }
  if (count <= 0 || position < 0) return;

  const std::int64_t firstBlock = position / kCipherBlockSize;
  std::size_t offset = static_cast<std::size_t>(position % kCipherBlockSize);

  // The block words: master keystream bytes 4b..4b+3 for block b, drawn in one pass.
  std::vector<std::uint8_t> words(static_cast<std::size_t>(4 * (count / kCipherBlockSize) + 8), 0);
  {
    std::uint8_t s[256];
    std::memcpy(s, master.s, 256);
    unsigned i = master.i, j = master.j;
    Skip(s, i, j, static_cast<std::size_t>(4 * firstBlock));
    Xor(s, i, j, words.data(), words.size());
  }

  // Block n's permutation keyed and its keystream advanced to the block's first byte + skip.
  const auto keyBlock = [&](std::int64_t n, std::uint8_t* s, unsigned& i, unsigned& j, std::size_t skip) {
    std::uint8_t key[kBlockKeySize];
    std::memcpy(key + 4, digest, 32);
    const std::uint8_t* w = words.data() + 4 * n;
    const std::uint32_t word = static_cast<std::uint32_t>(w[0]) | static_cast<std::uint32_t>(w[1]) << 8 |
                               static_cast<std::uint32_t>(w[2]) << 16 | static_cast<std::uint32_t>(w[3]) << 24;
    const std::uint32_t mixed = word ^ static_cast<std::uint32_t>(firstBlock + n);
    for (int k = 0; k < 4; ++k) {
      key[k] = static_cast<std::uint8_t>(word >> (8 * k));
      key[36 + k] = static_cast<std::uint8_t>(mixed >> (8 * k));
    }
    Schedule(s, key, kBlockKeySize);
    i = 0;
    j = 0;
    Skip(s, i, j, kBlockKeystreamSkip + skip);
  };
  std::uint8_t s[256], s2[256];
  std::int64_t left = count;
  std::int64_t n = 0;
  // Whole blocks after the first go two at a time; a part block at either end alone.
  for (; left > 0; ++n) {
    unsigned i = 0, j = 0;
    if (offset == 0 && left >= 2 * kCipherBlockSize) {
      unsigned i2 = 0, j2 = 0;
      keyBlock(n, s, i, j, 0);
      keyBlock(n + 1, s2, i2, j2, 0);
      Xor2(s, i, j, buffer, s2, i2, j2, buffer + kCipherBlockSize, kCipherBlockSize);
      buffer += 2 * kCipherBlockSize;
      left -= 2 * kCipherBlockSize;
      ++n;
      continue;
    }
    keyBlock(n, s, i, j, offset);
    const std::size_t take = static_cast<std::size_t>(
        std::min<std::int64_t>(kCipherBlockSize - static_cast<std::int64_t>(offset), left));
    Xor(s, i, j, buffer, take);
    buffer += take;
    left -= static_cast<std::int64_t>(take);
    offset = 0;
  }
}

bool EncryptedFile::Open(const Text& path, int mode) {
  Close();
  const char* how = mode == kFileModeRead ? "rb" : mode == kFileModeCreate ? "wb" : nullptr;
  if (how == nullptr || path.empty()) return false;
  file_ = std::fopen(NativePath(path).c_str(), how);
  if (file_ == nullptr) return false;
  path_ = path;
  return true;
}

void EncryptedFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  path_.clear();
}

std::size_t EncryptedFile::Read(std::uint8_t* buffer, std::size_t count) {
  if (file_ == nullptr || count == 0) return 0;
  const std::int64_t position = Position();
  const std::size_t got = std::fread(buffer, 1, count, file_);
  if (got > 0 && HasPassword()) {
    CipherFileBlocks(position, buffer, static_cast<std::int64_t>(got), CipherCopy::Reading);
  }
  return got;
}

bool EncryptedFile::Write(const std::uint8_t* buffer, std::size_t count) {
  if (file_ == nullptr) return false;
  if (count == 0) return true;
  if (!HasPassword()) return std::fwrite(buffer, 1, count, file_) == count && std::fflush(file_) == 0;
  const std::int64_t position = Position();
  std::vector<std::uint8_t> copy(buffer, buffer + count);
  CipherFileBlocks(position, copy.data(), static_cast<std::int64_t>(count), CipherCopy::Writing);
  // A full disk may show only when the buffer is flushed.
  return std::fwrite(copy.data(), 1, count, file_) == count && std::fflush(file_) == 0;
}

bool EncryptedFile::Seek(std::int64_t position) {
  return file_ != nullptr && position >= 0 && fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
}

std::int64_t EncryptedFile::Position() const {
  return file_ == nullptr ? -1 : static_cast<std::int64_t>(ftello(file_));
}

std::int64_t EncryptedFile::Length() const {
  if (file_ == nullptr) return -1;
  std::fflush(file_);
  std::error_code ec;
  const auto size = std::filesystem::file_size(NativePath(path_), ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

bool EncryptedFile::SetLength(std::int64_t length) {
  if (file_ == nullptr || length < 0 || std::fflush(file_) != 0) return false;
  std::error_code ec;
  std::filesystem::resize_file(NativePath(path_), static_cast<std::uintmax_t>(length), ec);
  return !ec;
}

namespace {

// An EncryptedFile under a file number.
class DataFile final : public NumberedFile {
 public:
  DataFile(const Text& password, int plainLeadingBytes) : file_(password, plainLeadingBytes) {}
  bool Open(const Text& name, int mode) { return file_.Open(name, mode); }
  std::size_t Read(std::uint8_t* buffer, std::size_t count) override { return file_.Read(buffer, count); }
  bool Write(const std::uint8_t* data, std::size_t size) override { return file_.Write(data, size); }
  std::int64_t Length() override { return file_.Length(); }
  std::int64_t Position() override { return file_.Position(); }
  bool Seek(std::int64_t position) override { return file_.Seek(position); }
  void Close() override { file_.Close(); }

 private:
  EncryptedFile file_;
};

}  // namespace

int OpenDataFile(const Text& name, int mode, const Text& password, int plainLeadingBytes) {
  // Without password the object passes bytes through, which is exactly a plain file.
  auto file = std::make_unique<DataFile>(password, plainLeadingBytes);
  if (!file->Open(name, mode)) return 0;
  return AddNumberedFile(std::move(file));
}
