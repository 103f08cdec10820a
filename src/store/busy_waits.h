// Waiting for another program: how long a store operation of the calling
// thread waits for a file another connection holds, and what it does when
// the wait runs out or it is asked to stop. Portable: no Windows header here.
#pragma once

#include <atomic>
#include <chrono>

// Thrown by a store operation that found the file held by another connection
// for longer than the calling thread allows (BusyLimit). Every statement and
// connection of the operation is released on the way out, and nothing it
// began is kept: the caller may try the whole operation again later.
struct DatabaseBusy { };

// For its scope, each time one of the calling thread's store operations finds
// the file held by another connection, it waits at most this long for it,
// then throws DatabaseBusy. Without one it waits as long as it takes. A limit
// inside another keeps the shorter of the two.
class BusyLimit {
public:
    explicit BusyLimit(std::chrono::milliseconds limit);
    ~BusyLimit();
    BusyLimit(const BusyLimit&) = delete;
    BusyLimit& operator=(const BusyLimit&) = delete;

private:
    std::chrono::milliseconds outer_;
    bool hadOuter_;
};

// For its scope, every connection the calling thread's store operations open
// is interrupted once `flag` is set: a long count or check stops within
// moments, rolled back, and the operation ends in DatabaseBusy.
class InterruptibleBy {
public:
    explicit InterruptibleBy(const std::atomic<bool>& flag);
    ~InterruptibleBy();
    InterruptibleBy(const InterruptibleBy&) = delete;
    InterruptibleBy& operator=(const InterruptibleBy&) = delete;

private:
    const std::atomic<bool>* outer_;
};
