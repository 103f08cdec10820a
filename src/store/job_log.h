// The job log: every job of a period, one at a time or a page at a time,
// newest first or in the order of another column, filtered to one printer,
// user or computer and by a text. Read by keyset (the last entry of a page
// says where the next one starts), so a page costs the same at the start,
// at the end and anywhere near a page already read, however many jobs the
// file holds. Shared by the Jobs tab and by every export of the log.
// Portable: no Windows header here.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "store/statistics_rows.h"

struct sqlite3;

enum class LogColumn : std::uint8_t { time, user, machine, printer, pages };

struct LogOrder {
    LogColumn column = LogColumn::time;
    bool descending = true; // newest first
    friend bool operator==(const LogOrder&, const LogOrder&) = default;
};

struct LogFilter {
    // Jobs whose time text is at or after this moment's (a time the program
    // wrote; texts that are no date are not listed).
    DateTime since;
    std::optional<GroupingColumn> only; // one printer, user or computer...
    std::u16string onlyValue;           // ...of this name
    // Part of the user, computer, printer or document, letter case of the
    // ASCII letters aside; empty: every job.
    std::u16string search;
    friend bool operator==(const LogFilter&, const LogFilter&) = default;
};

// One job as the log shows it, its cells as SQLite gives them as text.
struct LogEntry {
    std::int64_t row = 0; // trllapri
    std::u16string time, user, machine, printer, pages;
    std::optional<std::u16string> document, paper;
    std::optional<std::int64_t> colour, sides, sheets, cost;
    // The order's value of this entry, where the next page starts.
    std::u16string textKey;
    double numberKey = 0;
    // Where the central database keeps an entry read from it (with `row`):
    // its computer's source and file; empty for this file's entries.
    std::u16string source, fileId;
    friend bool operator==(const LogEntry&, const LogEntry&) = default;
};

// Up to `count` entries in the order from the first (after none), or those
// that follow `after`. With `fromEnd`, the same from the other end: the last
// entries, last first, then those before `after`.
std::vector<LogEntry> readLogPage(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    const LogEntry* after, std::size_t count, bool fromEnd = false);

// Up to `count` entries from the `skip`th on, from the start or the end:
// for a jump far from every entry read (it steps over the skipped ones).
std::vector<LogEntry> readLogPageAt(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    std::size_t skip, std::size_t count, bool fromEnd);

// How many entries the filter gives, without its search (the search's count
// comes with its pass). From the kept month totals and the jobs of the
// period's first month when the totals are ready, so it costs the same at
// any size; from the jobs otherwise.
std::int64_t countLogEntries(sqlite3* db, const LogFilter& filter);

// Every entry of the filter in the order, handed to onEntry a page at a time;
// stops early when `cancel` is set or onEntry returns false. onProgress gets
// the share of the period's jobs looked at so far, in thousandths. False
// when it was stopped.
bool forEachLogEntry(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    const std::function<bool(const LogEntry&)>& onEntry, const std::atomic<bool>* cancel = nullptr,
    const std::function<void(int permille)>& onProgress = {});
