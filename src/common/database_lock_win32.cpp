#include "common/database_lock_win32.h"

#include <algorithm>

#include "common/failure.h"

HANDLE dbMutex = nullptr;

namespace {

DWORD waitForDbMutex(DWORD limit = INFINITE)
{
    const ULONGLONG start = GetTickCount64();
    DWORD result;
    do {
        if (fatalReportBegun()) return WAIT_FAILED;
        const ULONGLONG waited = GetTickCount64() - start;
        if (limit != INFINITE && waited >= limit) return WAIT_TIMEOUT;
        result = WaitForSingleObject(
            dbMutex, limit == INFINITE ? 70 : static_cast<DWORD>(std::min<ULONGLONG>(70, limit - waited)));
    } while (result == WAIT_TIMEOUT);
    return result;
}

bool ownsDbMutex(DWORD waitResult)
{
    return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED;
}

} // namespace

DbMutexLock::DbMutexLock()
    : owned_(ownsDbMutex(waitForDbMutex()))
{
}

DbMutexLock::DbMutexLock(DWORD limit)
    : owned_(ownsDbMutex(waitForDbMutex(limit)))
{
}

DbMutexLock::~DbMutexLock()
{
    if (owned_) ReleaseMutex(dbMutex);
}
