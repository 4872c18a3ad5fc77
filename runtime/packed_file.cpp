// The stored-file format: an 8-byte head (magic, length) and a zlib stream.
#include "runtime/packed_file.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kHeadSize = 8;
// Deflate cannot expand data by more than about 1032:1, so a head that claims more than that
// for the stream it carries is a lie; this bounds the first allocation, not the result.
constexpr std::size_t kMaxInflateRatio = 1032;

void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Owns an inflate stream.
class Inflater {
 public:
  Inflater() { ok_ = inflateInit(&stream_) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

Bytes CompressBytes(const Bytes& content) {
  if (content.size() > kMaxStoredFileLength) return Bytes();
  Bytes stored(kHeadSize);
  PutU32(stored.data(), kPackedFileMagic);
  PutU32(stored.data() + 4, static_cast<std::uint32_t>(content.size()));
  if (content.empty()) return stored;
  uLongf packedSize = compressBound(static_cast<uLong>(content.size()));
  stored.resize(kHeadSize + packedSize);
  if (compress2(stored.data() + kHeadSize, &packedSize, content.data(),
                static_cast<uLong>(content.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
    return Bytes();
  }
  stored.resize(kHeadSize + packedSize);
  return stored;
}

Bytes DecompressBytes(const Bytes& stored) {
  Bytes content;
  DecompressBytes(stored, content);
  return content;
}

namespace {

Bytes Inflate(const Bytes& stored, std::size_t length) {
  Inflater inflater;
  if (!inflater.ok()) return Bytes();
  z_stream& zs = inflater.stream();
  const std::size_t packedSize = stored.size() - kHeadSize;
  zs.next_in = const_cast<Bytef*>(stored.data() + kHeadSize);
  zs.avail_in = static_cast<uInt>(std::min<std::size_t>(packedSize, std::numeric_limits<uInt>::max()));
  std::size_t inLeft = packedSize - zs.avail_in;

  Bytes content(std::min(length, packedSize * kMaxInflateRatio + 64));
  std::size_t produced = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (produced == content.size()) {
      if (content.size() == length) break;  // full: the stream must end now
      content.resize(std::min(length, content.size() * 2));
    }
    if (zs.avail_in == 0 && inLeft > 0) {
      zs.avail_in = static_cast<uInt>(std::min<std::size_t>(inLeft, std::numeric_limits<uInt>::max()));
      inLeft -= zs.avail_in;
    }
    zs.next_out = content.data() + produced;
    zs.avail_out = static_cast<uInt>(std::min<std::size_t>(content.size() - produced,
                                                           std::numeric_limits<uInt>::max()));
    const uInt before = zs.avail_out;
    rc = inflate(&zs, Z_NO_FLUSH);
    produced += before - zs.avail_out;
    if (rc == Z_BUF_ERROR && zs.avail_out > 0) return Bytes();  // input ran out: cut off
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return Bytes();
  }
  if (rc != Z_STREAM_END) {
    // The buffer holds the stored length; the stream may still end without more output.
    std::uint8_t extra;
    zs.next_out = &extra;
    zs.avail_out = 1;
    if (zs.avail_in == 0 && inLeft > 0) {
      zs.avail_in = static_cast<uInt>(std::min<std::size_t>(inLeft, std::numeric_limits<uInt>::max()));
      inLeft -= zs.avail_in;
    }
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_STREAM_END || zs.avail_out == 0) return Bytes();
  }
  if (produced != length) return Bytes();
  content.resize(produced);
  return content;
}

}  // namespace

bool DecompressBytes(const Bytes& stored, Bytes& content) {
  content.clear();
  if (stored.size() < kHeadSize || GetU32(stored.data()) != kPackedFileMagic) return false;
  const std::size_t length = GetU32(stored.data() + 4);
  // The head alone is how an empty content is stored.
  if (length == 0) return stored.size() == kHeadSize;
  if (length > kMaxStoredFileLength) return false;
  content = Inflate(stored, length);
  return !content.empty();
}
