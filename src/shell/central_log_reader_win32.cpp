#include "shell/central_log_reader_win32.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "central/central_link_win32.h"
#include "central/central_setting_win32.h"
#include "common/language_texts.h"

namespace {

constexpr std::size_t pageSize = 64;       // a screen and more
constexpr std::int64_t keysetReach = 4096; // nearer than this, a read goes on from an entry read
constexpr std::size_t cacheLimit = 50000;
constexpr std::size_t exportPage = 2000;

struct Request {
    std::uint64_t generation = 0;
    CentralSetting setting;
    LogFilter filter;
    LogOrder order;
    bool count = false;
    std::optional<std::int64_t> index;
    std::optional<std::pair<std::int64_t, LogEntry>> before, after; // the nearest entries read
    std::int64_t total = 0;
};

// Shared by the window's thread and the reader; never freed, as the reader
// may still wait on the server when the process ends.
struct Reader {
    std::mutex mutex;
    std::condition_variable wake;
    bool started = false;
    HWND window = nullptr;
    Request next; // what the window wants now
    std::map<std::int64_t, LogEntry> cache;
    // Rows a read did not bring (the server's rows changed since the count):
    // not asked for again until the next start, or each redraw would ask.
    std::set<std::int64_t> missing;
    CentralLogState state;
};
Reader& reader = *new Reader;

void answer(const Request& request, const std::function<void()>& apply)
{
    {
        std::lock_guard lock(reader.mutex);
        if (request.generation != reader.next.generation) return; // asked before a new start
        apply();
    }
    PostMessageW(reader.window, centralLogMessage, 0, 0);
}

void count(const Request& request)
{
    std::int64_t total = 0;
    std::u16string error;
    const CentralLogAnswer said = countCentralLog(request.setting, request.filter, total, error);
    answer(request, [&] {
        reader.state.granted = said != CentralLogAnswer::notGranted;
        reader.state.error = said == CentralLogAnswer::unreachable ? error : std::u16string();
        if (said == CentralLogAnswer::read) reader.state.count = total;
    });
}

// The entries around the index: on from an entry read near it, or from the
// nearer end, skipping to it.
void readAround(const Request& request)
{
    const std::int64_t index = *request.index;
    CentralLogPage page;
    page.filter = request.filter;
    page.order = request.order;
    std::int64_t first = index; // the position of the page's first entry
    int step = 1;               // and the direction the page goes in
    if (request.before && index - request.before->first < keysetReach) {
        page.after = &request.before->second;
        page.count = static_cast<std::size_t>(index - request.before->first) + pageSize;
        first = request.before->first + 1;
    } else if (request.after && request.after->first - index < keysetReach) {
        page.after = &request.after->second;
        page.fromEnd = true;
        page.count = static_cast<std::size_t>(request.after->first - index) + pageSize;
        first = request.after->first - 1;
        step = -1;
    } else if (index > request.total / 2) {
        page.fromEnd = true;
        page.skip = static_cast<std::size_t>(std::max<std::int64_t>(request.total - 1 - index, 0));
        page.count = pageSize;
        step = -1;
    } else {
        page.skip = static_cast<std::size_t>(index);
        page.count = pageSize;
    }
    std::vector<LogEntry> entries;
    std::u16string error;
    const CentralLogAnswer said = readCentralLogPage(request.setting, page, entries, error);
    answer(request, [&] {
        reader.state.error = said == CentralLogAnswer::unreachable ? error : std::u16string();
        if (reader.cache.size() > cacheLimit) reader.cache.clear();
        std::int64_t at = first;
        for (LogEntry& entry : entries) {
            if (at >= 0) reader.cache.insert_or_assign(at, std::move(entry));
            at += step;
        }
        if (said == CentralLogAnswer::read && !reader.cache.contains(index)) reader.missing.insert(index);
    });
}

void readOnRequest()
{
    for (;;) {
        Request request;
        {
            std::unique_lock lock(reader.mutex);
            reader.wake.wait(lock, [] { return reader.next.count || reader.next.index; });
            request = reader.next;
            reader.next.count = false;
            reader.next.index.reset();
        }
        if (request.count) count(request);
        if (request.index) readAround(request);
    }
}

} // namespace

void startCentralLog(HWND window, const LogFilter& filter, const LogOrder& order)
{
    std::lock_guard lock(reader.mutex);
    reader.window = window;
    Request start;
    start.generation = reader.next.generation + 1;
    start.setting = readCentralSetting();
    start.filter = filter;
    start.order = order;
    start.count = true;
    reader.next = std::move(start);
    reader.cache.clear();
    reader.missing.clear();
    reader.state = {};
    if (!reader.started) {
        std::thread(readOnRequest).detach();
        reader.started = true;
    }
    reader.wake.notify_one();
}

std::optional<LogEntry> centralLogEntry(std::int64_t index)
{
    std::lock_guard lock(reader.mutex);
    if (auto hit = reader.cache.find(index); hit != reader.cache.end()) return hit->second;
    if (!reader.state.count || index < 0 || index >= *reader.state.count || reader.missing.contains(index))
        return std::nullopt;
    // Only the latest wish is kept: a list scrolled far meanwhile asks again.
    if (reader.next.index == index) return std::nullopt;
    reader.next.index = index;
    reader.next.total = *reader.state.count;
    reader.next.before.reset();
    reader.next.after.reset();
    auto above = reader.cache.upper_bound(index);
    if (above != reader.cache.begin()) reader.next.before = *std::prev(above);
    if (above != reader.cache.end()) reader.next.after = *above;
    reader.wake.notify_one();
    return std::nullopt;
}

CentralLogState centralLogState()
{
    std::lock_guard lock(reader.mutex);
    return reader.state;
}

bool forEachCentralLogEntry(const LogFilter& filter, const LogOrder& order,
    const std::function<bool(const LogEntry&)>& onEntry, const std::atomic<bool>& cancel,
    const std::function<void(int permille)>& onProgress, std::u16string* why)
{
    const CentralSetting setting = readCentralSetting();
    std::int64_t total = 0, read = 0;
    std::u16string error;
    auto failed = [&](CentralLogAnswer answer) {
        if (why != nullptr)
            *why = answer == CentralLogAnswer::notGranted
                ? std::u16string(getText(textid::centralLogNotGranted))
                : std::u16string(getText(textid::centralUnreachable)) + u" " + error;
        return false;
    };
    const CentralLogAnswer counted = countCentralLog(setting, filter, total, error);
    if (counted != CentralLogAnswer::read) return failed(counted);
    std::vector<LogEntry> entries;
    std::optional<LogEntry> last;
    for (;;) {
        if (cancel) return false;
        CentralLogPage page;
        page.filter = filter;
        page.order = order;
        page.after = last ? &*last : nullptr;
        page.count = exportPage;
        const CentralLogAnswer answer = readCentralLogPage(setting, page, entries, error);
        if (answer != CentralLogAnswer::read) return failed(answer);
        for (const LogEntry& entry : entries)
            if (cancel || !onEntry(entry)) return false;
        read += static_cast<std::int64_t>(entries.size());
        if (onProgress && total > 0)
            onProgress(static_cast<int>(std::min<std::int64_t>(read * 1000 / total, 999)));
        if (entries.size() < exportPage) return true;
        last = entries.back();
    }
}
