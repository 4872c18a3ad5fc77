// The program fixture: each test gets a fresh program folder and, beside it, its own temporary
// folder, so the start-up's temporary-folder check passes and nothing leaks between tests.
#include "tests/support/program_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "resources/resources.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "snippets/web_links_test_hooks.h"
#include "ui/headless/headless.h"

namespace {

// The fixture's own state, kept out of the header so the header stays small.
struct FixtureState {
  std::string base;                       // native folder holding both folders
  std::optional<std::string> oldTmpDir;   // TMPDIR before the test
  std::filesystem::path oldCwd;
  bool installed = false;
};
FixtureState state;

std::string SystemTempFolder() {
  const char* tmp = getenv("TMPDIR");
  std::string folder = (tmp && *tmp) ? tmp : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

void ProgramFixture::SetUp() {
  const char* tmp = getenv("TMPDIR");
  state.oldTmpDir = tmp ? std::optional<std::string>(tmp) : std::nullopt;
  std::error_code ec;
  state.oldCwd = std::filesystem::current_path(ec);

  std::string pattern = SystemTempFolder() + "/snipdock-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot make a test folder under " << pattern;
  state.base = pattern;
  const std::string program = state.base + "/program";
  const std::string temp = state.base + "/tmp";
  ASSERT_TRUE(std::filesystem::create_directory(program, ec)) << ec.message();
  ASSERT_TRUE(std::filesystem::create_directory(temp, ec)) << ec.message();
  programFolder = PathFromNative(program);
  tempFolder = PathFromNative(temp);

  setenv("TMPDIR", temp.c_str(), 1);
  SetRunDirectory(programFolder);
  // No test reaches beyond loopback: the web services read and post nothing unless a test
  // points them at its own server.
  SetWebServiceLinks({});
  ui::headless::Install();
  state.installed = true;
  RegisterAllWindowDefinitions();
  BindSnippetHandlers();
}

void ProgramFixture::TearDown() {
  if (state.installed) {
    ui::headless::WaitIdle();
    OdbcClose(LibraryDatabase);
    ui::headless::Uninstall();
    state.installed = false;
  }

  if (state.oldTmpDir) {
    setenv("TMPDIR", state.oldTmpDir->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  std::error_code ec;
  if (!state.oldCwd.empty()) std::filesystem::current_path(state.oldCwd, ec);
  if (!state.base.empty()) std::filesystem::remove_all(state.base, ec);
  state.base.clear();
}

bool ProgramFixture::StartProgram() {
  const bool loaded = StartSnippetProgram();
  ui::headless::WaitIdle();
  return loaded;
}

Text ProgramFixture::InProgram(const Text& relative) const { return programFolder + relative; }
