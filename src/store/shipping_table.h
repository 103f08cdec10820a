// What has been shipped to the central database, kept in pgwarden.db in a
// table of its own, tbEnvioCentral, which SQLite 3.8.5 reads like any other
// (tbTrabajos itself is never changed): one row holding the file's random
// identity, made at the first shipment, the last row number shipped, the
// rows waiting, the last shipment's time and the last failure in words. A
// deleted and recreated pgwarden.db, whose row numbers start again, has no
// such row and gets a new identity, so its rows are never taken for rows
// already shipped. Whichever process ships (the tray program or the
// service), any other reads the state from here. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "store/job_store.h"
#include "store/shipping_batch.h"

struct ShippingState {
    bool started = false; // a shipment was tried at least once
    std::u16string fileId;
    std::int64_t lastShipped = 0;
    std::int64_t waiting = 0;    // rows after the last shipped, as counted at the last attempt
    std::u16string lastShipment; // date-time text, local time; empty: never
    std::u16string lastError;    // empty after a shipment that went through
    std::u16string lastErrorTime;
};

// The state as the shipper left it; `started` false when nothing was tried.
ShippingState readShippingState(const std::u16string& folder);

// The rows after `after` (absent: after the last one shipped), at most
// `limit`, in row-number order, under the file's identity (made from
// `newIdentity` when the file has none); `waiting` is the count of waiting
// rows the file keeps from the last attempt.
struct ShippingWork {
    ShippingBatch batch;
    std::int64_t lastShipped = 0;
    std::int64_t waiting = 0;
    bool cut = false; // read short of what was asked: the file was busy
};
ShippingWork takeShippingWork(const std::u16string& folder, const std::u16string& source,
    const std::u16string& newIdentity, std::size_t limit, std::optional<std::int64_t> after = std::nullopt);

// The rows numbered after `after` up to `after + span`, counted: a backlog is
// counted a slice at a time, each quick at any size. `more` when the file
// holds rows numbered beyond the slice.
struct WaitingSlice {
    std::int64_t rows = 0;
    bool more = false;
};
WaitingSlice countWaitingSlice(const std::u16string& folder, std::int64_t after, std::int64_t span);

// The same reads over one connection, opened at the first and kept until
// the reader goes: a long read taken a slice at a time, each under the
// program's lock, reads the file's schema and maps it once, not at every
// slice. Between takes the connection holds no transaction, so the file is
// free to every other connection; the reader goes with the read.
class ShippingReader {
public:
    explicit ShippingReader(std::u16string folder)
        : folder_(std::move(folder))
    {
    }
    ShippingWork take(const std::u16string& source, const std::u16string& newIdentity, std::size_t limit,
        std::optional<std::int64_t> after = std::nullopt);
    WaitingSlice count(std::int64_t after, std::int64_t span);

private:
    sqlite3* connection();

    std::u16string folder_;
    Database db_;
};

// The count of rows waiting, kept for other programs to show, unless the
// file's identity is no longer `fileId`.
void noteWaiting(const std::u16string& folder, const std::u16string& fileId, std::int64_t waiting);

// After the central commit: the rows up to `lastRow` went. Nothing happens
// when the file's identity is no longer `fileId` (the file was replaced
// meanwhile), and the mark never moves back.
void markShipped(const std::u16string& folder, const std::u16string& fileId, std::int64_t lastRow,
    std::int64_t waiting, const std::u16string& when);
// A failed attempt, in words, at a local time.
void noteShippingFailure(const std::u16string& folder, const std::u16string& fileId,
    const std::u16string& words, const std::u16string& when);

// 32 hexadecimal digits from the system's random source.
std::u16string randomFileIdentity();
