// The skin engine's entry point: checks our own skin block and keeps its theme.
#include "resources/skin.h"

#include <zlib.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

#include "resources/resources.h"

namespace {

constexpr int kSkinVersion = 1;
constexpr int kThemeColours = 8;
constexpr std::size_t kHeaderLength = 12;  // magic, version, colour count, block length
constexpr std::size_t kChecksumLength = 4;

// Bounded little-endian reads; once a read runs past the end every later read fails too.
class BlockReader {
 public:
  BlockReader(const unsigned char* data, std::size_t length) : data_(data), length_(length) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return position_; }

  std::uint32_t Read(int bytes) {
    if (!Has(bytes)) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint32_t{data_[position_ + i]} << (8 * i);
    position_ += bytes;
    return value;
  }

  const unsigned char* Take(std::size_t bytes) {
    if (!Has(bytes)) return nullptr;
    const unsigned char* at = data_ + position_;
    position_ += bytes;
    return at;
  }

 private:
  bool Has(std::size_t bytes) {
    if (ok_ && bytes <= length_ - position_) return true;
    ok_ = false;
    return false;
  }

  const unsigned char* data_;
  std::size_t length_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

std::mutex attachLock;
// Every theme ever attached stays here, so pointers handed out never dangle.
std::deque<std::unique_ptr<const SkinTheme>> keptThemes;
std::atomic<const SkinTheme*> currentTheme{nullptr};

}  // namespace

bool ParseSkinBlock(const unsigned char* block, std::size_t length, SkinTheme& theme) {
  if (block == nullptr || length < kHeaderLength + kChecksumLength) return false;
  BlockReader header(block, length);
  const unsigned char* magic = header.Take(4);
  if (magic[0] != 'S' || magic[1] != 'N' || magic[2] != 'S' || magic[3] != 'K') return false;
  const int version = static_cast<int>(header.Read(2));
  const int colourCount = static_cast<int>(header.Read(2));
  const std::size_t blockLength = header.Read(4);
  if (version != kSkinVersion || colourCount < kThemeColours) return false;
  if (blockLength < kHeaderLength + kChecksumLength || blockLength > length) return false;

  // The checksum covers everything before it, so a damaged field is caught before it is read.
  const std::size_t covered = blockLength - kChecksumLength;
  BlockReader tail(block + covered, kChecksumLength);
  const std::uint32_t stored = tail.Read(4);
  const std::uint32_t computed = static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), block, static_cast<uInt>(covered)));
  if (stored != computed) return false;

  BlockReader body(block, covered);
  body.Take(kHeaderLength);
  SkinTheme parsed;
  parsed.version = version;
  std::uint32_t* const colours[kThemeColours] = {
      &parsed.windowBackground, &parsed.windowText, &parsed.controlBackground,
      &parsed.controlText,      &parsed.accent,     &parsed.border,
      &parsed.selection,        &parsed.selectionText};
  for (int i = 0; i < colourCount; ++i) {
    const std::uint32_t colour = body.Read(4);
    if (i < kThemeColours) *colours[i] = colour;  // later colours belong to newer themes
  }
  const std::size_t fontNameLength = body.Read(1);
  if (const unsigned char* name = body.Take(fontNameLength)) {
    parsed.fontName.assign(reinterpret_cast<const char*>(name), fontNameLength);
  }
  parsed.fontHeight = static_cast<int>(body.Read(2));
  parsed.textureWidth = static_cast<int>(body.Read(2));
  parsed.textureHeight = static_cast<int>(body.Read(2));
  const std::size_t textureLength =
      std::size_t{4} * static_cast<std::size_t>(parsed.textureWidth) * parsed.textureHeight;
  if (const unsigned char* pixels = body.Take(textureLength)) {
    parsed.texture.assign(pixels, pixels + textureLength);
  }
  if (!body.ok() || parsed.fontName.find('\0') != Text::npos) return false;
  theme = std::move(parsed);
  return true;
}

const SkinTheme* AttachedSkin() { return currentTheme.load(); }

int SkinH_AttachRes(const unsigned char* block, int length, const char* password, int a, int b,
                    int c) {
  // Our blocks are never enciphered, so the password and the three flags carry nothing.
  if (length <= 0) return 0;
  auto theme = std::make_unique<SkinTheme>();
  if (!ParseSkinBlock(block, static_cast<std::size_t>(length), *theme)) return 0;
  std::lock_guard<std::mutex> hold(attachLock);
  keptThemes.push_back(std::move(theme));
  currentTheme.store(keptThemes.back().get());
  return 1;
}
