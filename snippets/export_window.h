// The package export (ExportWindow): the package layout, the first phase on the GUI thread
// (database copy, zip of the data folder) and the export thread that writes the package.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/text.h"

// Bytes 0-9 of every package, always plain; the 17 bytes that end it, enciphered with the rest.
inline constexpr std::array<std::uint8_t, 10> kPackageHeader = {0x59, 0x4E, 0x61, 0x23, 0x79,
                                                                0x2D, 0x03, 0x15, 0x02, 0x01};
inline constexpr std::array<std::uint8_t, 17> kPackageTrailer = {
    0x0E, 0x0A, 0x38, 0x40, 0x59, 0x4E, 0x49, 0x67, 0x01, 0x03, 0x39, 0x32, 0x0C, 0x35, 0x05, 0x15, 0x22};
// Bytes left plain at the start of a package: its header.
inline constexpr int kPackagePlainPrefix = 10;

enum class CipherCopy;
// Enciphers (Writing) or deciphers (Reading) a whole package held in memory in place, as one
// write or read through the package cipher from position 0 would: bytes 0-9 stay plain, an
// empty password changes nothing. Large packages are split at block boundaries over a few
// threads, which the position-keyed cipher allows.
void CipherPackageBytes(const Text& password, Bytes& bytes, CipherCopy copy);

// A package file read through the package cipher as one read from position 0 would read it
// (bytes 0-9 as stored, the rest deciphered) by threads of its own while the caller goes on:
// the last part, which holds the trailer, is there when Start returns; the rest comes from the
// front in parts, and a part waited for that no thread has taken yet is read by the waiting
// thread itself. The threads are stopped and joined when the object goes.
class ArrivingPackage {
 public:
  ArrivingPackage() = default;
  ~ArrivingPackage();
  ArrivingPackage(const ArrivingPackage&) = delete;
  ArrivingPackage& operator=(const ArrivingPackage&) = delete;

  // False when the file cannot be opened, is empty, or its last part cannot be read.
  bool Start(const Text& path, const Text& password);
  const std::uint8_t* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  // Waits until bytes [from, to) are there; false when they never will be (a read failed).
  // Any thread.
  bool WaitFor(std::uint64_t from, std::uint64_t to);

 private:
  enum PartState : std::uint8_t { kWaiting, kTaken, kRead, kFailed };
  bool ReadPart(std::size_t part);
  void Run();

  Text path_, password_;
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
  std::size_t parts_ = 0;
  std::unique_ptr<std::atomic<std::uint8_t>[]> states_;
  std::atomic<std::size_t> next_{0};  // the next part a thread takes from the front
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::thread> threads_;
};

// Length of the pauses that let the user read each status text of an export or import (1,000
// ms); the benchmark sets 0 to measure the work alone.
void SetTransferPause(int milliseconds);
int TransferPause();
// Waits one pause: handles window events meanwhile on the GUI thread; on the export thread it
// ends early once that thread was asked to stop.
void PauseForStatus();

// TransferDone := 0 while an export or an import runs, else 1 (the two may overlap).
void UpdateTransferDone();

// How long the close of the export window or of the program waits for the export thread to
// see its stop before it removes the temporary files anyway.
inline constexpr int kExportStopLimitMs = 10000;
// Stops the export thread (it then writes nothing more and changes no control or global),
// waiting for it up to kExportStopLimitMs while handling window events; then removes the
// temporary archive and the database copy, and TransferDone := 1. GUI thread.
void StopExportAndRemoveItsFiles();

void MainWindow_ExportMenuItem_OnSelected();
void ExportWindow_OnCreated();
void ExportWindow_SaveToButton_OnClick();
void ExportWindow_SetPasswordButton_OnClick();
void ExportWindow_StartButton_OnClick();
void ExportWindow_ZipObject_OnProgress(int percent);
bool ExportWindow_OnCanClose();

// Binds the handlers of both package windows and of the menu items that open them.
void BindPackageHandlers();
