// A hostile stored file for the tests: a small file whose zlib stream inflates to gigabytes,
// under a head that claims any length.
#pragma once

#include <zlib.h>

#include <cstdint>

#include "runtime/packed_file.h"

// The stored-file head (magic, claimed length), then a stream of megabyte blocks of zeros.
// Every block ends in a full flush, so all blocks after the first are the same bytes and the
// stream is built without deflating gigabytes. The stream is cut after its blocks: a reader
// that believed it would have to inflate all of them first.
inline Bytes MakeStoredBomb(std::uint32_t claimedLength, int megabytes) {
  Bytes stored(8);
  for (int i = 0; i < 4; ++i) {
    stored[i] = static_cast<std::uint8_t>(kPackedFileMagic >> (8 * i));
    stored[4 + i] = static_cast<std::uint8_t>(claimedLength >> (8 * i));
  }
  z_stream zs{};
  deflateInit(&zs, Z_DEFAULT_COMPRESSION);
  const Bytes zeros(1 << 20, 0);
  Bytes block(compressBound(zeros.size()) + 64);
  auto deflateOnce = [&] {
    zs.next_in = const_cast<Bytef*>(zeros.data());
    zs.avail_in = static_cast<uInt>(zeros.size());
    zs.next_out = block.data();
    zs.avail_out = static_cast<uInt>(block.size());
    deflate(&zs, Z_FULL_FLUSH);
    return Bytes(block.begin(), block.begin() + (block.size() - zs.avail_out));
  };
  const Bytes first = deflateOnce();  // with the zlib header
  const Bytes repeated = deflateOnce();
  deflateEnd(&zs);
  stored.insert(stored.end(), first.begin(), first.end());
  stored.reserve(stored.size() + repeated.size() * megabytes);
  for (int i = 1; i < megabytes; ++i) stored.insert(stored.end(), repeated.begin(), repeated.end());
  return stored;
}
