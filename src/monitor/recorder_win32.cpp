#include "monitor/recorder_win32.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "store/database_try_win32.h"
#include "store/pending_file_win32.h"

namespace {

using namespace std::chrono_literals;

// How long one try may wait: for the program's lock, and for the file while
// holding it. Then the lock is let go and the try made again after a pause
// that grows to a second while the file stays busy.
constexpr DWORD lockTry = 100;
constexpr auto fileTry = 50ms;
constexpr auto firstPause = 50ms;
constexpr auto longestPause = 1000ms;

struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<JobRow> rows;
    bool ready = false;
    bool stopping = false;
    std::chrono::steady_clock::time_point stopBy;
    ScopedHandle thread;
};

Recorder recorder;

// One try at writing the rows at the front of the queue; true when they are in.
bool writeOnce(const std::vector<JobRow>& batch)
{
    return tryDatabaseBriefly(lockTry, fileTry, [&] { recordRows(dataFolder(), batch); });
}

DWORD WINAPI recorderThread(void*)
{
    auto pause = firstPause;
    std::unique_lock lock(recorder.mutex);
    for (;;) {
        recorder.changed.wait(
            lock, [] { return recorder.stopping || (recorder.ready && !recorder.rows.empty()); });
        if (recorder.rows.empty()) break; // stopping with nothing left
        if (recorder.stopping && std::chrono::steady_clock::now() >= recorder.stopBy) break;
        const std::size_t count = std::min(recorder.rows.size(), rowsPerTransaction);
        std::vector<JobRow> batch(
            recorder.rows.begin(), recorder.rows.begin() + static_cast<std::ptrdiff_t>(count));
        lock.unlock();
        const bool written = !fatalReportBegun() && writeOnce(batch);
        lock.lock();
        if (written) {
            recorder.rows.erase(
                recorder.rows.begin(), recorder.rows.begin() + static_cast<std::ptrdiff_t>(count));
            pause = firstPause;
            continue;
        }
        // Another program holds the file: wait without any lock, then again.
        auto until = std::chrono::steady_clock::now() + pause;
        if (recorder.stopping) until = std::min(until, recorder.stopBy);
        recorder.changed.wait_until(lock, until,
            [&] { return recorder.stopping && std::chrono::steady_clock::now() >= recorder.stopBy; });
        pause = std::min(pause * 2, longestPause);
    }
    return 0;
}

} // namespace

void startRecorder()
{
    std::lock_guard lock(recorder.mutex);
    recorder.stopping = false;
    // One thread for every job, with a small stack: a burst queues rows, not threads.
    recorder.thread = ScopedHandle(CreateThread(
        nullptr, 256 * 1024, recorderThread, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!recorder.thread) fatalError(unit::monitorThread, u"167");
}

void queueRows(std::vector<JobRow> rows)
{
    if (rows.empty()) return;
    {
        std::lock_guard lock(recorder.mutex);
        for (JobRow& row : rows) recorder.rows.push_back(std::move(row));
    }
    recorder.changed.notify_all();
}

void allowRecording()
{
    {
        std::lock_guard lock(recorder.mutex);
        recorder.ready = true;
    }
    recorder.changed.notify_all();
}

void stopRecorder(std::chrono::milliseconds limit)
{
    {
        std::lock_guard lock(recorder.mutex);
        recorder.stopping = true;
        recorder.ready = true; // what waits is written now, prepared file or not
        recorder.stopBy = std::chrono::steady_clock::now() + limit;
    }
    recorder.changed.notify_all();
    if (recorder.thread) WaitForSingleObject(recorder.thread.get(), INFINITE);
    recorder.thread.reset();

    std::vector<JobRow> left(recorder.rows.begin(), recorder.rows.end());
    recorder.rows.clear();
    if (left.empty() || fatalReportBegun()) return;
    // Another program held the file all along: the rows wait in the pending
    // file for the next start. Losing them silently would be worse than a report.
    if (!addToPendingFile(dataFolder(), left)) fatalError(unit::monitorThread, u"171");
}
