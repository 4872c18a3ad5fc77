// Small picture files that claim a huge size, and broken ones, for the headless and the
// real-window suites alike (header only: the real-window suite links no program code).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace hostile {

inline void PutLe(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline void PutBe32(Bytes& out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void PutPngChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBe32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBe32(png, Crc32(png.data() + start, png.size() - start));
}

// A GIF whose screen and only image are 65535 x 65535, in 28 bytes.
inline Bytes HugeGif() {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  PutLe(gif, 65535, 2);
  PutLe(gif, 65535, 2);
  gif.insert(gif.end(), {0x00, 0x00, 0x00});  // no colour table
  gif.push_back(',');
  PutLe(gif, 0, 2);
  PutLe(gif, 0, 2);
  PutLe(gif, 65535, 2);
  PutLe(gif, 65535, 2);
  gif.insert(gif.end(), {0x00, 0x08, 0x01, 0x00, 0x00, ';'});
  return gif;
}

// A bitmap's 40-byte info header, one plane, no compression.
inline void PutBitmapInfoHeader(Bytes& out, std::uint32_t width, std::uint32_t height, int bits) {
  PutLe(out, 40, 4);
  PutLe(out, width, 4);
  PutLe(out, height, 4);
  PutLe(out, 1, 2);
  PutLe(out, static_cast<std::uint32_t>(bits), 2);
  for (int i = 0; i < 6; ++i) PutLe(out, 0, 4);
}

// A 24-bit BMP of 30000 x 30000 with 100 bytes of pixels: 154 bytes.
inline Bytes HugeBmp() {
  Bytes bmp = {'B', 'M'};
  PutLe(bmp, 154, 4);
  PutLe(bmp, 0, 4);
  PutLe(bmp, 54, 4);
  PutBitmapInfoHeader(bmp, 30000, 30000, 24);
  bmp.resize(154, 0x7F);
  return bmp;
}

// A PNG of width x height, 8-bit RGB, whose pixel data is a few bytes.
inline Bytes PngClaiming(int width, int height) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBe32(header, static_cast<std::uint32_t>(width));
  PutBe32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutPngChunk(png, "IHDR", header);
  PutPngChunk(png, "IDAT", {0x78, 0x9C, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01});
  PutPngChunk(png, "IEND", {});
  return png;
}

// The JPEG with its frame header's size replaced.
inline Bytes JpegClaiming(Bytes jpeg, int width, int height) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(height);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(width);
      break;
    }
  }
  return jpeg;
}

// An icon whose directory says 32 x 32 and whose bitmap inside claims 30000 x 30000.
inline Bytes IconHidingAHugeBitmap() {
  Bytes ico;
  PutLe(ico, 0, 2);
  PutLe(ico, 1, 2);
  PutLe(ico, 1, 2);
  ico.insert(ico.end(), {32, 32, 0, 0});
  PutLe(ico, 1, 2);
  PutLe(ico, 32, 2);
  PutLe(ico, 140, 4);  // the image's bytes
  PutLe(ico, 22, 4);   // where they begin
  PutBitmapInfoHeader(ico, 30000, 60000, 32);  // an icon's bitmap counts its mask in the height
  ico.resize(22 + 140, 0x7F);
  return ico;
}

struct Case {
  std::string what;
  Bytes bytes;
};

// Every hostile picture; the JPEG is made from a real one of the test data.
inline std::vector<Case> Pictures(const Bytes& realJpeg) {
  const Bytes png = PngClaiming(30000, 30000);
  return {
      {"gif65535", HugeGif()},
      {"bmp30000", HugeBmp()},
      {"png30000", png},
      {"pngOneRowTooLong", PngClaiming(16385, 1)},  // within the pixels, beyond the side
      {"jpeg30000", JpegClaiming(realJpeg, 30000, 30000)},
      {"icoHidingABmp30000", IconHidingAHugeBitmap()},
      {"pngCutInItsHeader", Bytes(png.begin(), png.begin() + 20)},
  };
}

}  // namespace hostile
