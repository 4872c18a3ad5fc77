#include "runtime/memory_file.h"

#include <algorithm>

namespace {

class MemoryFile final : public NumberedFile {
 public:
  std::size_t Read(std::uint8_t* buffer, std::size_t count) override {
    const std::size_t start = std::min(position_, bytes_.size());
    const std::size_t n = std::min(count, bytes_.size() - start);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), n, buffer);
    position_ = start + n;
    return n;
  }
  // Over what is there, growing the file past its end.
  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (size == 0) return true;
    if (position_ + size > bytes_.size()) bytes_.resize(position_ + size);
    std::copy_n(data, size, bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
    position_ += size;
    return true;
  }
  std::int64_t Length() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() override { return static_cast<std::int64_t>(position_); }
  bool Seek(std::int64_t position) override {
    if (position < 0) return false;
    position_ = static_cast<std::size_t>(position);
    return true;
  }
  bool DeleteAt(std::size_t count) override {
    if (position_ >= bytes_.size()) return true;
    const std::size_t n = std::min(count, bytes_.size() - position_);
    auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(position_);
    bytes_.erase(first, first + static_cast<std::ptrdiff_t>(n));
    return true;
  }

 private:
  Bytes bytes_;
  std::size_t position_ = 0;
};

}  // namespace

int OpenMemoryFile() { return AddNumberedFile(std::make_unique<MemoryFile>()); }
