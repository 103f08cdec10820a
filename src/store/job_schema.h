// The job store's schema: the jobs and saved-dates tables every opening
// makes when they are missing, and the indexes of the jobs table that only
// the file's preparation builds (on a large file of an earlier version that
// takes minutes). Shared by the opening and the preparation. Portable.
#pragma once

struct sqlite3;

namespace store {

// Makes tbTrabajos and tbFechas when either is missing.
void ensureTables(sqlite3* db);

// The indexes of the jobs table, built where they are missing and rebuilt
// where an earlier version made them on an expression; and how many of them
// are missing now.
void ensureIndexes(sqlite3* db);
int missingIndexes(sqlite3* db);

} // namespace store
