// The package export. The GUI thread copies the database into the data folder and zips the
// folder; once the zip has returned complete, the export thread puts header, archive and
// trailer together, enciphers them and writes the package whole, then removes the temporary
// files. The thread stops cooperatively: every control, global and file it touches after its
// start is touched in a call carried to the GUI thread that first checks the run's stop flag,
// so after a close it changes nothing more.
#include "snippets/export_window.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "resources/window_ids.h"
#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "runtime/zip.h"
#include "snippets/globals.h"
#include "snippets/import_window.h"
#include "snippets/library.h"
#include "snippets/package_cipher.h"
#include "ui/ui.h"

namespace {

namespace w = ExportWindow;

std::atomic<int> PauseMs{1000};

// One run of the export thread; stopped is set on the GUI thread by a close.
struct ExportRun {
  std::atomic<bool> stopped{false};
};
std::shared_ptr<ExportRun> CurrentExport;  // GUI thread only
// True from the start of an export until it ends or a close stops it; a failed write keeps
// it, as the window then stays disabled until it is closed.
bool ExportRunning = false;  // GUI thread only

constexpr const char* kCloseQuestion = "还没有导出完成！！是否确定关闭？？";
constexpr const char* kEncipherFailed = "未知原因，加密失败！！！";
constexpr const char* kCopyFailedMessage = "复制数据库失败！！没有生成数据包，请检查数据文件夹是否可写。";
constexpr const char* kZipFailedMessage = "压缩数据文件夹失败！！没有生成数据包，请检查数据文件夹是否存在、可读。";

void SetInputsEnabled(bool enabled) {
  ui::SetEnabled(w::PasswordBox, enabled);
  ui::SetEnabled(w::StartButton, enabled);
  ui::SetEnabled(w::SetPasswordButton, enabled);
  ui::SetEnabled(w::SaveToButton, enabled);
}

// Runs task on the GUI thread unless the run was stopped; false when it was.
template <typename Task>
bool UnlessStopped(const ExportRun& run, Task&& task) {
  return ui::RunOnGui([&] {
    if (run.stopped) return false;
    task();
    return true;
  });
}

// A first phase that could not finish: nothing of it is left, and the window is usable again.
void EndFirstPhase(const char* message) {
  RemoveFile(ProgramFilePath(kExportDatabaseCopy));
  RemoveFile(ProgramFilePath(kPackageTempFile));
  ui::ShowMessageBox(message, ui::kMbIconWarning);
  ui::SetText(w::StatusLabel, "导出失败！");
  SetInputsEnabled(true);
  ExportRunning = false;
  UpdateTransferDone();
}

// The database file copied while the library's connection is held, so no statement of this
// program writes it half way through the copy.
bool CopyLibraryDatabase() {
  const Text from = ProgramFilePath("\\DATA.mdb");
  const Text to = ProgramFilePath(kExportDatabaseCopy);
  bool copied = false;
  if (!OdbcTransaction(LibraryDatabase, [&] {
        copied = CopyFileOver(from, to);
        return true;
      })) {
    copied = CopyFileOver(from, to);
  }
  return copied;
}

// The second phase, on the export thread.
void WriteEncryptedPackage(const ExportRun& run) {
  Text password, target;
  if (!UnlessStopped(run, [&] {
        ui::SetText(w::StatusLabel, "打包完成，接下来自动加密");
        password = ExportPassword;
        target = ui::GetDialogFileName(w::FileDialog);
      })) {
    return;
  }
  PauseForStatus();
  if (run.stopped) return;

  // header + archive + trailer, enciphered in place from byte 10 as one write from position 0
  // would; written whole or not at all.
  Bytes archive, body;
  bool written = ReadFileBytes(ProgramFilePath(kPackageTempFile), archive);
  if (written) {
    body.reserve(kPackageHeader.size() + archive.size() + kPackageTrailer.size());
    body.insert(body.end(), kPackageHeader.begin(), kPackageHeader.end());
    body.insert(body.end(), archive.begin(), archive.end());
    Bytes().swap(archive);
    body.insert(body.end(), kPackageTrailer.begin(), kPackageTrailer.end());
    CipherPackageBytes(password, body, CipherCopy::Writing);
    if (run.stopped) return;
    written = WriteFileBytes(target, body);
  }
  Bytes().swap(body);
  if (!written) {
    // The controls stay disabled and the temporary files stay until the window is closed.
    UnlessStopped(run, [&] {
      ui::ShowMessageBox(Text(kEncipherFailed) + "\r\n现行密码：" + password, ui::kMbIconWarning);
      ui::SetText(w::StatusLabel, kEncipherFailed);
    });
    return;
  }

  if (!UnlessStopped(run, [] {
        ui::SetText(w::StatusLabel, "删除临时文件中......");
        RemoveFile(ProgramFilePath(kPackageTempFile));
        RemoveFile(ProgramFilePath(kExportDatabaseCopy));
      })) {
    return;
  }
  PauseForStatus();
  UnlessStopped(run, [] {
    ui::SetText(w::StatusLabel, "生成完毕，可以去分享给好友了，嘻嘻");
    ExportRunning = false;
    UpdateTransferDone();
    SetInputsEnabled(true);
  });
}

}  // namespace

namespace {

// Runs part(from, count) over [0, size) split at block boundaries into parts of at least 16 MiB,
// one per core (at most 8), each but the first on a thread of its own.
template <typename Part>
void RunInParts(std::int64_t size, const Part& part) {
  constexpr std::int64_t kLeastPart = std::int64_t{16} << 20;
  const std::int64_t cores = std::clamp<std::int64_t>(std::thread::hardware_concurrency(), 1, 8);
  const std::int64_t parts = std::clamp<std::int64_t>(size / kLeastPart, 1, cores);
  const std::int64_t per = (size / parts / kCipherBlockSize + 1) * kCipherBlockSize;
  const auto run = [&](std::int64_t from) { part(from, std::min(per, size - from)); };
  std::vector<std::thread> helpers;
  for (std::int64_t from = per; from < size; from += per) {
    try {
      helpers.emplace_back(run, from);
    } catch (const std::system_error&) {
      run(from);  // no thread to be had: this part here
    }
  }
  run(0);
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace

void CipherPackageBytes(const Text& password, Bytes& bytes, CipherCopy copy) {
  const EncryptedFile cipher(password, kPackagePlainPrefix);
  if (!cipher.HasPassword()) return;
  RunInParts(static_cast<std::int64_t>(bytes.size()), [&](std::int64_t from, std::int64_t count) {
    cipher.CipherFileBlocks(from, bytes.data() + from, count, copy);
  });
}

namespace {
constexpr std::size_t kArrivingPart = std::size_t{1} << 20;  // a multiple of the cipher's block
}  // namespace

ArrivingPackage::~ArrivingPackage() {
  stop_ = true;
  for (std::thread& thread : threads_) thread.join();
}

bool ArrivingPackage::Start(const Text& path, const Text& password) {
  path_ = path;
  password_ = password;
  std::int64_t length = -1;
  {
    EncryptedFile file(password, kPackagePlainPrefix);
    if (file.Open(path, kFileModeRead)) length = file.Length();
  }
  if (length <= 0) return false;
  data_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(length)]);
  if (!data_) return false;
  size_ = static_cast<std::size_t>(length);
  parts_ = (size_ + kArrivingPart - 1) / kArrivingPart;
  states_.reset(new std::atomic<std::uint8_t>[parts_]);
  for (std::size_t k = 0; k < parts_; ++k) states_[k] = kWaiting;
  if (!WaitFor(size_ - 1, size_)) return false;
  const std::size_t cores = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
  for (std::size_t k = 0; k < std::min(cores, parts_); ++k) {
    try {
      threads_.emplace_back([this] { Run(); });
    } catch (const std::system_error&) {
      break;  // the parts no thread takes are read by those who wait for them
    }
  }
  return true;
}

bool ArrivingPackage::ReadPart(std::size_t part) {
  std::uint8_t expected = kWaiting;
  if (!states_[part].compare_exchange_strong(expected, kTaken)) return false;
  const std::size_t from = part * kArrivingPart;
  const std::size_t n = std::min(kArrivingPart, size_ - from);
  EncryptedFile file(password_, kPackagePlainPrefix);
  const bool ok = file.Open(path_, kFileModeRead) && file.Seek(static_cast<std::int64_t>(from)) &&
                  file.Read(data_.get() + from, n) == n;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    states_[part] = ok ? kRead : kFailed;
  }
  arrived_.notify_all();
  return true;
}

void ArrivingPackage::Run() {
  while (!stop_) {
    const std::size_t part = next_++;
    if (part >= parts_) return;
    ReadPart(part);
  }
}

bool ArrivingPackage::WaitFor(std::uint64_t from, std::uint64_t to) {
  if (from >= to) return true;
  if (to > size_) return false;
  const std::size_t first = static_cast<std::size_t>(from / kArrivingPart);
  const std::size_t last = static_cast<std::size_t>((to - 1) / kArrivingPart);
  for (std::size_t k = first; k <= last; ++k) {
    if (states_[k] == kWaiting) ReadPart(k);
  }
  for (std::size_t k = first; k <= last; ++k) {
    if (states_[k] == kRead) continue;
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [&] { return states_[k] >= kRead; });
    if (states_[k] != kRead) return false;
  }
  return true;
}

void UpdateTransferDone() { TransferDone = ExportRunning || ImportInProgress() ? 0 : 1; }

void SetTransferPause(int milliseconds) { PauseMs = milliseconds < 0 ? 0 : milliseconds; }

int TransferPause() { return PauseMs; }

void PauseForStatus() {
  const int total = PauseMs;
  if (ui::OnGuiThread()) {
    ui::DelayPumping(total);
    return;
  }
  constexpr int kSlice = 50;
  for (int waited = 0; waited < total && !StopRequested(); waited += kSlice) {
    ui::DelayPumping(total - waited < kSlice ? total - waited : kSlice);
  }
}

void StopExportAndRemoveItsFiles() {
  if (CurrentExport) CurrentExport->stopped = true;
  RequestStop(ExportThread);
  // The thread may be waiting for the GUI thread, so events are handled meanwhile.
  for (int waited = 0; ThreadRunning(ExportThread) && waited < kExportStopLimitMs; waited += 10) {
    ui::DelayPumping(10);
  }
  RemoveFile(ProgramFilePath(kPackageTempFile));
  RemoveFile(ProgramFilePath(kExportDatabaseCopy));
  ExportRunning = false;
  UpdateTransferDone();
}

void MainWindow_ExportMenuItem_OnSelected() { ui::LoadWindow(ExportWindow::Self); }

void ExportWindow_OnCreated() {
  ExportRunning = false;
  UpdateTransferDone();
}

void ExportWindow_SaveToButton_OnClick() {
  if (!ui::ShowCommonDialog(w::FileDialog)) return;
  ui::SetText(w::PathBox, ui::GetDialogFileName(w::FileDialog));
}

void ExportWindow_SetPasswordButton_OnClick() { ExportPassword = ui::GetText(w::PasswordBox); }

void ExportWindow_StartButton_OnClick() {
  if (ExportRunning) return;
  Text name = ui::GetDialogFileName(w::FileDialog);
  // Byte compare: "x.YRD" is no suffix and becomes "x.YRD.yrd".
  if (!name.empty() && TextRight(name, 4) != ".yrd") {
    name += ".yrd";
    ui::SetDialogFileName(w::FileDialog, name);
  }
  if (ExportPassword.empty() &&
      ui::ShowMessageBox("现在没输入密码，是否需要密码？", ui::kMbYesNo) == ui::kIdYes) {
    return;
  }
  if (name.empty()) {
    ui::ShowMessageBox("请先选择保存路径！", ui::kMbOk);
    return;
  }

  ExportRunning = true;
  ui::SetEnabled(w::PasswordBox, false);
  TransferDone = 0;
  ui::SetEnabled(w::StartButton, false);
  ui::SetEnabled(w::SetPasswordButton, false);
  ui::SetEnabled(w::SaveToButton, false);
  ui::SetText(w::StatusLabel, "压缩中.......");

  if (!CopyLibraryDatabase()) return EndFirstPhase(kCopyFailedMessage);
  const bool zipped = ZipCompress(ProgramFilePath(kDataFolder), ProgramFilePath(kPackageTempFile), [](int percent) {
    ui::RaiseComponentProgress(w::ZipObject, percent);
    return true;
  });
  // The second phase reads the archive, so it starts only once the zip has completed it.
  if (!zipped) return EndFirstPhase(kZipFailedMessage);
  auto run = std::make_shared<ExportRun>();
  CurrentExport = run;
  const auto WriteEncryptedPackageThread = [run](int) { WriteEncryptedPackage(*run); };
  if (!StartThread(WriteEncryptedPackageThread, 0, &ExportThread)) {
    EndFirstPhase(kEncipherFailed);
  }
}

void ExportWindow_ZipObject_OnProgress(int percent) { ui::SetProgress(w::ProgressBar, percent); }

bool ExportWindow_OnCanClose() {
  if (TransferDone != 0 || !ExportRunning) return true;
  if (ui::ShowMessageBox(kCloseQuestion, ui::kMbYesNo, "是否关闭？") != ui::kIdYes) return false;
  StopExportAndRemoveItsFiles();
  ui::DestroyProgramWindow(w::Self);
  return false;
}

void BindPackageHandlers() {
  using ui::EventKind;
  ui::Bind(MainWindow::Self, MainWindow::ExportMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_ExportMenuItem_OnSelected(); });
  const ui::WindowRef exp = w::Self;
  ui::BindWindow(exp, EventKind::Created, [](int) { ExportWindow_OnCreated(); });
  ui::BindCanClose(exp, [] { return ExportWindow_OnCanClose(); });
  ui::Bind(exp, w::SaveToButton.name, EventKind::Click, [](int) { ExportWindow_SaveToButton_OnClick(); });
  ui::Bind(exp, w::SetPasswordButton.name, EventKind::Click,
           [](int) { ExportWindow_SetPasswordButton_OnClick(); });
  ui::Bind(exp, w::StartButton.name, EventKind::Click, [](int) { ExportWindow_StartButton_OnClick(); });
  ui::Bind(exp, w::ZipObject.name, EventKind::Progress,
           [](int percent) { ExportWindow_ZipObject_OnProgress(percent); });
  BindImportHandlers();
}
