// Hooks for tests of the database unit and the compaction: what a test can observe or make
// fail that the operations themselves do not show.
#pragma once

class DatabaseUnit;

// Threads that are waiting for the unit while another thread holds it.
int OdbcWaitingThreads(DatabaseUnit& db);

// A fault injected into every later CompactDatabaseFile of the process, one per step.
enum class CompactionFault {
  kNone,
  kNoTemporaryName,   // no temporary file name can be had
  kVacuumFails,       // the compacted copy cannot be written
  kCopyBesideFails,   // the copy beside the library cannot be written
  kRenameOverFails,   // the rename over the library fails
};
void InjectCompactionFault(CompactionFault fault);
