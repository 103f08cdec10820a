#include "central/shipping_cycle.h"

#include <algorithm>
#include <utility>

#include "store/shipping_table.h"

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

CycleResult Shipper::cycle()
{
    ShippingWork work;
    // A fresh count starts each run of batches; within one it goes down by
    // what each batch shipped, so a backlog is not counted at every batch.
    const bool count = waiting_ < 0;
    if (!services_.underLock([&] {
            work = takeShippingWork(folder_, source_, randomFileIdentity(), shippingBatchRows, count);
        }))
        return CycleResult::busy;
    if (count) waiting_ = work.waiting;
    if (work.batch.rows.empty()) {
        waiting_ = -1;
        failures_ = 0;
        return CycleResult::idle;
    }
    std::u16string error;
    const CentralLink& link = services_.link;
    if (!link.connect(link.context, error) || !link.ship(link.context, work.batch, error)) {
        ++failures_;
        waiting_ = -1;
        const std::u16string when = services_.nowText();
        services_.underLock([&] { noteShippingFailure(folder_, work.batch.fileId, error, when); });
        return CycleResult::failed;
    }
    failures_ = 0;
    waiting_ = std::max<std::int64_t>(waiting_ - static_cast<std::int64_t>(work.batch.rows.size()), 0);
    const std::int64_t last = work.batch.rows.back().rowId;
    const std::u16string when = services_.nowText();
    // Unmarked (the file busy), the batch goes again with the next one; the
    // central key takes it once.
    if (!services_.underLock([&] { markShipped(folder_, work.batch.fileId, last, waiting_, when); }))
        waiting_ = -1;
    // A batch shorter than the limit emptied the backlog as it stood.
    if (work.batch.rows.size() < shippingBatchRows) waiting_ = -1;
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
    const std::uint64_t end = services_.tickMs() + shippingQuitMs;
    while (services_.tickMs() < end && cycle() == CycleResult::shipped) { }
}
