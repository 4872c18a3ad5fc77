// Archives crafted with minizip's writer: ordinary members under any name, or raw deflate data
// with sizes and CRC as given (lying headers, bombs).
#pragma once

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <cstdint>

#include "runtime/files.h"
#include "runtime/text.h"

// Writes crafted archives: ordinary members, or raw deflate data with sizes and CRC as given.
class Crafted {
 public:
  explicit Crafted(const Text& path) : zip_(zipOpen64(NativePath(path).c_str(), APPEND_STATUS_CREATE)) {
    EXPECT_NE(zip_, nullptr);
  }
  ~Crafted() { Close(); }
  void Close() {
    if (zip_ != nullptr) {
      EXPECT_EQ(zipClose(zip_, nullptr), ZIP_OK);
    }
    zip_ = nullptr;
  }
  void Add(const Text& name, const Bytes& data, int method = Z_DEFLATED, unsigned long flag = 0) {
    zip_fileinfo info{};
    info.tmz_date.tm_year = 2020;
    info.tmz_date.tm_mday = 1;
    ASSERT_EQ(zipOpenNewFileInZip4_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                      method == 0 ? 0 : 6, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                      nullptr, 0, 0, flag, 0),
              ZIP_OK);
    if (!data.empty()) {
      ASSERT_EQ(zipWriteInFileInZip(zip_, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
    }
    ASSERT_EQ(zipCloseFileInZip(zip_), ZIP_OK);
  }
  void AddRaw(const Text& name, const Bytes& deflated, std::uint64_t size, uLong crc) {
    zip_fileinfo info{};
    info.tmz_date.tm_year = 2020;
    info.tmz_date.tm_mday = 1;
    ASSERT_EQ(zipOpenNewFileInZip2_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 1,
                                      size >= 0xFFFFFFFFull ? 1 : 0),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip_, deflated.data(), static_cast<unsigned>(deflated.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZipRaw64(zip_, size, crc), ZIP_OK);
  }

 private:
  zipFile zip_;
};
