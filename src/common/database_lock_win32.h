// The named mutex "pagewardenmutex": the single-instance guard and the one
// database lock of the program.
#pragma once

#include <windows.h>

extern HANDLE dbMutex;

// Holds the database lock for a scope. The wait goes on in 70 ms slices for
// as long as it times out. An abandoned mutex is owned all the same (its last
// owner ended without releasing it) and is released like any other. A failed
// wait, or a fatal report under way (whose thread may hold the lock for
// good), leaves the lock not owned: each caller decides whether to go on.
class DbMutexLock {
public:
    DbMutexLock();
    // Waits at most `limit` milliseconds: the interface and the recorder
    // never wait long, they say so or try again later.
    explicit DbMutexLock(DWORD limit);
    ~DbMutexLock();
    DbMutexLock(const DbMutexLock&) = delete;
    DbMutexLock& operator=(const DbMutexLock&) = delete;

    bool owned() const { return owned_; }

private:
    bool owned_ = false;
};
