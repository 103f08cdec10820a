#include "store/database_try_win32.h"

#include "common/database_lock_win32.h"
#include "store/job_store.h"

bool tryDatabaseBriefly(DWORD lockWait, std::chrono::milliseconds fileWait, const std::function<void()>& work)
{
    DbMutexLock lock(lockWait);
    if (!lock.owned()) return false;
    try {
        BusyLimit limit(fileWait);
        work();
        return true;
    } catch (const DatabaseBusy&) {
        return false;
    }
}
