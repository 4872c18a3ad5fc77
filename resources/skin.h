// The theme a skin block carries. SkinH_AttachRes (resources.h) keeps the theme of the block it
// accepts; the wx backend may colour its windows with it.
//
// Block layout, little-endian: "SNSK", u16 version (1), u16 colour count (8 or more), u32
// block length, the colours as u32 0xAARRGGBB in the order of SkinTheme's colour fields, u8
// font name length and the name (GBK), u16 font height in pixels, u16 texture width and
// height, the texture as RGBA rows, zero padding, and last a u32 CRC-32 of every byte before it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/text.h"

struct SkinTheme {
  int version = 0;
  std::uint32_t windowBackground = 0;   // colours as 0xAARRGGBB
  std::uint32_t windowText = 0;
  std::uint32_t controlBackground = 0;  // edit boxes, lists, trees
  std::uint32_t controlText = 0;
  std::uint32_t accent = 0;             // progress bars, focus marks
  std::uint32_t border = 0;
  std::uint32_t selection = 0;
  std::uint32_t selectionText = 0;
  Text fontName;                        // GBK; empty = the system font
  int fontHeight = 0;                   // pixels
  int textureWidth = 0;
  int textureHeight = 0;
  Bytes texture;                        // RGBA rows: the title bar gradient
};

// Reads a whole block; false for anything but an intact block of a known version (length is
// what the caller holds; the block's own length must fit in it).
bool ParseSkinBlock(const unsigned char* block, std::size_t length, SkinTheme& theme);

// The theme of the last block SkinH_AttachRes accepted, nullptr before the first. A returned
// pointer stays valid for the life of the process, also after a later attach.
const SkinTheme* AttachedSkin();
