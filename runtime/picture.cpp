// Pixel sizes from picture headers: libjpeg reads a JPEG's header, the other kinds are read
// by hand from their fixed headers. A damaged or cut-off header gives 0 x 0.
#include "runtime/picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <zlib.h>

#include "runtime/files.h"

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

PictureSize Size(long long width, long long height) {
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return {};
  return {static_cast<int>(width), static_cast<int>(height)};
}

// Signature, then the IHDR chunk: length 13, type, width, height, ... and its CRC.
PictureSize MeasurePng(const Bytes& b) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (b.size() < 33 || std::memcmp(b.data(), kSignature, 8) != 0) return {};
  if (Be32(b.data() + 8) != 13 || std::memcmp(b.data() + 12, "IHDR", 4) != 0) return {};
  if (crc32(0, b.data() + 12, 17) != Be32(b.data() + 29)) return {};
  return Size(Be32(b.data() + 16), Be32(b.data() + 20));
}

// "GIF87a"/"GIF89a" and the logical screen descriptor.
PictureSize MeasureGif(const Bytes& b) {
  if (b.size() < 13) return {};
  if (std::memcmp(b.data(), "GIF87a", 6) != 0 && std::memcmp(b.data(), "GIF89a", 6) != 0) return {};
  return Size(Le16(b.data() + 6), Le16(b.data() + 8));
}

// File header "BM", then an info header: the old 12-byte core header has 16-bit sizes, every
// later one signed 32-bit sizes, a negative height meaning rows stored top-down.
PictureSize MeasureBmp(const Bytes& b) {
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return {};
  const std::uint32_t headerSize = Le32(b.data() + 14);
  const std::uint32_t pixelOffset = Le32(b.data() + 10);
  if (headerSize < 12 || b.size() < 14 + static_cast<std::size_t>(headerSize)) return {};
  if (pixelOffset < 14 + headerSize || pixelOffset > b.size()) return {};
  if (headerSize == 12) return Size(Le16(b.data() + 18), Le16(b.data() + 20));
  long long width = static_cast<std::int32_t>(Le32(b.data() + 18));
  long long height = static_cast<std::int32_t>(Le32(b.data() + 22));
  return Size(width, height < 0 ? -height : height);
}

// Icon or cursor directory: reserved 0, type 1 or 2, count; the first entry's width and
// height bytes, 0 meaning 256. The entry's image data must lie inside the file.
PictureSize MeasureIcon(const Bytes& b) {
  if (b.size() < 22 || Le16(b.data()) != 0) return {};
  const std::uint16_t type = Le16(b.data() + 2), count = Le16(b.data() + 4);
  if ((type != 1 && type != 2) || count == 0) return {};
  const std::uint8_t* entry = b.data() + 6;
  const std::uint32_t dataSize = Le32(entry + 8), dataOffset = Le32(entry + 12);
  const std::size_t directoryEnd = 6 + 16 * static_cast<std::size_t>(count);
  if (dataSize == 0 || dataOffset < directoryEnd ||
      static_cast<std::size_t>(dataOffset) + dataSize > b.size()) {
    return {};
  }
  return Size(entry[0] == 0 ? 256 : entry[0], entry[1] == 0 ? 256 : entry[1]);
}

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

void JpegSilent(j_common_ptr, int) {}

// Only plain C data lives in this frame, so the longjmp out of libjpeg skips no destructor.
bool ReadJpegHeader(const std::uint8_t* data, std::size_t size, int* width, int* height) {
  jpeg_decompress_struct info;
  JpegErrorManager error;
  info.err = jpeg_std_error(&error.base);
  error.base.error_exit = JpegErrorExit;
  error.base.emit_message = JpegSilent;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  int rc = jpeg_read_header(&info, TRUE);
  *width = static_cast<int>(info.image_width);
  *height = static_cast<int>(info.image_height);
  jpeg_destroy_decompress(&info);
  return rc == JPEG_HEADER_OK;
}

PictureSize MeasureJpeg(const Bytes& b) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF) return {};
  int width = 0, height = 0;
  if (!ReadJpegHeader(b.data(), b.size(), &width, &height)) return {};
  return Size(width, height);
}

}  // namespace

PictureSize MeasurePicture(const Bytes& bytes) {
  if (bytes.size() < 4) return {};
  switch (bytes[0]) {
    case 0xFF: return MeasureJpeg(bytes);
    case 0x89: return MeasurePng(bytes);
    case 'G': return MeasureGif(bytes);
    case 'B': return MeasureBmp(bytes);
    case 0x00: return MeasureIcon(bytes);
    default: return {};
  }
}

bool PictureWithinLimits(PictureSize size) {
  if (size.width <= 0 || size.height <= 0) return false;
  if (size.width > kMaxPictureSide || size.height > kMaxPictureSide) return false;
  return static_cast<long long>(size.width) * size.height <= kMaxPicturePixels;
}

namespace {

// An icon's directory says at most 256 x 256, but each image in it carries a header of its own
// (a PNG, or a bitmap header without the file header), and a decoder believes that one.
bool IconImagesWithinLimits(const Bytes& b) {
  const std::size_t count = Le16(b.data() + 4);
  if (b.size() < 6 + 16 * count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = b.data() + 6 + 16 * i;
    const std::uint32_t size = Le32(entry + 8), offset = Le32(entry + 12);
    if (size < 12 || offset > b.size() || size > b.size() - offset) return false;
    const std::uint8_t* image = b.data() + offset;
    PictureSize claimed;
    if (image[0] == 0x89) {
      claimed = MeasurePng(Bytes(image, image + size));
    } else if (Le32(image) == 12) {
      claimed = Size(Le16(image + 4), Le16(image + 6));
    } else if (size >= 16) {
      const long long height = static_cast<std::int32_t>(Le32(image + 8));
      claimed = Size(static_cast<std::int32_t>(Le32(image + 4)), height < 0 ? -height : height);
    }
    if (!PictureWithinLimits(claimed)) return false;
  }
  return true;
}

}  // namespace

bool PictureHeadersWithinLimits(const Bytes& bytes) {
  if (!PictureWithinLimits(MeasurePicture(bytes))) return false;
  return bytes[0] != 0x00 || IconImagesWithinLimits(bytes);
}

int PictureWidth(const Text& path) { return MeasurePicture(ReadFileBytes(path)).width; }

int PictureHeight(const Text& path) { return MeasurePicture(ReadFileBytes(path)).height; }
