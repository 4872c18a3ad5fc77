// The updater fixture: fresh folders per test, the real file system and loopback HTTP.
#include "tests/updater/updater_fixture.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "resources/resources.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "ui/headless/headless.h"
#include "updater/startup.h"
#include "updater/updater_globals.h"

namespace {

std::optional<std::string> oldTmpDir;
std::filesystem::path oldCwd;

}  // namespace

std::string ReadNative(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteNative(const std::filesystem::path& file, const std::string& content) {
  std::ofstream(file, std::ios::binary) << content;
}

void UpdaterTest::SetUp() {
  const char* tmp = getenv("TMPDIR");
  oldTmpDir = tmp ? std::optional<std::string>(tmp) : std::nullopt;
  std::error_code ec;
  oldCwd = std::filesystem::current_path(ec);
  std::string pattern = (std::filesystem::temp_directory_path() / "updater-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  baseNative = pattern;
  programNative = baseNative / "program";
  std::filesystem::create_directory(programNative);
  std::filesystem::create_directory(baseNative / "tmp");
  setenv("TMPDIR", (baseNative / "tmp").c_str(), 1);
  programFolder = PathFromNative(programNative.string());
  SetRunDirectory(programFolder);
  ui::headless::Install();
  RegisterAllWindowDefinitions();
  BindUpdaterHandlers();
}

void UpdaterTest::TearDown() {
  ui::headless::WaitIdle();
  ui::headless::Uninstall();
  ReleaseUpdaterGlobals();
  InstallFileSystem(NativeFileSystem());
  RemoveInstanceTempFolder();
  if (oldTmpDir) {
    setenv("TMPDIR", oldTmpDir->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  std::error_code ec;
  if (!oldCwd.empty()) std::filesystem::current_path(oldCwd, ec);
  std::filesystem::remove_all(baseNative, ec);
}

void UpdaterTest::RunUpdater(const std::vector<Text>& args) {
  StartUpdater(args);
  ui::headless::WaitIdle();
}

void UpdaterTest::StartUpdater(const std::vector<Text>& args) {
  SetCommandLineArgs(args);
  StartUpdaterProgram();
}

Text UpdaterTest::ServePage(const std::string& page) {
  server.On("/page", web_test::Reply{200, {}, page});
  return Url("/page");
}

Text UpdaterTest::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(server.port()) + path;
}
