// The package export through its window: the suffix rule, the password question, the statuses,
// the package layout, a failed write, and closing the window or the program mid-transfer.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "snippets/export_window.h"
#include "snippets/globals.h"
#include "snippets/library.h"
#include "snippets/package_cipher.h"
#include "tests/snippets_packages/packages_fixture.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_folder.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

namespace hl = ui::headless;
namespace ew = ExportWindow;

class ExportTest : public PackagesTest {
 protected:
  void SetUp() override {
    PackagesTest::SetUp();
    if (HasFatalFailure()) return;
    SaveTreeWith({{"工具", -1, 5000}});
    InsertEntry({.name = "快速排序", .usage = "用法", .picture = MakePng(4, 3), .example = BytesOf("int main(){}")},
                5000, "abcdefghijklmno");
  }

  void SaveTreeWith(const std::vector<DirectoryItem>& items) {
    for (const auto& [name, parent, tag] : items) AddDirectory(name, tag, parent);
    hl::ChooseMenuItem(MainWindow::Self, MainWindow::SaveTreeMenuItem.name);
    hl::WaitIdle();
  }

  bool TempFilesLeft() {
    return FileExists(ProgramFilePath(kPackageTempFile)) || FileExists(ProgramFilePath(kExportDatabaseCopy));
  }

  bool InputsEnabled() {
    return ui::GetEnabled(ew::PasswordBox) && ui::GetEnabled(ew::StartButton) &&
           ui::GetEnabled(ew::SetPasswordButton) && ui::GetEnabled(ew::SaveToButton);
  }

  std::vector<Text> MessageTexts() {
    std::vector<Text> texts;
    for (const auto& m : hl::MessagesShown()) texts.push_back(m.text);
    return texts;
  }
};

TEST_F(ExportTest, WritesTheWholePackageAndEndsIdle) {
  const Text package = PackagePath("库.yrd");
  Export(package, "密码");

  EXPECT_TRUE(hl::MessagesShown().empty());
  EXPECT_EQ(ui::GetText(ew::StatusLabel), "生成完毕，可以去分享给好友了，嘻嘻");
  EXPECT_EQ(ui::GetProgress(ew::ProgressBar), 100);
  EXPECT_EQ(TransferDone.load(), 1);
  EXPECT_TRUE(InputsEnabled());
  EXPECT_FALSE(TempFilesLeft());
  const Bytes bytes = ReadFileBytes(package);
  ASSERT_GT(bytes.size(), 27u);
  EXPECT_TRUE(std::equal(kPackageHeader.begin(), kPackageHeader.end(), bytes.begin()));
  // Enciphered: the archive's "PK" does not show after the header.
  EXPECT_FALSE(bytes[10] == 'P' && bytes[11] == 'K');
}

TEST_F(ExportTest, PlainPackageIsHeaderZipTrailerThatUnzipLists) {
  const Text package = PackagePath("plain.yrd");
  Export(package, "");
  ASSERT_EQ(MessageTexts(), std::vector<Text>{"现在没输入密码，是否需要密码？"});
  const Bytes bytes = ReadFileBytes(package);
  ASSERT_GT(bytes.size(), 27u);
  EXPECT_TRUE(std::equal(kPackageTrailer.begin(), kPackageTrailer.end(), bytes.end() - 17));
  const Text zip = tempFolder + "/plain.zip";
  ASSERT_TRUE(WriteFileBytes(zip, Bytes(bytes.begin() + 10, bytes.end() - 17)));

  if (std::system("unzip -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip is not installed";
  const std::string command = "unzip -l '" + NativePath(zip) + "' 2>&1";
  int status = 0;
  const std::string listing = CommandOutput(command, status);
  ASSERT_EQ(status, 0) << listing;
  // The database copy, the three folders and the entry's three stored files.
  EXPECT_NE(listing.find("7 files"), std::string::npos) << listing;
  EXPECT_NE(listing.find("abcdefghijklmno.txt"), std::string::npos) << listing;
  EXPECT_NE(listing.find("abcdefghijklmno.png"), std::string::npos) << listing;
  EXPECT_NE(listing.find(".mdb"), std::string::npos) << listing;
}

TEST_F(ExportTest, SuffixRuleAppendsYrdToAnyOtherName) {
  const struct {
    Text chosen, written;
  } kCases[] = {{"a.yrd", "a.yrd"}, {"b", "b.yrd"}, {"c.YRD", "c.YRD.yrd"}, {"d.yrdx", "d.yrdx.yrd"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.chosen);
    Export(PackagePath(c.chosen), "pw");
    EXPECT_TRUE(FileExists(PackagePath(c.written)));
    EXPECT_EQ(ui::GetText(ew::PathBox), PackagePath(c.chosen));
    EXPECT_EQ(ui::GetDialogFileName(ew::FileDialog), PackagePath(c.written));
    hl::AskToClose(ew::Self);
  }
  EXPECT_FALSE(FileExists(PackagePath("c.YRD")));
}

TEST_F(ExportTest, QuestionYesOrNoPathOrUnsetPasswordStartsNothing) {
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
  // Typed but not set: the question still comes; Yes leaves everything as it was.
  hl::TypeText(ew::PasswordBox, "typed");
  hl::AnswerFileDialog(PackagePath("x"));
  hl::Click(ew::SaveToButton);
  hl::AnswerMessageBox(ui::kIdYes);
  hl::Click(ew::StartButton);
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"现在没输入密码，是否需要密码？"});
  EXPECT_EQ(ui::GetText(ew::StatusLabel), "状态");
  EXPECT_TRUE(InputsEnabled());

  // No file chosen.
  hl::ClearRecords();
  hl::Click(ew::SetPasswordButton);
  ui::SetDialogFileName(ew::FileDialog, "");
  hl::Click(ew::StartButton);
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"请先选择保存路径！"});
  EXPECT_EQ(TransferDone.load(), 1);
  EXPECT_FALSE(TempFilesLeft());
  EXPECT_FALSE(FileExists(PackagePath("x.yrd")));
}

TEST_F(ExportTest, FailedPackageWriteIsReportedAndTheCloseCleansUp) {
  const Text package = PackagePath("full.yrd");
  FileSystemOps full = NativeFileSystem();
  const std::string target = NativePath(package);
  const auto nativeWrite = full.write;
  full.write = [target, nativeWrite](const std::string& native, const Bytes& bytes) {
    return native == target ? WriteOutcome::kIncomplete : nativeWrite(native, bytes);
  };
  const FileSystemOps before = InstallFileSystem(full);
  Export(package, "pw");
  InstallFileSystem(before);

  EXPECT_EQ(MessageTexts(), std::vector<Text>{"未知原因，加密失败！！！\r\n现行密码：pw"});
  EXPECT_EQ(ui::GetText(ew::StatusLabel), "未知原因，加密失败！！！");
  EXPECT_FALSE(FileExists(package));
  EXPECT_FALSE(InputsEnabled());
  EXPECT_EQ(TransferDone.load(), 0);
  EXPECT_TRUE(TempFilesLeft());

  hl::ClearRecords();
  hl::AnswerMessageBox(ui::kIdYes);
  hl::AskToClose(ew::Self);
  hl::WaitIdle();
  EXPECT_EQ(MessageTexts(), std::vector<Text>{"还没有导出完成！！是否确定关闭？？"});
  EXPECT_FALSE(ui::IsCreated(ew::Self));
  EXPECT_FALSE(TempFilesLeft());
  EXPECT_EQ(TransferDone.load(), 1);
}

TEST_F(ExportTest, UnreadableDataFolderIsReportedAndNothingIsLeft) {
  FileSystemOps broken = NativeFileSystem();
  const auto nativeRead = broken.read;
  broken.read = [nativeRead](const std::string& native, Bytes& bytes) {
    return native.find(".png") == std::string::npos && nativeRead(native, bytes);
  };
  const FileSystemOps before = InstallFileSystem(broken);
  Export(PackagePath("p.yrd"), "pw");
  InstallFileSystem(before);

  ASSERT_EQ(hl::MessagesShown().size(), 1u);
  EXPECT_NE(hl::MessagesShown()[0].text.find("压缩数据文件夹失败"), Text::npos);
  EXPECT_FALSE(FileExists(PackagePath("p.yrd")));
  EXPECT_FALSE(TempFilesLeft());
  EXPECT_TRUE(InputsEnabled());
  EXPECT_EQ(TransferDone.load(), 1);
}

TEST_F(ExportTest, ClosingMidTransferAsksThenStopsTheThreadAndRemovesItsFiles) {
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
  hl::AnswerFileDialog(PackagePath("mid.yrd"));
  hl::Click(ew::SaveToButton);
  hl::TypeText(ew::PasswordBox, "pw");
  hl::Click(ew::SetPasswordButton);
  hl::Click(ew::StartButton);  // the thread now waits in its first pause
  EXPECT_TRUE(ThreadRunning(ExportThread));
  EXPECT_EQ(TransferDone.load(), 0);

  hl::AnswerMessageBox(ui::kIdNo);
  hl::AskToClose(ew::Self);
  EXPECT_TRUE(ui::IsCreated(ew::Self));
  EXPECT_TRUE(TempFilesLeft());

  hl::AnswerMessageBox(ui::kIdYes);
  hl::AskToClose(ew::Self);
  EXPECT_FALSE(ThreadRunning(ExportThread));
  EXPECT_FALSE(ui::IsCreated(ew::Self));
  hl::WaitIdle();
  EXPECT_EQ(MessageTexts(), std::vector<Text>(2, "还没有导出完成！！是否确定关闭？？"));
  EXPECT_FALSE(TempFilesLeft());
  EXPECT_FALSE(FileExists(PackagePath("mid.yrd")));
  EXPECT_EQ(TransferDone.load(), 1);

  // Closed while idle: no question.
  hl::ClearRecords();
  hl::ChooseMenuItem(MainWindow::Self, MainWindow::ExportMenuItem.name);
  hl::AskToClose(ew::Self);
  EXPECT_TRUE(hl::MessagesShown().empty());
  EXPECT_FALSE(ui::IsCreated(ew::Self));
}

TEST_F(ExportTest, ExitWaitsForAnExportThreadThatDoesNotStopOnlyUpToTheLimit) {
  ASSERT_TRUE(ui::LoadWindow(ew::Self));
  auto release = std::make_shared<std::atomic<bool>>(false);
  StartThread([release](int) {
    while (!*release) ui::DelayPumping(100);
  }, 0, &ExportThread);
  TransferDone = 0;
  hl::AnswerMessageBox(ui::kIdYes);
  const std::uint64_t start = hl::Now();

  hl::AskToClose(MainWindow::Self);

  EXPECT_EQ(hl::EndedWithCode(), std::optional<int>(0));
  EXPECT_GE(hl::Now() - start, static_cast<std::uint64_t>(kExportStopLimitMs));
  EXPECT_LT(hl::Now() - start, static_cast<std::uint64_t>(kExportStopLimitMs) + 1000);
  EXPECT_TRUE(ThreadRunning(ExportThread));
  *release = true;
}

TEST(CipherPackageBytes, SplitOverThreadsGivesTheBytesOfOneCallThroughTheCipher) {
  // Sizes around the split: one part, several parts, a last part shorter than a block.
  for (const std::size_t size : {std::size_t{5000}, std::size_t{40u << 20}, std::size_t{(64u << 20) + 4097}}) {
    SCOPED_TRACE(size);
    Bytes data(size);
    for (std::size_t k = 0; k < size; ++k) data[k] = static_cast<std::uint8_t>(k * 7 + (k >> 12));
    Bytes expected = data;
    EncryptedFile("密码", kPackagePlainPrefix)
        .CipherFileBlocks(0, expected.data(), static_cast<std::int64_t>(size), CipherCopy::Writing);
    CipherPackageBytes("密码", data, CipherCopy::Writing);
    EXPECT_TRUE(data == expected);
    CipherPackageBytes("", data, CipherCopy::Writing);
    EXPECT_TRUE(data == expected);
  }
}

// The package as one read through the cipher from position 0 gives it, whichever threads wait
// for which parts in whatever order; nothing beyond its end is ever there.
TEST(ArrivingPackage, GivesTheBytesOfOneReadThroughTheCipherToEveryWaiter) {
  TempFolder t;
  const std::size_t size = (3u << 20) + 5000;  // parts of 1 MiB, the last one short
  Bytes plain(size);
  for (std::size_t k = 0; k < size; ++k) plain[k] = static_cast<std::uint8_t>(k * 13 + (k >> 11));
  Bytes stored = plain;
  EncryptedFile("密码", kPackagePlainPrefix)
      .CipherFileBlocks(0, stored.data(), static_cast<std::int64_t>(size), CipherCopy::Writing);
  ASSERT_TRUE(WriteFileBytes(t / "p.yrd", stored));

  for (int run = 0; run < 5; ++run) {
    ArrivingPackage package;
    ASSERT_TRUE(package.Start(t / "p.yrd", "密码"));
    ASSERT_EQ(package.size(), size);
    // The trailer's part is there at once.
    EXPECT_TRUE(std::equal(plain.end() - 17, plain.end(), package.data() + size - 17));
    std::vector<std::thread> waiters;
    std::atomic<int> wrong{0};
    for (int w = 0; w < 4; ++w) {
      waiters.emplace_back([&, w] {
        std::mt19937 random(static_cast<unsigned>(run * 10 + w));
        for (int k = 0; k < 20; ++k) {
          const std::size_t from = random() % size;
          const std::size_t to = from + random() % (size - from) + 1;
          if (!package.WaitFor(from, to) || !std::equal(plain.begin() + from, plain.begin() + to, package.data() + from)) {
            ++wrong;
          }
        }
      });
    }
    for (std::thread& waiter : waiters) waiter.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(package.WaitFor(0, size));
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), package.data()));
    EXPECT_FALSE(package.WaitFor(size - 1, size + 1));
  }
  ArrivingPackage missing, empty;
  EXPECT_FALSE(missing.Start(t / "none.yrd", "密码"));
  ASSERT_TRUE(WriteFileBytes(t / "empty.yrd", Bytes()));
  EXPECT_FALSE(empty.Start(t / "empty.yrd", "密码"));
}

}  // namespace
