// A fault of the file-system seam for the tests: writes to native paths that contain a given
// text fail the way a full disk (part of the content written) or a read-only folder (nothing
// opened) makes them fail. The former table comes back when the object goes.
#pragma once

#include <string>

#include "runtime/files.h"

class WriteFault {
 public:
  WriteFault(std::string inPath, WriteOutcome outcome) {
    FileSystemOps ops;
    const FileSystemOps native = NativeFileSystem();
    ops.write = [=](const std::string& path, const Bytes& bytes) {
      if (path.find(inPath) == std::string::npos) return native.write(path, bytes);
      if (outcome == WriteOutcome::kIncomplete) native.write(path, Bytes(1, 'x'));
      return outcome;
    };
    saved_ = InstallFileSystem(ops);
  }
  ~WriteFault() { InstallFileSystem(saved_); }
  WriteFault(const WriteFault&) = delete;
  WriteFault& operator=(const WriteFault&) = delete;

 private:
  FileSystemOps saved_;
};
