// Growable byte files held in memory, with one read/write position, used through the calls of
// runtime/numbered_files.h. The HTTP front end and its worker hand each other their packets
// through one of them.
#pragma once

#include "runtime/numbered_files.h"

// A new, empty memory file; its number is never 0.
int OpenMemoryFile();
