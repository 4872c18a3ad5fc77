// File-name helpers: the name after the last "\" and the extension after the last ".".
#include "runtime/file_names.h"

#include <gtest/gtest.h>

#include "gbk_samples.h"

namespace {

TEST(GetFileName, TextAfterTheLastBackslash) {
  const struct {
    Text path, expected;
  } cases[] = {
      {"\\DATA\\图片\\AbcdefGhijklmnO.png", "AbcdefGhijklmnO.png"},
      {"name.txt", "name.txt"},
      {"\\DATA\\", ""},
      {"", ""},
      {"a/b/c", "a/b/c"},                                     // only "\" separates
      {"\\dir\\x" + kBackslashTrail + "y", "x" + kBackslashTrail + "y"},
      {"\\dir\\" + kBackslashTrail, kBackslashTrail},       // ends in a second byte, not a "\"
  };
  for (const auto& c : cases) EXPECT_EQ(GetFileName(c.path), c.expected) << c.path;
}

TEST(GetFileExtension, TextAfterTheLastDot) {
  const struct {
    Text name, expected;
  } cases[] = {
      {"photo.png", "png"},
      {"archive.tar.gz", "gz"},
      {"C:\\my.dir\\file", "dir\\file"},   // the dot of a folder counts
      {"README", "README"},                // no dot: the whole text
      {"name.", ""},
      {"", ""},
      {"\\DATA\\例程\\id.", ""},
      {"图片.jpg", "jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetFileExtension(c.name), c.expected) << c.name;
}

}  // namespace
