// The rows of pgwarden.db as they travel to the central database: what the
// job store takes from tbTrabajos for a shipment, and what the central
// schema turns into one batch statement. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One row of tbTrabajos as it is shipped. Absent values are nulls; the
// day (YYYYMMDD) and the moment come from julianday(trfecha), both absent
// when it cannot read the text, and such a row counts in no period.
struct ShippedRow {
    std::int64_t rowId = 0;
    std::optional<std::u16string> date, user, machine, printer;
    std::optional<std::int64_t> pages;
    std::optional<std::int64_t> julianMs;
    std::optional<std::int64_t> dayKey;
    // The job's row of tbDetalles, as it holds it; all absent for a job
    // without details.
    std::optional<std::int64_t> color, sides;
    std::optional<std::u16string> paper;
    std::optional<std::int64_t> sheets, bytes;
    std::optional<std::u16string> document;
    std::optional<std::int64_t> cost;
};

struct ShippingBatch {
    std::u16string source, fileId;
    std::vector<ShippedRow> rows; // in row-number order
};
