// One brief try at the database, as every thread but the file's worker makes
// it: none of them waits long on the program's lock or on another program.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

// Runs `work` holding the program's lock, taken within `lockWait`
// milliseconds, each of its statements waiting at most `fileWait` for a file
// another connection holds. False when either was held elsewhere, or a fatal
// report is under way: the store operation that met the busy file kept
// nothing, and the caller tries again later.
bool tryDatabaseBriefly(
    DWORD lockWait, std::chrono::milliseconds fileWait, const std::function<void()>& work);
