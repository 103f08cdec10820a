#include "central/shipping_state_win32.h"

#include <windows.h>

#include <chrono>

#include "common/folders_win32.h"
#include "store/database_try_win32.h"
#include "store/job_store.h"

std::optional<ShippingState> readShippingStateBriefly()
{
    std::optional<ShippingState> state;
    tryDatabaseBriefly(50, std::chrono::milliseconds(50), [&] { state = readShippingState(dataFolder()); });
    return state;
}
