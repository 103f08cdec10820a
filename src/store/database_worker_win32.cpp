#include "store/database_worker_win32.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "store/job_store.h"
#include "store/pending_file_win32.h"

namespace {

using namespace std::chrono_literals;

struct Worker {
    std::mutex mutex;
    std::condition_variable changed;
    DatabaseWorkerStatus status;
    bool asked = false;
    bool pendingAsked = false;
    bool stopping = false;
    Preparation preparation;
    std::function<void()> onChange, onPrepared;
    ScopedHandle thread;
};

Worker worker;

void tell()
{
    if (worker.onChange) worker.onChange();
}

// Waits out another program's lock in short tries, so that a stop is seen.
template <typename Work> bool whenFree(Work&& work)
{
    for (;;) {
        if (worker.preparation.cancel.load()) return false;
        try {
            BusyLimit limit(200ms);
            work();
            return true;
        } catch (const DatabaseBusy&) {
            std::unique_lock lock(worker.mutex);
            worker.changed.wait_for(lock, 300ms, [] { return worker.stopping; });
        }
    }
}

void applyPendingFile(const std::u16string& folder)
{
    PendingFiles pending = readPendingFiles(folder);
    if (pending.setAside > 0) {
        {
            std::lock_guard lock(worker.mutex);
            worker.status.pendingSetAsideAs = pending.setAsideAs;
            worker.status.pendingWhy = pending.why;
        }
        tell();
    }
    if (pending.names.empty()) return;
    // Each batch goes in once, with its identity; only then are the files it
    // came from removed. A file another process added meanwhile is not one
    // of them: it waits for the next round.
    if (whenFree([&] { applyPendingBatches(folder, pending.batches); }))
        removePendingFiles(folder, pending.names);
}

DWORD WINAPI workerThread(void*)
{
    const std::u16string folder = dataFolder();
    // A stop interrupts whatever statement the worker runs.
    InterruptibleBy interruptible(worker.preparation.cancel);
    applyPendingFile(folder); // before counting
    bool first = true;
    for (;;) {
        PreparationOutcome outcome = PreparationOutcome::cancelled;
        whenFree([&] { outcome = prepareJobDatabase(folder, worker.preparation); });
        if (outcome == PreparationOutcome::ready) {
            {
                std::lock_guard lock(worker.mutex);
                worker.status.prepared = true;
                worker.status.step = PreparationStep::done;
                worker.status.percent = 100;
            }
            if (first && worker.onPrepared) worker.onPrepared();
            tell();
            // Once per start: another program may have deleted or changed rows
            // with its triggers off, which leaves no other trace.
            TotalsCheck check = TotalsCheck::agreed;
            if (first && whenFree([&] { check = checkMonthTotals(folder); })
                && check == TotalsCheck::recounted) {
                {
                    std::lock_guard lock(worker.mutex);
                    ++worker.status.totalsCounted;
                }
                tell();
            }
            first = false;
        }
        std::unique_lock lock(worker.mutex);
        for (;;) {
            worker.changed.wait(lock, [] { return worker.stopping || worker.asked || worker.pendingAsked; });
            if (worker.stopping || !worker.pendingAsked) break;
            worker.pendingAsked = false;
            lock.unlock();
            applyPendingFile(folder);
            lock.lock();
        }
        if (worker.stopping) break;
        worker.asked = false;
        worker.status.prepared = false;
    }
    return 0;
}

} // namespace

void startDatabaseWorker(std::function<void()> onChange, std::function<void()> onPrepared)
{
    worker.onChange = std::move(onChange);
    worker.onPrepared = std::move(onPrepared);
    worker.preparation.onProgress = [](PreparationStep step, int percent) {
        {
            std::lock_guard lock(worker.mutex);
            worker.status.step = step;
            worker.status.percent = percent;
        }
        tell();
    };
    worker.thread = ScopedHandle(CreateThread(nullptr, 0, workerThread, nullptr, 0, nullptr));
    if (!worker.thread) fatalError(unit::store, u"601");
}

void requestPreparation()
{
    {
        std::lock_guard lock(worker.mutex);
        worker.asked = true;
    }
    worker.changed.notify_all();
}

void requestPendingRows()
{
    {
        std::lock_guard lock(worker.mutex);
        worker.pendingAsked = true;
    }
    worker.changed.notify_all();
}

void stopDatabaseWorker()
{
    if (!worker.thread) return;
    worker.preparation.cancel = true;
    {
        std::lock_guard lock(worker.mutex);
        worker.stopping = true;
    }
    worker.changed.notify_all();
    WaitForSingleObject(worker.thread.get(), INFINITE);
    worker.thread.reset();
}

DatabaseWorkerStatus databaseWorkerStatus()
{
    std::lock_guard lock(worker.mutex);
    return worker.status;
}
