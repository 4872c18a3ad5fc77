// Files addressed by a number. Memory files and data files on disk share one table of numbers,
// so the one set of file calls below serves both, whichever opened the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/text.h"

// What a numbered file does; calls on one file are serialized by the table.
class NumberedFile {
 public:
  virtual ~NumberedFile() = default;
  // Up to count bytes from the position, which moves behind them; the count read.
  virtual std::size_t Read(std::uint8_t* buffer, std::size_t count) = 0;
  // At the position, over what is there; true when all of it was written.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  virtual std::int64_t Length() = 0;    // -1 when unknown
  virtual std::int64_t Position() = 0;  // -1 when unknown
  virtual bool Seek(std::int64_t position) = 0;
  // Removes up to count bytes at the position; the position stays. Only memory files can.
  virtual bool DeleteAt(std::size_t /*count*/) { return false; }
  virtual void Close() {}
};

// Adds an open file and returns its number: never 0, not reused while the process runs; 0 when
// the numbers are used up.
int AddNumberedFile(std::unique_ptr<NumberedFile> file);

// The calls on a file number. An unknown number gives false, empty, or -1.
bool WriteBytes(int file, const Bytes& bytes);
bool WriteBytes(int file, const std::vector<Bytes>& pieces);
Bytes ReadBytes(int file, std::int64_t count);  // never more than the file holds
bool SeekToStart(int file);
std::int64_t FileLength(int file);
bool DeleteBytesAt(int file, std::int64_t count);
// Closes and forgets the file; false when the number names no open file.
bool CloseFile(int file);
