// Pixel size of JPEG, PNG, GIF, BMP and icon pictures; 0 for anything else or a damaged file.
#pragma once

#include "runtime/text.h"

struct PictureSize {
  int width = 0;
  int height = 0;
};

// Pictures are untrusted: a 35-byte GIF may claim 65535 x 65535. One beyond either limit is
// never decoded and counts as no picture. 16 megapixels (4096 x 4096, a large photo) decodes in
// 64 MiB of pixels, and the side keeps a widget of the picture's size within the window
// system's 32767.
inline constexpr long long kMaxPicturePixels = 16LL * 1024 * 1024;
inline constexpr int kMaxPictureSide = 16384;

PictureSize MeasurePicture(const Bytes& bytes);
// True for a measurable size within both limits; false for 0 x 0 (no picture, or a damaged one).
bool PictureWithinLimits(PictureSize size);
// True when every size the picture's headers claim is within the limits: the one it measures
// as, and for an icon each image inside. Only such a picture may be given to a decoder.
bool PictureHeadersWithinLimits(const Bytes& bytes);
int PictureWidth(const Text& path);
int PictureHeight(const Text& path);
