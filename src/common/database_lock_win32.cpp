#include "common/database_lock_win32.h"

#include "common/fatal_report.h"

HANDLE dbMutex = nullptr;

namespace {

DWORD waitForDbMutex()
{
    DWORD result;
    do {
        if (fatalReportBegun()) return WAIT_FAILED;
        result = WaitForSingleObject(dbMutex, 70);
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

DbMutexLock::~DbMutexLock()
{
    if (owned_) ReleaseMutex(dbMutex);
}
