// The shipper's work, apart from its thread: take the rows after the last
// one shipped from pgwarden.db, ship them to the central database in one
// transaction, mark them shipped; when the server cannot be reached, say so
// in the shipping table and try again later, further and further apart.
// Portable: the central database, the database lock and the clock come in
// as plain functions, so the cycle runs against a stand-in in the tests.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>

#include "central/central_schema.h"
#include "store/shipping_table.h"

// Rows per transaction: the first batch of a run is small, so a failure
// repeats little; while a backlog lasts each batch doubles up to the most,
// which the server takes in well under a second, so a quit is never held.
inline constexpr std::size_t shippingFirstBatchRows = 1000;
inline constexpr std::size_t shippingMostBatchRows = 16000;
// The local work per hold of the program's lock: rows read for a batch, and
// row numbers counted for the backlog; each well under 50 ms even on a
// loaded machine with the file not yet in the system's cache.
inline constexpr std::size_t shippingSliceRows = 2000;
inline constexpr std::int64_t shippingCountSpan = 10000;
// Tries of a batch's mark when the file is busy, before the batch is left
// to go again.
inline constexpr int shippingMarkTries = 3;
// How often pgwarden.db is looked at for new rows while nothing is waiting.
inline constexpr std::uint32_t shippingIdleMs = 2000;
// At a stop, what is waiting goes if the server answers within this time:
// short, since a quit, a service stop and a hand-over must all end within
// five seconds whatever the server does.
inline constexpr std::uint32_t shippingQuitMs = 1500;

// The wait before the next attempt after `failures` failed ones in a row:
// every 5 s for the first half minute (a server restarting is back soon),
// then twice as long each time, up to 5 minutes.
std::uint32_t shippingRetryMs(int failures);

// The central database as the shipper sees it. Both calls may block for
// their time-outs; neither may take the database lock.
struct CentralLink {
    void* context = nullptr;
    // Connects unless connected (making the tables when missing); false and
    // the reason in words when the server cannot be reached.
    bool (*connect)(void* context, std::u16string& error) = nullptr;
    // The batch in one transaction; false, rolled back and disconnected, and
    // the reason in words, when it did not go through.
    bool (*ship)(void* context, const ShippingBatch& batch, std::u16string& error) = nullptr;
};

struct ShipperServices {
    CentralLink link;
    // Runs the local work with the program's database lock held: short,
    // never across a call of the link. False when the lock or the file was
    // not to be had soon (another program holds it): the work did not run.
    std::function<bool(const std::function<void()>&)> underLock;
    std::function<std::u16string()> nowText; // local time as a date-time text
    // Waits up to the time given; true once the stop was asked for.
    std::function<bool(std::uint32_t milliseconds)> waitForStop;
    std::function<std::uint64_t()> tickMs; // a clock that never goes back
    // While a backlog lasts, the next batch is read from pgwarden.db on a
    // thread of its own while the server takes the current one; underLock
    // is then called from that thread too.
    bool readAhead = false;
};

// busy: pgwarden.db could not be read for the moment; tried again shortly.
enum class CycleResult { idle, shipped, failed, busy };
// The pause after a busy look at pgwarden.db.
inline constexpr std::uint32_t shippingBusyMs = 1000;

class Shipper {
public:
    Shipper(std::u16string folder, std::u16string source, ShipperServices services);

    // One batch: taken, shipped and marked, or the failure noted.
    CycleResult cycle();
    // Cycles until the stop, waiting between them, then ships what is
    // waiting for at most shippingQuitMs more.
    void run();

    int failures() const { return failures_; }
    std::size_t batchRows() const { return batchRows_; }

private:
    // The next batch, read a slice at a time; false when pgwarden.db was busy.
    bool takeBatch(ShippingWork& work);
    // Every row after the last shipped, counted a slice at a time and kept in
    // the file; false when pgwarden.db was busy.
    bool countWaiting(const ShippingWork& work);
    // A run of batches ended: the next one counts anew and starts small.
    void endRun();
    // No row waits: a batch the file could not mark is marked now, and the
    // count kept in the file says none.
    CycleResult nothingWaiting(const ShippingWork& work);
    // Up to `rows` rows after `from` (absent: after the file's mark), a
    // slice at a time; false when pgwarden.db was busy at the first slice.
    // A busy slice, or `stop` set, ends the batch short of what was asked.
    bool readBatch(ShippingWork& work, std::size_t rows, std::optional<std::int64_t> from,
        const std::atomic<bool>* stop = nullptr);
    // Reads the batch after `work` meanwhile, as large as the next batch may be.
    void startReadingNext(const ShippingWork& work);
    // The batch read meanwhile is not wanted: its reading stops.
    void dropNext();

    std::u16string folder_, source_;
    ShipperServices services_;
    int failures_ = 0;
    std::int64_t waiting_ = -1; // unknown: counted at the next cycle
    std::size_t batchRows_ = shippingFirstBatchRows;
    std::size_t mostRows_ = shippingMostBatchRows; // the first size once a quit began
    // The file and last row of a batch the server took that is not marked yet.
    std::optional<std::pair<std::u16string, std::int64_t>>
        unmarked_; // The batch read while the last one was shipped, and the file it follows.
    // (Last, so that it is waited for while everything it reads is there.)
    std::u16string nextFileId_;
    std::atomic<bool> stopReading_{false};
    std::future<std::optional<ShippingWork>> next_;
};
