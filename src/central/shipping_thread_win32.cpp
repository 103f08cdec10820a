#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

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
// A stop waits this long for the shipper to end by itself (it ships what
// is waiting for shippingQuitMs), then cancels the statement under way and
// waits a little more; a shipper still held by the network after that is
// left behind, so a quit, a service stop or a hand-over always ends soon.
constexpr DWORD stopWaitMs = shippingQuitMs + 500;
constexpr DWORD cancelWaitMs = 500;

// What the shipper and whoever stops it share; the last of them frees it.
struct ShipperControl {
    ScopedHandle stopEvent;
    // Set when the stop gave up waiting: the shipper, once the network lets
    // it go, touches pgwarden.db no more.
    std::atomic<bool> leftBehind{false};
    std::mutex sessionTurn;
    CentralSession* session = nullptr; // while the shipper has one
};

struct ShipperStart {
    CentralSetting setting;
    std::u16string folder;
    std::shared_ptr<ShipperControl> control;
};

std::shared_ptr<ShipperControl> control;
ScopedHandle shipperThread;

ShipperServices shipperServices(const std::shared_ptr<ShipperControl>& shared)
{
    HANDLE stop = shared->stopEvent.get();
    ShipperServices services;
    // The lock is held for the local reads and marks only, never while the
    // central database is asked: a slow network never holds up a recorder.
    // Like the recorder's, each try waits only moments for the lock and for
    // the file: the lock is never held while another program holds the file.
    services.underLock = [shared](const std::function<void()>& work) {
        if (shared->leftBehind) return false;
        return tryDatabaseBriefly(lockTry, fileTry, work);
    };
    services.nowText = [] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return formatDateTimeText(fromSystemTime(now));
    };
    services.waitForStop = [stop](std::uint32_t milliseconds) {
        return WaitForSingleObject(stop, milliseconds) == WAIT_OBJECT_0;
    };
    services.tickMs = [] { return static_cast<std::uint64_t>(GetTickCount64()); };
    services.readAhead = true;
    return services;
}

DWORD WINAPI shipperMain(void* parameter)
{
    std::unique_ptr<ShipperStart> start(static_cast<ShipperStart*>(parameter));
    std::shared_ptr<ShipperControl> shared = start->control;
    HANDLE stop = shared->stopEvent.get();
    CentralSession session(start->setting, [stop] { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; });
    {
        std::lock_guard<std::mutex> mine(shared->sessionTurn);
        shared->session = &session;
    }
    ShipperServices services = shipperServices(shared);
    services.link = session.link();
    Shipper shipper(start->folder, start->setting.source, std::move(services));
    shipper.run();
    std::lock_guard<std::mutex> mine(shared->sessionTurn);
    shared->session = nullptr;
    return 0;
}

// On a thread of its own: a driver asks the server to cancel over a
// connection of its own, which a server that does not answer holds too.
DWORD WINAPI cancelMain(void* parameter)
{
    std::unique_ptr<std::shared_ptr<ShipperControl>> shared(
        static_cast<std::shared_ptr<ShipperControl>*>(parameter));
    std::lock_guard<std::mutex> mine((*shared)->sessionTurn);
    if ((*shared)->session != nullptr) (*shared)->session->cancel();
    return 0;
}

void cancelAside(const std::shared_ptr<ShipperControl>& shared)
{
    auto parameter = std::make_unique<std::shared_ptr<ShipperControl>>(shared);
    ScopedHandle canceller(CreateThread(nullptr, 0, cancelMain, parameter.get(), 0, nullptr));
    if (!canceller) return; // the stop then only stops waiting
    parameter.release();    // the thread owns it now
}

} // namespace

void startShipping()
{
    CentralSetting setting = readCentralSetting();
    if (!setting.enabled() || shipperThread) return;
    control = std::make_shared<ShipperControl>();
    control->stopEvent = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!control->stopEvent) fatalError(unit::central, u"11");
    auto start = std::make_unique<ShipperStart>(ShipperStart{std::move(setting), dataFolder(), control});
    shipperThread = ScopedHandle(CreateThread(nullptr, 0, shipperMain, start.get(), 0, nullptr));
    if (!shipperThread) fatalError(unit::central, u"12");
    start.release(); // the thread owns it now
}

void stopShipping()
{
    if (!shipperThread) return;
    SetEvent(control->stopEvent.get());
    // The shipper takes the database lock for its local work: this thread
    // must not hold it here.
    if (WaitForSingleObject(shipperThread.get(), stopWaitMs) == WAIT_TIMEOUT) {
        cancelAside(control);
        if (WaitForSingleObject(shipperThread.get(), cancelWaitMs) == WAIT_TIMEOUT)
            control->leftBehind = true;
    }
    shipperThread.reset();
    control.reset();
}
