#include "central/shipping_cycle.h"

#include <algorithm>
#include <utility>

std::uint32_t shippingRetryMs(int failures)
{
    constexpr std::uint32_t quick = 5000, longest = 300000;
    if (failures <= 6) return quick;
    std::uint32_t wait = 10000;
    for (int more = failures - 7; more > 0 && wait < longest; --more) wait *= 2;
    return std::min(wait, longest);
}

Shipper::Shipper(std::u16string folder, std::u16string source, ShipperServices services)
    : folder_(std::move(folder))
    , source_(std::move(source))
    , services_(std::move(services))
{
}

bool Shipper::readBatch(
    ShippingWork& work, std::size_t rows, std::optional<std::int64_t> from, const std::atomic<bool>* stop)
{
    const std::u16string identity = randomFileIdentity();
    ShippingReader reader(folder_);
    std::size_t asked = std::min(rows, shippingSliceRows);
    if (!services_.underLock([&] { work = reader.take(source_, identity, asked, from); })) return false;
    work.batch.rows.reserve(rows);
    // The rest a slice at a time, each after the last row read. Rows never
    // change once written, so the slices join into what one read would give.
    while (work.batch.rows.size() == asked && asked < rows) {
        const std::size_t slice = std::min(rows - asked, shippingSliceRows);
        ShippingWork more;
        const std::int64_t after = work.batch.rows.back().rowId;
        // Busy meanwhile, or no longer wanted: what was read goes as it is.
        if ((stop != nullptr && *stop)
            || !services_.underLock([&] { more = reader.take(source_, identity, slice, after); })) {
            work.cut = true;
            break;
        }
        // The file was replaced meanwhile: its rows wait for the next batch.
        if (more.batch.fileId != work.batch.fileId) break;
        for (ShippedRow& row : more.batch.rows) work.batch.rows.push_back(std::move(row));
        if (more.batch.rows.size() < slice) break;
        asked += slice;
    }
    return true;
}

bool Shipper::takeBatch(ShippingWork& work)
{
    // Read while the last batch was shipped: it follows that batch's last
    // row, in the same file, and goes unless the file was replaced.
    if (next_.valid()) {
        std::optional<ShippingWork> read = next_.get();
        if (read && read->batch.fileId == nextFileId_ && (!unmarked_ || unmarked_->first == nextFileId_)) {
            work = std::move(*read);
            return true;
        }
    }
    // After a batch the server took but the file could not mark, the rows
    // that follow it, unless the file was replaced meanwhile.
    std::optional<std::int64_t> from;
    if (unmarked_) from = unmarked_->second;
    if (!readBatch(work, batchRows_, from)) return false;
    if (unmarked_ && work.batch.fileId != unmarked_->first) {
        unmarked_.reset();
        return readBatch(work, batchRows_, std::nullopt);
    }
    return true;
}

void Shipper::startReadingNext(const ShippingWork& work)
{
    const std::int64_t after = work.batch.rows.back().rowId;
    const std::size_t rows = std::min(batchRows_ * 2, mostRows_);
    nextFileId_ = work.batch.fileId;
    stopReading_ = false;
    next_ = std::async(std::launch::async, [this, after, rows] {
        ShippingWork next;
        if (!readBatch(next, rows, after, &stopReading_)) return std::optional<ShippingWork>();
        return std::optional<ShippingWork>(std::move(next));
    });
}

void Shipper::dropNext()
{
    if (!next_.valid()) return;
    stopReading_ = true;
    next_.wait();
    next_ = {};
}

bool Shipper::countWaiting(const ShippingWork& work)
{
    std::int64_t total = 0;
    WaitingSlice slice{0, true};
    ShippingReader reader(folder_);
    const std::int64_t from = unmarked_ ? unmarked_->second : work.lastShipped;
    for (std::int64_t after = from; slice.more; after += shippingCountSpan) {
        if (!services_.underLock([&] { slice = reader.count(after, shippingCountSpan); })) return false;
        total += slice.rows;
    }
    waiting_ = total;
    return true;
}

void Shipper::endRun()
{
    waiting_ = -1;
    batchRows_ = shippingFirstBatchRows;
}

CycleResult Shipper::nothingWaiting(const ShippingWork& work)
{
    endRun();
    failures_ = 0;
    if (unmarked_) {
        const std::u16string when = services_.nowText();
        if (services_.underLock([&] { markShipped(folder_, unmarked_->first, unmarked_->second, 0, when); }))
            unmarked_.reset();
    } else if (work.waiting != 0) {
        services_.underLock([&] { noteWaiting(folder_, work.batch.fileId, 0); });
    }
    return CycleResult::idle;
}

CycleResult Shipper::cycle()
{
    ShippingWork work;
    if (!takeBatch(work)) return CycleResult::busy;
    const std::size_t rows = work.batch.rows.size();
    if (rows == 0) return nothingWaiting(work);
    // A fresh count starts each run of batches; within one it goes down by
    // what each batch shipped, so a backlog is not counted at every batch.
    // A batch cut short by a busy file leaves the backlog as it was.
    const bool whole = rows == batchRows_ || work.cut;
    if (waiting_ < 0 && !whole) waiting_ = static_cast<std::int64_t>(rows);
    if (waiting_ < 0 && !countWaiting(work)) return CycleResult::busy;
    // While a backlog lasts, the next batch is read as the server takes this one.
    if (services_.readAhead && rows == batchRows_ && !work.cut) startReadingNext(work);
    std::u16string error;
    const CentralLink& link = services_.link;
    if (!link.connect(link.context, error) || !link.ship(link.context, work.batch, error)) {
        dropNext();
        ++failures_;
        const std::int64_t waiting = waiting_;
        endRun();
        const std::u16string when = services_.nowText();
        services_.underLock([&] {
            if (waiting != work.waiting) noteWaiting(folder_, work.batch.fileId, waiting);
            noteShippingFailure(folder_, work.batch.fileId, error, when);
        });
        return CycleResult::failed;
    }
    failures_ = 0;
    waiting_ = std::max<std::int64_t>(waiting_ - static_cast<std::int64_t>(rows), 0);
    const std::int64_t last = work.batch.rows.back().rowId;
    const std::u16string when = services_.nowText();
    // The file busy a moment: the mark is tried again at once. Unmarked all
    // the same, the next batch follows this one and its mark covers both; a
    // quit or a crash before that ships this one again, and the central key
    // takes it once. While the next batch is being read, it is that batch's
    // mark which is tried again, not this one's: a file busy for long (the
    // totals' check at a start reads it whole) holds no batch up.
    bool marked = false;
    const int tries = next_.valid() ? 1 : shippingMarkTries;
    for (int attempt = 0; attempt < tries && !marked; ++attempt)
        marked = services_.underLock([&] { markShipped(folder_, work.batch.fileId, last, waiting_, when); });
    unmarked_.reset();
    if (!marked) unmarked_.emplace(work.batch.fileId, last);
    // A batch shorter than asked emptied the backlog as it stood; a whole one
    // leaves more, and the next batch may be larger.
    if (!whole)
        endRun();
    else
        batchRows_ = std::min(batchRows_ * 2, mostRows_);
    return CycleResult::shipped;
}

void Shipper::run()
{
    for (;;) {
        const CycleResult result = cycle();
        // A stop asked while a try failed: that was the last chance, and a
        // second log-in would only hold the stop up.
        if (result == CycleResult::failed && services_.waitForStop(0)) return;
        std::uint32_t pause = 0;
        if (result == CycleResult::idle) pause = shippingIdleMs;
        if (result == CycleResult::failed) pause = shippingRetryMs(failures_);
        if (result == CycleResult::busy) pause = shippingBusyMs;
        if (services_.waitForStop(pause)) break;
    }
    // The stop: one more try even after failures, since the server may be
    // back, but nothing after the time is up or the first failure.
    // Small batches only: one that began just before the time is up still
    // ends well within it.
    dropNext();
    mostRows_ = batchRows_ = shippingFirstBatchRows;
    const std::uint64_t end = services_.tickMs() + shippingQuitMs;
    while (services_.tickMs() < end && cycle() == CycleResult::shipped) { }
    dropNext();
}
