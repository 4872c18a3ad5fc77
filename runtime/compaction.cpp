// CompactDatabaseFile: the library is compacted into a temporary file, and the result takes
// the library's place by a rename, so the library is never missing or half written.
#include <sqlite3.h>

#include <atomic>

#include "runtime/database.h"
#include "runtime/database_test_hooks.h"
#include "runtime/files.h"
#include "runtime/sqlite_connection.h"

namespace {

std::atomic<CompactionFault> injectedFault{CompactionFault::kNone};

bool Injected(CompactionFault fault) { return injectedFault.load() == fault; }

// Writes the compacted copy of the database at source into the file target (which must be
// missing or empty).
bool VacuumInto(const Text& source, const Text& target) {
  SqliteConnection connection = SqliteConnection::OpenExisting(NativePath(source));
  if (!connection || Injected(CompactionFault::kVacuumFails)) return false;
  SqliteStatement vacuum = SqliteStatement::PrepareSingle(connection.get(), "VACUUM INTO ?1;");
  if (!vacuum) return false;
  const std::string native = NativePath(target);
  sqlite3_bind_text(vacuum.get(), 1, native.c_str(), static_cast<int>(native.size()),
                    SQLITE_TRANSIENT);
  return sqlite3_step(vacuum.get()) == SQLITE_DONE;
}

}  // namespace

void InjectCompactionFault(CompactionFault fault) { injectedFault.store(fault); }

// An SQLite file carries no password, so password and sourceHasPassword are accepted for the
// callers' sake and not used.
int CompactDatabaseFile(const Text& path, const Text& password, bool sourceHasPassword) {
  const Text temporary = Injected(CompactionFault::kNoTemporaryName) ? Text() : TempFileName();
  if (temporary.empty()) return 1;

  if (!VacuumInto(path, temporary)) {
    RemoveFile(temporary);
    return 2;
  }
  // The temporary folder may lie on another file system; a copy beside the library can be
  // renamed over it in one step.
  const Text beside = path + ".compact";
  bool replaced = !Injected(CompactionFault::kCopyBesideFails) && CopyFileOver(temporary, beside);
  replaced = replaced && !Injected(CompactionFault::kRenameOverFails) && MoveFileOver(beside, path);
  if (!replaced) RemoveFile(beside);
  RemoveFile(temporary);
  // A temporary file left behind does not undo the replacement: the result is still 0.
  return replaced ? 0 : 3;
}
