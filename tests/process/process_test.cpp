// Starting programs, their arguments and ending them, with a real helper program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "runtime/files.h"
#include "runtime/process.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Polls a real child's effect; a child needs a few milliseconds, never the whole limit.
template <typename Predicate>
bool Eventually(Predicate done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    usleep(10000);
  }
  return done();
}

// Gone, or a zombie that nobody reaped yet.
bool ProcessEnded(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return true;
  std::string line;
  std::getline(stat, line);
  std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// The helper copied under the given name into a folder with a blank in its name.
Text InstallHelper(const TempFolder& temp, const Text& name) {
  fs::path folder = temp.native() / "my tools";
  fs::create_directories(folder);
  fs::copy_file(PROCESS_HELPER, folder / name);
  return temp.text() + "/my tools";
}

long ReadPid(const Text& file) { return ToInt(ToText(ReadFileBytes(file))); }

}  // namespace

TEST(SplitCommandLine, BlanksSplitAndQuotesGroup) {
  struct Case {
    Text line;
    std::vector<Text> args;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"link", {"link"}},
      {"  a \t b  ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a \"\" b", {"a", "", "b"}},
      {"x\"y z\"w", {"xy zw"}},
      {"http://x/s?a=1 \xD6\xD0\xCE\xC4", {"http://x/s?a=1", "\xD6\xD0\xCE\xC4"}},
      {"\"open end", {"open end"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(RunProgram, UnquotedFolderWithBlankIsFoundAndTheRestAreArguments) {
  TempFolder temp;
  Text folder = InstallHelper(temp, "update.exe");
  Text out = temp / "args.txt";
  // A file named like the line's first beginning must not be taken for the program.
  std::ofstream(temp.native() / "my").put('x');
  ASSERT_TRUE(RunProgram(folder + "\\update.exe args " + out + " one \"two three\"", true));
  EXPECT_EQ(ToText(ReadFileBytes(out)), "4\nargs\n" + out + "\none\ntwo three\n");
}

TEST(RunProgram, QuotedProgramName) {
  TempFolder temp;
  Text folder = InstallHelper(temp, "update.exe");
  Text out = temp / "args.txt";
  ASSERT_TRUE(RunProgram("\"" + folder + "\\update.exe\" args " + out, true));
  EXPECT_EQ(ToText(ReadFileBytes(out)), "2\nargs\n" + out + "\n");
}

TEST(RunProgram, WhatCannotBeStartedFails) {
  TempFolder temp;
  std::ofstream(temp.native() / "plain.exe") << "not a program";
  fs::create_directory(temp.native() / "folder.exe");
  for (const Text& line : {temp / "missing.exe", temp / "plain.exe", temp / "folder.exe arg",
                           Text(""), Text("   "), Text("no-such-program-anywhere x")}) {
    EXPECT_FALSE(RunProgram(line, true)) << line;
    EXPECT_FALSE(RunProgram(line, false)) << line;
  }
}

TEST(RunProgram, WaitReturnsOnlyWhenTheProgramHasEnded) {
  TempFolder temp;
  Text folder = InstallHelper(temp, "update.exe");
  Text out = temp / "done.txt";
  ASSERT_TRUE(RunProgram(folder + "\\update.exe wait-write " + out + " 200", true));
  EXPECT_EQ(ToText(ReadFileBytes(out)), "done");
}

TEST(RunProgram, WithoutWaitReturnsWhileTheProgramRuns) {
  TempFolder temp;
  // A name of this test's own: ending programs is process-wide, other tests may run beside it.
  Text name = "idle-" + ToText(static_cast<int>(getpid())) + ".exe";
  Text folder = InstallHelper(temp, name);
  Text pidFile = temp / "pid.txt";
  ASSERT_TRUE(RunProgram(folder + "\\" + name + " idle " + pidFile, false));
  ASSERT_TRUE(Eventually([&] { return ReadPid(pidFile) > 0; }));
  long pid = ReadPid(pidFile);
  EXPECT_FALSE(ProcessEnded(pid));
  EXPECT_TRUE(KillProcess(name));
  EXPECT_TRUE(Eventually([&] { return ProcessEnded(pid); }));
}

TEST(KillProcess, ByExecutableNameWithoutRegardToCase) {
  TempFolder temp;
  Text id = ToText(static_cast<int>(getpid()));
  Text folder = InstallHelper(temp, "Kill Probe " + id + ".Exe");
  Text pidFile = temp / "pid.txt";
  ASSERT_TRUE(RunProgram(folder + "\\Kill Probe " + id + ".Exe idle " + pidFile, false));
  ASSERT_TRUE(Eventually([&] { return ReadPid(pidFile) > 0; }));
  long pid = ReadPid(pidFile);

  EXPECT_FALSE(KillProcess("kill probe " + id));  // the whole name or nothing
  EXPECT_TRUE(KillProcess("KILL probe " + id + ".eXE"));
  EXPECT_TRUE(Eventually([&] { return ProcessEnded(pid); }));
  EXPECT_FALSE(KillProcess("kill probe " + id + ".exe"));  // at most one, and it has gone
}

TEST(KillProcess, NoSuchProgram) { EXPECT_FALSE(KillProcess("no such program here.exe")); }

TEST(KillProcess, ByWindowTitle) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (xvfb-run)";
  TempFolder temp;
  Text folder = InstallHelper(temp, "helper.exe");
  Text pidFile = temp / "pid.txt";
  ASSERT_TRUE(RunProgram(folder + "\\helper.exe window LorvaneTitleProbe" + ToText(static_cast<int>(getpid())) + " " + pidFile, false));
  ASSERT_TRUE(Eventually([&] { return ReadPid(pidFile) > 0; }));
  long pid = ReadPid(pidFile);
  Text title = "LorvaneTitleProbe" + ToText(static_cast<int>(getpid()));
  EXPECT_FALSE(KillProcess(ToLower(title)));  // titles match exactly
  EXPECT_FALSE(ProcessEnded(pid));
  EXPECT_TRUE(KillProcess(title));
  EXPECT_TRUE(Eventually([&] { return ProcessEnded(pid); }));
}
