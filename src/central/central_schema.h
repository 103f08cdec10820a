// The central PostgreSQL database (12 and later): its tables, the statement
// that ships a batch of rows with their month and day totals in one go, and
// the statement that reads the totals of a period for "All computers".
// Portable: texts and arithmetic only; the ODBC half sends them.
//
// pagewarden_jobs holds every shipped row exactly as pgwarden.db holds it,
// keyed by (source, file_id, row_id), plus julian_ms: the moment SQLite's
// julianday() reads in trfecha, in milliseconds, which the statistics
// compare. pagewarden_month_totals and pagewarden_day_totals hold rows, jobs
// and pages per printer (kind 1), user (2) and machine (3) per month and per
// day, kept in the transaction that adds the rows, so that a period reads its
// whole months, the days of its first month, and the jobs of its first day
// after its start time only, however many rows the table holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "store/job_store.h"
#include "store/shipping_batch.h"

namespace central {

// Which tables the program makes when to_regclass() finds them missing, in
// this order; each statement makes one object.
struct SchemaObject {
    const char16_t* name;
    const char16_t* statement;
};
const std::vector<SchemaObject>& schemaObjects();
// Statements that bring tables an earlier version made up to date: the
// totals gain their source, the jobs and the totals their details' columns.
// Each changes nothing when there is nothing to change, so any role may run
// them; only the owner can make a change, and each goes in a transaction of
// its own, so that a role that cannot make one goes on without it.
const std::vector<std::u16string>& schemaUpgrades();
// What the tables give one connection: whether the job details' columns are
// all there (jobs and totals), and whether this role may read the ones the
// statistics read. Without them, batches and statistics go without details,
// as an earlier version's did.
struct CentralColumns {
    bool shipDetails = false, readDetails = false;
};
// One row: yes or no for each of the two, in that order.
std::u16string detailColumnsQuery();

// The values a batch carries per row, in one list: each is a column of
// pagewarden_jobs unless `stored` is false (then the statement only uses it
// for the totals). A column added here travels with every batch; the table
// itself gets it from its statement above.
struct ShippedColumn {
    const char* name;
    const char* type; // the PostgreSQL type of the column and of its array
    bool stored;
    bool detail; // one of the job's details, shipped where the table has them
    // The row's value: a text (then `number` is null) or a number.
    const std::optional<std::u16string>& (*text)(const ShippedRow& row);
    std::optional<std::int64_t> (*number)(const ShippedRow& row);
};
const std::vector<ShippedColumn>& shippedColumns();
// The columns a batch carries, with or without the details.
std::vector<ShippedColumn> batchColumns(bool details);

// One statement for a batch of any size: the source and the file identity,
// then one array per shipped column. The rows the table does not hold yet
// are inserted, and only those are added to the totals, so a batch shipped
// again adds nothing.
std::u16string batchStatement(bool details = true);
// Said first in each batch's transaction. The driver has the server plan
// each statement for the values bound to it; for the batch that means a
// plan holding every row as a constant, whose start alone takes longer
// than the whole batch under the plan made for any values.
inline constexpr char16_t batchSettings[] = u"SET LOCAL plan_cache_mode = force_generic_plan";
// The parameters of the batch in the statement's order; each array as
// PostgreSQL reads an array literal, a null element as NULL.
std::vector<std::optional<std::u16string>> batchParameters(const ShippingBatch& batch, bool details = true);
// One array literal of the values: texts quoted with their quotes and
// backslashes escaped, absent values NULL.
std::u16string arrayLiteral(const std::vector<std::optional<std::u16string>>& values, bool quoted);

// Names and notes travel as UTF-16 text, and PostgreSQL's text holds neither
// U+0000 nor half of a surrogate pair: each becomes U+FFFD, or the server
// would refuse the batch for ever.
std::u16string storableText(const std::u16string& text);

// ---- statistics of a period --------------------------------------------------------

// The moment as julianday() counts it, in milliseconds: fields past their
// range (hour 24, day 32) run on into the next day or month, as SQLite's do.
std::int64_t julianMs(const DateTime& time);

// What a period since `since` reads: the month totals from fromMonth on, the
// day totals from firstDay to lastDay, and the jobs from jobsFrom (inclusive)
// to jobsTo (exclusive). An empty part reads nothing.
struct PeriodPlan {
    std::int64_t fromMonth = 0;             // YYYYMM
    std::int64_t firstDay = 0, lastDay = 0; // YYYYMMDD
    std::int64_t jobsFrom = 0, jobsTo = 0;
};
PeriodPlan periodPlan(const DateTime& since);

// The statement for a grouping; its parameters come from statisticsParameters.
// Its columns: the name, pages and jobs, then with `details` colour pages,
// sheets and cost (null where no job had a cost).
std::u16string statisticsStatement(GroupingColumn column, bool details = true);
std::vector<std::optional<std::u16string>> statisticsParameters(
    const PeriodPlan& plan, GroupingColumn column);

} // namespace central
