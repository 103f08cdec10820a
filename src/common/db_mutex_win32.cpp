#include "common/db_mutex_win32.h"

HANDLE dbMutex = nullptr;

DWORD waitForDbMutex()
{
    DWORD result;
    do {
        result = WaitForSingleObject(dbMutex, 70);
    } while (result == WAIT_TIMEOUT);
    return result;
}

bool ownsDbMutex(DWORD waitResult)
{
    // An abandoned mutex is granted all the same: its last owner ended
    // without releasing it.
    return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED;
}
