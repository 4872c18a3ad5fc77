// Files and folders. Paths are GBK texts with "\" or "/" as separators; they are mapped to
// native UTF-8 paths here (GBK-aware, so a "\" that is a second byte is no separator).
#pragma once

#include <string>

#include "runtime/text.h"

// The native form of a path: separators mapped, GBK converted to UTF-8.
std::string NativePath(const Text& path);
// The GBK form of a native path.
Text PathFromNative(const std::string& native);

// The program folder without a trailing separator: the executable's folder unless set.
Text GetRunDirectory();
// Used by the program entry (and by tests, which run a program in a folder of their own);
// a trailing separator is dropped.
void SetRunDirectory(const Text& folder);
// kind 11: the temporary folder ($TMPDIR or /tmp) with a trailing separator.
Text GetSpecialFolder(int kind);
constexpr int kSpecialFolderTemp = 11;

bool FileExists(const Text& path);  // a file or a folder
Bytes ReadFileBytes(const Text& path);  // whole file; empty when it cannot be read
bool WriteFileBytes(const Text& path, const Bytes& bytes);  // created or truncated
bool RemoveFile(const Text& path);  // true iff a file was removed
bool CopyFileOver(const Text& source, const Text& target);  // an existing target is overwritten
// Replaces target by source in one step (rename); true when done.
bool MoveFileOver(const Text& source, const Text& target);
bool MakeDirectory(const Text& path);  // one level; true when the folder exists afterwards
// The folder with everything in it; true when a folder was there and is gone. A symbolic link
// is not followed, and the root of the file system is never removed.
bool RemoveDirectoryTree(const Text& path);
// A name "%x.tmp" in the temporary folder, the number from the tick count plus a counter,
// counted up until no file of that name exists.
Text TempFileName();
// Makes the current directory the given folder.
bool SetCurrentFolder(const Text& folder);
