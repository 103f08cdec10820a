#include <windows.h>

#include <chrono>
#include <memory>

#include "central/central_link_win32.h"
#include "central/central_setting_win32.h"
#include "central/shipping_control.h"
#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "store/database_try_win32.h"
#include "store/job_store.h"

namespace {

constexpr DWORD lockTry = 100;
constexpr std::chrono::milliseconds fileTry{50};

struct ShipperStart {
    CentralSetting setting;
    std::u16string folder;
    HANDLE stopEvent;
};

ScopedHandle stopEvent;
ScopedHandle shipperThread;

DWORD WINAPI shipperMain(void* parameter)
{
    std::unique_ptr<ShipperStart> start(static_cast<ShipperStart*>(parameter));
    CentralSession session(start->setting);
    HANDLE stop = start->stopEvent;
    ShipperServices services;
    services.link = session.link();
    // The lock is held for the local reads and marks only, never while the
    // central database is asked: a slow network never holds up a recorder.
    // Like the recorder's, each try waits only moments for the lock and for
    // the file: the lock is never held while another program holds the file.
    services.underLock
        = [](const std::function<void()>& work) { return tryDatabaseBriefly(lockTry, fileTry, work); };
    services.nowText = [] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return formatDateTimeText(fromSystemTime(now));
    };
    services.waitForStop = [stop](std::uint32_t milliseconds) {
        return WaitForSingleObject(stop, milliseconds) == WAIT_OBJECT_0;
    };
    services.tickMs = [] { return static_cast<std::uint64_t>(GetTickCount64()); };
    Shipper shipper(start->folder, start->setting.source, std::move(services));
    shipper.run();
    return 0;
}

} // namespace

void startShipping()
{
    CentralSetting setting = readCentralSetting();
    if (!setting.enabled() || shipperThread) return;
    stopEvent = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent) fatalError(unit::central, u"11");
    auto start
        = std::make_unique<ShipperStart>(ShipperStart{std::move(setting), dataFolder(), stopEvent.get()});
    shipperThread = ScopedHandle(CreateThread(nullptr, 0, shipperMain, start.get(), 0, nullptr));
    if (!shipperThread) fatalError(unit::central, u"12");
    start.release(); // the thread owns it now
}

void stopShipping()
{
    if (!shipperThread) return;
    SetEvent(stopEvent.get());
    // The shipper takes the database lock for its local work: this thread
    // must not hold it here.
    WaitForSingleObject(shipperThread.get(), INFINITE);
    shipperThread.reset();
    stopEvent.reset();
}
