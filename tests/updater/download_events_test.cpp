// After the download: a zip update unpacked into the program folder, a program update run and
// waited for, hostile or broken archives, failed downloads, and the progress tick's texts.
#include <unistd.h>

#include <filesystem>

#include "resources/window_ids.h"
#include "runtime/download.h"
#include "runtime/files.h"
#include "runtime/zip.h"
#include "tests/updater/updater_fixture.h"
#include "tests/zip/crafted_zip.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"
#include "updater/download_events.h"
#include "updater/updater_globals.h"

namespace fs = std::filesystem;
namespace headless = ui::headless;
namespace w = UpdaterWindow;

namespace {

const Text kZipFailedQuestion = "目录下的<zip file updated.zip>解压失败，请自行解压！是否关闭？？";

class UpdateRoadTest : public UpdaterTest {
 protected:
  // The program folder holds an old program and its notes.
  void SetUp() override {
    UpdaterTest::SetUp();
    WriteNative(programNative / "snipdock", "old program");
    fs::create_directory(programNative / "docs");
    WriteNative(programNative / "docs" / "notes.txt", "old notes");
  }
  // Serves the bytes of the archive at native as the update file and runs the updater on a zip page.
  void RunZipUpdate(const fs::path& archive) {
    server.On("/update.zip", web_test::Reply{200, {}, ReadNative(archive)});
    RunUpdater({ServePage("0.6|" + Url("/update.zip") + "|new version|真|x")});
  }
  fs::path Scratch(const std::string& name) { return baseNative / name; }
  std::vector<Text> Messages() {
    std::vector<Text> texts;
    for (const auto& m : headless::MessagesShown()) texts.push_back(m.text);
    return texts;
  }
  void ExpectOldProgramUntouched() {
    EXPECT_EQ(ReadNative(programNative / "snipdock"), "old program");
    EXPECT_EQ(ReadNative(programNative / "docs" / "notes.txt"), "old notes");
  }
  // A good archive of a new program and new notes.
  fs::path NewVersionArchive() {
    fs::path source = Scratch("new");
    fs::create_directories(source / "docs");
    WriteNative(source / "snipdock", "new program");
    WriteNative(source / "docs" / "notes.txt", "new notes");
    fs::path archive = Scratch("new.zip");
    EXPECT_TRUE(ZipCompress(PathFromNative(source.string()), PathFromNative(archive.string())));
    return archive;
  }
};

}  // namespace

TEST_F(UpdateRoadTest, ZipUpdateReplacesTheFilesDeletesTheZipAndAsks) {
  headless::AnswerMessageBox(ui::kIdYes);
  RunZipUpdate(NewVersionArchive());
  EXPECT_EQ(Messages(), std::vector<Text>{kDoneQuestion});
  EXPECT_EQ(headless::MessagesShown()[0].flags, ui::kMbYesNo);
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_EQ(ReadNative(programNative / "snipdock"), "new program");
  EXPECT_EQ(ReadNative(programNative / "docs" / "notes.txt"), "new notes");
  EXPECT_FALSE(fs::exists(programNative / kZipName));
}

TEST_F(UpdateRoadTest, NoToTheCompletionQuestionLeavesTheWindowWithItsTexts) {
  headless::AnswerMessageBox(ui::kIdNo);
  RunZipUpdate(NewVersionArchive());
  EXPECT_EQ(Messages(), std::vector<Text>{kDoneQuestion});
  EXPECT_FALSE(headless::EndedWithCode().has_value());
  EXPECT_EQ(ui::GetText(w::StatusLabel), "解压<zip file updated.zip>完毕，更新完成");
  EXPECT_EQ(ui::GetProgress(w::ProgressBar), 100);
  EXPECT_EQ(ui::GetText(w::PercentLabel), "100%  完成！");
  EXPECT_EQ(ui::GetTimerPeriod(w::ProgressTimer), 0);
  EXPECT_EQ(ui::GetText(w::UpdateNotesBox), "new version");
}

TEST_F(UpdateRoadTest, ArchivesThatCannotBeUnpackedChangeNothingAndSaySo) {
  fs::path notZip = Scratch("not.zip");
  WriteNative(notZip, "this is no zip archive");

  fs::path leaving = Scratch("leaving.zip");
  {
    Crafted zip(PathFromNative(leaving.string()));
    zip.Add("snipdock", ToByteSet("evil program"));  // a good member first: nothing may be replaced
    zip.Add("../outside.txt", ToByteSet("escaped"));
  }
  fs::path absolute = Scratch("absolute.zip");
  {
    Crafted zip(PathFromNative(absolute.string()));
    zip.Add("snipdock", ToByteSet("evil program"));
    zip.Add((baseNative / "outside.txt").string(), ToByteSet("escaped"));
  }
  fs::path bomb = Scratch("bomb.zip");
  {
    // One small deflated block whose header claims a gigabyte.
    Crafted zip(PathFromNative(bomb.string()));
    zip.Add("snipdock", ToByteSet("evil program"));
    const Bytes empty{0x03, 0x00};
    zip.AddRaw("zeros.bin", empty, 1ull << 30, 0);
  }
  fs::path damaged = Scratch("damaged.zip");
  {
    std::string bytes = ReadNative(NewVersionArchive());
    // A byte of the second member's data changed: its CRC fails once the first member is out.
    std::size_t second = bytes.find("docs/notes.txt");
    ASSERT_NE(second, std::string::npos);
    bytes[second + 20] ^= 0x55;
    WriteNative(damaged, bytes);
  }

  for (const fs::path& archive : {notZip, leaving, absolute, bomb, damaged}) {
    SCOPED_TRACE(archive.filename().string());
    headless::AnswerMessageBox(ui::kIdNo);
    RunZipUpdate(archive);
    EXPECT_EQ(Messages(), std::vector<Text>{kZipFailedQuestion});
    EXPECT_EQ(ui::GetText(w::StatusLabel), "<zip file updated.zip>解压失败，更新完成");
    EXPECT_FALSE(headless::EndedWithCode().has_value());
    ExpectOldProgramUntouched();
    EXPECT_FALSE(fs::exists(baseNative / "outside.txt"));
    EXPECT_FALSE(fs::exists(programNative / "zeros.bin"));
    // The archive stays for the user to unpack; the next start deletes it.
    EXPECT_TRUE(fs::exists(programNative / kZipName));
    headless::Uninstall();
    ReleaseUpdaterGlobals();
    headless::Install();
  }
}

TEST_F(UpdateRoadTest, UnpackingThatFailsMidwayIsNeverCalledComplete) {
  // The program folder takes the first file and then refuses the second (a full disk).
  const std::string notes = (programNative / "docs" / "notes.txt").string();
  FileSystemOps ops;
  ops.write = [notes](const std::string& native, const Bytes& bytes) {
    // The file or its replacement beside it.
    if (native.rfind(notes, 0) == 0) return WriteOutcome::kIncomplete;
    return NativeFileSystem().write(native, bytes);
  };
  InstallFileSystem(ops);
  headless::AnswerMessageBox(ui::kIdYes);
  RunZipUpdate(NewVersionArchive());
  EXPECT_EQ(Messages(), std::vector<Text>{kZipFailedQuestion});
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_TRUE(fs::exists(programNative / kZipName));
}

TEST_F(UpdateRoadTest, WindowDoesNotCloseWhileFilesAreReplaced) {
  const std::string notes = (programNative / "docs" / "notes.txt").string();
  bool stayed = false;
  FileSystemOps ops;
  ops.write = [notes, &stayed](const std::string& native, const Bytes& bytes) {
    if (native.rfind(notes, 0) == 0) {
      ui::RunOnGui([&stayed] {
        headless::AskToClose(w::Self);
        stayed = ui::IsCreated(w::Self);
      });
    }
    return NativeFileSystem().write(native, bytes);
  };
  InstallFileSystem(ops);
  headless::AnswerMessageBox(ui::kIdNo);
  RunZipUpdate(NewVersionArchive());
  EXPECT_TRUE(stayed);
  EXPECT_EQ(Messages(), std::vector<Text>{kDoneQuestion});
  EXPECT_EQ(ReadNative(programNative / "docs" / "notes.txt"), "new notes");
  // Afterwards the window closes as always.
  headless::AskToClose(w::Self);
  EXPECT_FALSE(ui::IsCreated(w::Self));
}

TEST_F(UpdateRoadTest, ProgramUpdateIsRunAndWaitedForThenDeleted) {
  // The program takes a moment and then leaves a mark: the mark is there when the updater goes on.
  const std::string mark = (programNative / "ran.txt").string();
  server.On("/setup.exe", web_test::Reply{200, {}, "#!/bin/sh\nsleep 0.3\necho ran > '" + mark + "'\n"});
  headless::AnswerMessageBox(ui::kIdNo);
  RunUpdater({ServePage("0.6|" + Url("/setup.exe") + "|notes|假|x")});
  EXPECT_EQ(Messages(), std::vector<Text>{kDoneQuestion});
  EXPECT_EQ(ReadNative(mark), "ran\n");
  EXPECT_EQ(ui::GetText(w::StatusLabel), "运行<exe program updates.exe>完毕，更新完成");
  EXPECT_FALSE(fs::exists(programNative / kProgramName));
  EXPECT_FALSE(headless::EndedWithCode().has_value());
}

TEST_F(UpdateRoadTest, ProgramThatCannotStartSaysSoAndStays) {
  server.On("/setup.exe", web_test::Reply{200, {}, "no program at all"});
  headless::AnswerMessageBox(ui::kIdYes);
  RunUpdater({ServePage("0.6|" + Url("/setup.exe") + "|notes|假|x")});
  EXPECT_EQ(Messages(), std::vector<Text>{"目录下的<exe program updates.exe>运行失败，请自行运行！是否关闭？？"});
  EXPECT_EQ(headless::EndedWithCode(), std::optional<int>(0));
  EXPECT_EQ(ReadNative(programNative / kProgramName), "no program at all");
}

TEST_F(UpdateRoadTest, DownloadCutOffMidwaySaysFailedAndUnpacksNothing) {
  server.On("/update.zip", web_test::Reply{200, {}, ReadNative(NewVersionArchive()), web_test::ReplyMode::CloseEarly});
  RunUpdater({ServePage("0.6|" + Url("/update.zip") + "|notes|真|x")});
  EXPECT_EQ(Messages(), std::vector<Text>{"<zip file updated.zip>文件下载失败！！"});
  EXPECT_EQ(ui::GetText(w::StatusLabel), "文件下载失败！！");
  EXPECT_FALSE(headless::EndedWithCode().has_value());
  ExpectOldProgramUntouched();
}

TEST_F(UpdaterTest, TickBeforeTheSizeShowsZeroThenTheSpeed) {
  // The window without its start-up: the clock of this backend runs only while no real transfer does.
  InitializeUpdaterGlobals();
  ui::ClearBindings();
  BindDownloadEventHandlers();
  ASSERT_TRUE(ui::LoadWindow(w::Self));
  ui::SetTimerPeriod(w::ProgressTimer, 1000);
  headless::AdvanceClock(999);
  EXPECT_EQ(ui::GetText(w::PercentLabel), "百分比");
  headless::AdvanceClock(1);
  EXPECT_EQ(ui::GetProgress(w::ProgressBar), 0);
  EXPECT_EQ(ui::GetText(w::PercentLabel), "0%  0KB/S");
}

TEST_F(UpdaterTest, OtherEventCodesChangeNothing) {
  DownloadTotalSize.store(77);
  for (int code : {0, 1, 2, 4, 5, 6, 7, 10}) HandleDownloadEvent(code, 1, 2, 3, 4);
  EXPECT_EQ(DownloadTotalSize.load(), 77);
  HandleDownloadEvent(3, 0, 1234, 0, 1);
  EXPECT_EQ(DownloadTotalSize.load(), 1234);
  EXPECT_TRUE(headless::MessagesShown().empty());
}

TEST(ProgressTexts, PositionIsTruncated) {
  struct Case {
    long long done;
    int total;
    int position;
  } cases[] = {{0, 0, 0}, {500, 0, 0}, {999, 1000, 99}, {29, 100, 28}, {1000, 1000, 100}, {1, 3, 33}};
  for (const Case& c : cases) EXPECT_EQ(ProgressPosition(c.done, c.total), c.position) << c.done << "/" << c.total;
}

TEST(ProgressTexts, SpeedIsRoundedToOneDecimal) {
  struct Case {
    long long bytes;
    const char* label;
  } cases[] = {{12800, "37%  12.5KB/S"}, {1024, "37%  1KB/S"}, {0, "37%  0KB/S"}, {1127, "37%  1.1KB/S"}, {1126, "37%  1.1KB/S"}, {1075, "37%  1KB/S"}};
  for (const Case& c : cases) EXPECT_EQ(PercentText(37, c.bytes), c.label) << c.bytes;
}

TEST(ProgressTexts, RoundToHalvesAwayFromZero) {
  struct Case {
    double value;
    double rounded;
  } cases[] = {{0, 0}, {0.05, 0.1}, {-0.05, -0.1}, {1.25, 1.3}, {1.24, 1.2}, {0.04999999999995, 0.1}, {-12.5, -12.5}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(RoundTo(c.value, 1), c.rounded) << c.value;
}
