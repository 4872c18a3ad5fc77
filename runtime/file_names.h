// Splitting file paths: the name after the last "\" and the extension after the last ".".
// Both search GBK-aware, so a "\" or "." that is the second byte of a character never counts.
#pragma once

#include "runtime/text.h"

// The part after the last "\"; the whole path when it has none, "" when it ends in "\".
Text GetFileName(const Text& path);
// The part after the last "." anywhere in the text (folders included), without the dot;
// the whole text when it has no ".", "" when it ends in ".".
Text GetFileExtension(const Text& name);
