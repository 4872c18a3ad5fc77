// A fresh folder under the system temporary folder for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "runtime/codepage.h"
#include "runtime/text.h"

class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("snipdock_tests_" + std::to_string(seed()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Read-only leftovers must not keep the folder.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& native() const { return path_; }
  // The folder as a GBK text, without a trailing separator.
  Text text() const { return ConvertUtf8ToGbk(path_.string()); }
  // text() + "/" + name, name in GBK.
  Text operator/(const Text& name) const { return text() + "/" + name; }

 private:
  std::filesystem::path path_;
};
