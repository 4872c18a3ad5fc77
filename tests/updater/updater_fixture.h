// The updater under test: a program folder of its own beside its own temporary folder, the
// headless backend, a loopback server for the update page and the update file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "tests/web/test_server.h"

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the updater with these arguments until its download has come to an end (or the
  // program ended); the message boxes take the answers scripted before.
  void RunUpdater(const std::vector<Text>& args);
  // The same without waiting: the download may still run.
  void StartUpdater(const std::vector<Text>& args);
  // Serves page at /page and returns its address.
  Text ServePage(const std::string& page);
  Text Url(const std::string& path) const;

  Text programFolder;  // GBK, without trailing separator
  std::filesystem::path programNative;
  std::filesystem::path baseNative;  // holds the program folder and the temporary folder
  web_test::TestServer server;
};

// The texts the updater shows.
inline const Text kZipName = "zip file updated.zip";
inline const Text kProgramName = "exe program updates.exe";
inline const Text kDoneQuestion = "程序更新完成！是否关闭？？";

std::string ReadNative(const std::filesystem::path& file);
void WriteNative(const std::filesystem::path& file, const std::string& content);
