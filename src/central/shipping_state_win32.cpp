#include "central/shipping_state_win32.h"

#include <windows.h>

#include <chrono>

#include "common/database_lock_win32.h"
#include "common/folders_win32.h"
#include "store/job_store.h"

std::optional<ShippingState> readShippingStateBriefly()
{
    DbMutexLock lock(50);
    if (!lock.owned()) return std::nullopt;
    try {
        BusyLimit limit(std::chrono::milliseconds(50));
        return readShippingState(programFolder());
    } catch (const DatabaseBusy&) {
        return std::nullopt;
    }
}
