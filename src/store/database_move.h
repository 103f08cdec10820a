// Moving pgwarden.db from one folder to another, as when a service's data
// leaves the program's folder: copied through SQLite (so a journal left by a
// crash is rolled back first), the copy checked whole and its jobs counted,
// and only then the original removed. Portable.
#pragma once

#include <cstdint>
#include <string>

enum class DatabaseMove {
    nothingToMove, // no pgwarden.db in the first folder
    moved,
    alreadyThere, // the second folder holds one already: both stay
    unreadable,   // the original is no database or fails its check: it stays
    copyFailed,   // the copy could not be written or did not check out: the original stays
};

struct DatabaseMoveResult {
    DatabaseMove outcome = DatabaseMove::nothingToMove;
    std::int64_t jobs = 0; // the rows of tbTrabajos, in both files alike
};

DatabaseMoveResult moveJobDatabase(const std::u16string& fromFolder, const std::u16string& toFolder);
