// The stored-file format of the data folder: u32 LE magic 0x033E0F0D, u32 LE uncompressed
// length, zlib stream at the default level. An empty content is the 8-byte head alone.
#pragma once

#include "runtime/text.h"

constexpr std::uint32_t kPackedFileMagic = 0x033E0F0D;

Bytes CompressBytes(const Bytes& content);
// Empty for anything that is not a stored file: fewer than 8 bytes, another magic, a length
// of 0, a stream that does not inflate to the stored length.
Bytes DecompressBytes(const Bytes& stored);
