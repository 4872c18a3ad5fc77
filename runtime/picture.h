// Pixel size of JPEG, PNG, GIF, BMP and icon pictures; 0 for anything else or a damaged file.
#pragma once

#include "runtime/text.h"

struct PictureSize {
  int width = 0;
  int height = 0;
};

PictureSize MeasurePicture(const Bytes& bytes);
int PictureWidth(const Text& path);
int PictureHeight(const Text& path);
