// Splitting file paths: the name after the last "\" and the extension after the last ".".
// Both search GBK-aware, so a "\" or "." that is the second byte of a character never counts.
#pragma once

#include "runtime/text.h"

// The part after the last "\"; the whole path when it has none, "" when it ends in "\".
Text GetFileName(const Text& path);
// The part after the last "." anywhere in the text (folders included), without the dot;
// the whole text when it has no ".", "" when it ends in ".".
Text GetFileExtension(const Text& name);

// The last component of a path: the text after its last "\" or "/"; the whole text when it has
// neither.
Text LastPathComponent(const Text& path);
// The extension of the last path component alone: a "." in a folder name never counts, and a
// name without "." has none (""). So a name built from it never leaves its folder.
Text FileNameExtension(const Text& path);
