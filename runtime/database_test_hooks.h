// Hooks for tests of the database unit and the compaction: what a test can observe or set that
// the operations themselves do not show.
#pragma once

class DatabaseUnit;
struct sqlite3;

// Threads that are waiting for the unit while another thread holds it.
int OdbcWaitingThreads(DatabaseUnit& db);

// The engine's handle of the unit's connection (nullptr when none is open), so a test can watch
// what a statement does.
sqlite3* OdbcEngineHandle(DatabaseUnit& db);

// How long connections opened from now on wait for another process's lock (and an open for a
// compaction to end), so a test of a held lock need not wait the real five seconds.
void SetDatabaseBusyTimeout(int milliseconds);
