// Picture sizes from small pictures made here: headers written by hand, a JPEG by libjpeg.
#include "runtime/picture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "runtime/files.h"
#include "tests/support/temp_folder.h"

namespace {

void Put16(Bytes& b, unsigned v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
void Put32(Bytes& b, std::uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }
void Put32Be(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back((v >> s) & 0xFF);
}

Bytes Png(std::uint32_t width, std::uint32_t height) {
  Bytes b{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Put32Be(b, 13);
  const std::size_t type = b.size();
  for (char c : {'I', 'H', 'D', 'R'}) b.push_back(c);
  Put32Be(b, width);
  Put32Be(b, height);
  for (int v : {8, 2, 0, 0, 0}) b.push_back(v);  // depth, colour type, methods
  Put32Be(b, crc32(0, b.data() + type, 17));
  for (int v : {0, 0, 0, 0, int{'I'}, int{'E'}, int{'N'}, int{'D'}, 0xAE, 0x42, 0x60, 0x82}) b.push_back(v);
  return b;
}

Bytes Gif(unsigned width, unsigned height) {
  Bytes b{'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, width);
  Put16(b, height);
  for (int v : {0, 0, 0, int{';'}}) b.push_back(v);
  return b;
}

// An info-header bitmap of 24-bit pixels (rows padded to 4 bytes).
Bytes Bmp(std::int32_t width, std::int32_t height) {
  const std::uint32_t row = (static_cast<std::uint32_t>(std::abs(width)) * 3 + 3) & ~3u;
  const std::uint32_t pixels = row * static_cast<std::uint32_t>(std::abs(height));
  Bytes b{'B', 'M'};
  Put32(b, 54 + pixels);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(width));
  Put32(b, static_cast<std::uint32_t>(height));
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  b.resize(b.size() + pixels, 0x80);
  return b;
}

// The old core header: 16-bit width and height.
Bytes CoreBmp(unsigned width, unsigned height) {
  Bytes b{'B', 'M'};
  Put32(b, 26 + 4);
  Put32(b, 0);
  Put32(b, 26);
  Put32(b, 12);
  Put16(b, width);
  Put16(b, height);
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);
  return b;
}

// Icon (type 1) or cursor (type 2) with one entry; width and height bytes as given.
Bytes Icon(int type, std::uint8_t width, std::uint8_t height) {
  Bytes b;
  Put16(b, 0);
  Put16(b, type);
  Put16(b, 1);
  b.push_back(width);
  b.push_back(height);
  for (int v : {0, 0}) b.push_back(v);
  Put16(b, 1);
  Put16(b, 32);
  Put32(b, 40);   // data size
  Put32(b, 22);   // data offset
  b.resize(b.size() + 40, 0);
  return b;
}

Bytes Jpeg(int width, int height) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(width * 3, 200);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes Cut(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + std::min(n, b.size())); }

// Offset of the first JPEG marker of that code (0xDA: start of scan, where the header ends).
std::size_t FindMarker(const Bytes& jpeg, std::uint8_t code) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  }
  return jpeg.size();
}

struct SizeCase {
  const char* what;
  Bytes bytes;
  int width, height;
};

TEST(Picture, MeasuresEveryKnownKind) {
  const SizeCase cases[] = {
      {"jpeg", Jpeg(7, 5), 7, 5},
      {"jpeg wide", Jpeg(1000, 3), 1000, 3},
      {"png", Png(300, 200), 300, 200},
      {"gif", Gif(479, 391), 479, 391},
      {"bmp bottom-up", Bmp(4, 3), 4, 3},
      {"bmp top-down", Bmp(5, -2), 5, 2},
      {"bmp core header", CoreBmp(9, 8), 9, 8},
      {"icon", Icon(1, 16, 32), 16, 32},
      {"icon of 256", Icon(1, 0, 0), 256, 256},
      {"cursor", Icon(2, 48, 48), 48, 48},
  };
  for (const auto& c : cases) {
    const PictureSize size = MeasurePicture(c.bytes);
    EXPECT_EQ(size.width, c.width) << c.what;
    EXPECT_EQ(size.height, c.height) << c.what;
  }
}

TEST(Picture, DamagedCutOffAndOtherFilesAreZero) {
  const Bytes jpeg = Jpeg(7, 5);
  Bytes badPngCrc = Png(10, 10);
  badPngCrc[20] ^= 1;  // height changed, CRC no longer matches
  Bytes badJpeg = jpeg;
  badJpeg[FindMarker(jpeg, 0xC0) + 4] = 3;  // frame header with a sample precision of 3 bits
  Bytes badIconType = Icon(1, 16, 16);
  badIconType[2] = 3;
  const SizeCase cases[] = {
      {"empty", Bytes(), 0, 0},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, 0, 0},
      {"jpeg before its scan", Cut(jpeg, FindMarker(jpeg, 0xDA)), 0, 0},
      {"jpeg soi only", Cut(jpeg, 4), 0, 0},
      {"jpeg bad frame header", badJpeg, 0, 0},
      {"png signature only", Cut(Png(10, 10), 8), 0, 0},
      {"png cut in IHDR", Cut(Png(10, 10), 30), 0, 0},
      {"png bad crc", badPngCrc, 0, 0},
      {"png zero width", Png(0, 10), 0, 0},
      {"gif cut", Cut(Gif(3, 3), 9), 0, 0},
      {"gif other version", Bytes{'G', 'I', 'F', '9', '0', 'a', 1, 0, 1, 0, 0, 0, 0}, 0, 0},
      {"bmp cut", Cut(Bmp(4, 3), 20), 0, 0},
      {"bmp cut in info header", Cut(Bmp(4, 3), 40), 0, 0},
      {"bmp zero height", Bmp(4, 0), 0, 0},
      {"icon directory only", Cut(Icon(1, 16, 16), 22), 0, 0},
      {"icon other type", badIconType, 0, 0},
      {"zeros", Bytes(64, 0), 0, 0},
  };
  for (const auto& c : cases) {
    const PictureSize size = MeasurePicture(c.bytes);
    EXPECT_EQ(size.width, 0) << c.what;
    EXPECT_EQ(size.height, 0) << c.what;
  }
}

TEST(Picture, WidthAndHeightOfFiles) {
  TempFolder dir;
  const Text picture = dir / "图片.ls";
  ASSERT_TRUE(WriteFileBytes(picture, Png(1000, 800)));
  EXPECT_EQ(PictureWidth(picture), 1000);
  EXPECT_EQ(PictureHeight(picture), 800);
  ASSERT_TRUE(WriteFileBytes(picture, Bytes()));
  EXPECT_EQ(PictureWidth(picture), 0);
  EXPECT_EQ(PictureHeight(picture), 0);
  EXPECT_EQ(PictureWidth(dir / "missing.png"), 0);
  EXPECT_EQ(PictureHeight(dir / "missing.png"), 0);
}

}  // namespace
