// The stored-file format of the data folder: u32 LE magic 0x033E0F0D, u32 LE uncompressed
// length, zlib stream at the default level. An empty content is the 8-byte head alone.
#pragma once

#include "runtime/text.h"

constexpr std::uint32_t kPackedFileMagic = 0x033E0F0D;
// The largest content a stored file may hold. A head claiming more is not believed: a small
// hostile file could otherwise make the reader inflate gigabytes on the GUI thread. Usage
// texts, pictures and examples of a snippet library stay far below it.
constexpr std::size_t kMaxStoredFileLength = 64u << 20;

// Empty (no stored file at all) for content over kMaxStoredFileLength.
Bytes CompressBytes(const Bytes& content);
// Empty for anything that is not a stored file: fewer than 8 bytes, another magic, a length
// of 0, a stream that does not inflate to the stored length, a length over
// kMaxStoredFileLength. Inflating never holds more than the stored length.
Bytes DecompressBytes(const Bytes& stored);
// The same, telling a stored empty content (true) from something unreadable (false).
bool DecompressBytes(const Bytes& stored, Bytes& content);
