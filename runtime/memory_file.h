// Growable byte files held in memory, addressed by a file number, with one read/write position.
// The HTTP front end and its worker hand each other their packets through one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/text.h"

// A new, empty memory file; its number is never 0. Numbers are not reused while the process runs.
int OpenMemoryFile();
// Writes the pieces in order at the position (over what is there, growing the file past its
// end) and moves the position behind them. False for an unknown file number.
bool WriteBytes(int file, const std::vector<Bytes>& pieces);
bool WriteBytes(int file, const Bytes& bytes);
bool SeekToStart(int file);
// Length in bytes; 0 for an unknown file number.
std::size_t FileLength(int file);
// Up to count bytes from the position, which moves behind them.
Bytes ReadBytes(int file, std::size_t count);
// Removes up to count bytes at the position; the position stays.
bool DeleteBytesAt(int file, std::size_t count);
// Closes and discards the file; false when the number names no open file.
bool CloseFile(int file);
