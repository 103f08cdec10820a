#include "central/central_schema.h"

#include <charconv>
#include <string_view>

#include "common/strings.h"
#include "store/civil_days.h"

namespace central {

namespace {

// The three groupings, as the totals number them.
int kindOf(GroupingColumn column)
{
    switch (column) {
    case GroupingColumn::printer: return 1;
    case GroupingColumn::user: return 2;
    case GroupingColumn::machine: return 3;
    }
    return 1;
}

constexpr std::int64_t dayMs = 86400000;
// julianday('1970-01-01') * 86400000: 2440587.5 days.
constexpr std::int64_t unixEpochMs = 210866760000000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

std::int64_t dayKeyOf(const store::CivilDate& date)
{
    return date.year * 10000 + date.month * 100 + date.day;
}

// What the totals add up beyond rows, jobs and pages: the colour pages,
// sheets and cost of the jobs with details, and how many of them had a cost.
constexpr const char* detailTotals[] = {"colour_pages", "sheet_sum", "cost_sum", "cost_jobs"};

// Adds `rows` (kind, key, name_null, name, source, row_count, job_count,
// page_sum, then with `details` the detail totals) to the totals of one
// table. The source is part of each total's key, so that a source's role may
// be kept to its own totals.
std::string totalsUpsert(
    const std::string& table, const std::string& keyColumn, const std::string& rows, bool details)
{
    std::string columns = "row_count, job_count, page_sum", sums;
    for (const char* column : {"row_count", "job_count", "page_sum"})
        sums += std::string(sums.empty() ? "" : ", ") + column + " = " + table + "." + column + " + excluded."
            + column;
    for (const char* column : detailTotals) {
        if (!details) break;
        columns += std::string(", ") + column;
        sums += std::string(", ") + column + " = " + table + "." + column + " + excluded." + column;
    }
    return "INSERT INTO " + table + " (kind, " + keyColumn + ", name_null, name, source, " + columns + ") "
        + rows + " ORDER BY 1, 2, 3, 4, 5 ON CONFLICT (kind, " + keyColumn
        + ", name_null, name, source) DO UPDATE SET " + sums;
}

// The job details' columns of pagewarden_jobs, as tbDetalles names them.
constexpr const char* detailColumns[][2] = {{"dtcolor", "bigint"}, {"dtcaras", "bigint"}, {"dtpapel", "text"},
    {"dthojas", "bigint"}, {"dtbytes", "bigint"}, {"dtdocumento", "text"}, {"dtcoste", "bigint"}};

// Adds the columns where the last of them is missing. The catalog says so
// to every role, whatever columns it may read.
std::u16string addColumnsUpgrade(const std::string& table, const std::vector<std::string>& columns)
{
    std::string text = "DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = '" + table
        + "'::regclass AND attname = '" + columns.back().substr(0, columns.back().find(' '))
        + "' AND NOT attisdropped) THEN ALTER TABLE " + table;
    for (const std::string& column : columns)
        text += std::string(&column == columns.data() ? " " : ", ") + "ADD COLUMN IF NOT EXISTS " + column;
    return asciiText(text + "; END IF; END$$");
}

std::vector<std::string> jobDetailColumns()
{
    std::vector<std::string> columns;
    for (const auto& column : detailColumns) columns.push_back(std::string(column[0]) + " " + column[1]);
    return columns;
}

std::vector<std::string> totalsDetailColumns()
{
    std::vector<std::string> columns;
    for (const char* column : detailTotals)
        columns.push_back(std::string(column) + " bigint NOT NULL DEFAULT 0");
    return columns;
}

// Totals made before they carried their source get one: '' for what they
// hold, a total no source's role may change.
std::u16string totalsSourceUpgrade(const std::u16string& table, const std::u16string& keyColumn)
{
    return u"DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = "
           u"current_schema() AND table_name = '"
        + table + u"' AND column_name = 'source') THEN ALTER TABLE " + table
        + u" ADD COLUMN source text NOT NULL DEFAULT '', DROP CONSTRAINT " + table
        + u"_pkey, ADD PRIMARY KEY (kind, " + keyColumn + u", name_null, name, source); ALTER TABLE " + table
        + u" ALTER COLUMN source DROP DEFAULT; END IF; END$$";
}

} // namespace

const std::vector<SchemaObject>& schemaObjects()
{
    static const std::vector<SchemaObject> objects = {
        {u"pagewarden_jobs",
            u"CREATE TABLE pagewarden_jobs (source text NOT NULL, file_id text NOT NULL, row_id bigint NOT "
            u"NULL, "
            u"trfecha text, trusuario text, trmaquina text, trimpresora text, trnumpags bigint, julian_ms "
            u"bigint, dtcolor bigint, dtcaras bigint, dtpapel text, dthojas bigint, dtbytes bigint, "
            u"dtdocumento text, dtcoste bigint, PRIMARY KEY (source, file_id, row_id))"},
        {u"pagewarden_jobs_time", u"CREATE INDEX pagewarden_jobs_time ON pagewarden_jobs (julian_ms)"},
        {u"pagewarden_month_totals",
            u"CREATE TABLE pagewarden_month_totals (kind smallint NOT NULL, month_key integer NOT NULL, "
            u"name_null boolean NOT NULL, name text NOT NULL, source text NOT NULL, row_count bigint NOT "
            u"NULL, "
            u"job_count bigint NOT NULL, page_sum bigint NOT NULL, colour_pages bigint NOT NULL DEFAULT 0, "
            u"sheet_sum bigint NOT NULL DEFAULT 0, cost_sum bigint NOT NULL DEFAULT 0, cost_jobs bigint NOT "
            u"NULL DEFAULT 0, PRIMARY KEY (kind, month_key, name_null, name, source))"},
        {u"pagewarden_day_totals",
            u"CREATE TABLE pagewarden_day_totals (kind smallint NOT NULL, day_key integer NOT NULL, "
            u"name_null boolean NOT NULL, name text NOT NULL, source text NOT NULL, row_count bigint NOT "
            u"NULL, "
            u"job_count bigint NOT NULL, page_sum bigint NOT NULL, colour_pages bigint NOT NULL DEFAULT 0, "
            u"sheet_sum bigint NOT NULL DEFAULT 0, cost_sum bigint NOT NULL DEFAULT 0, cost_jobs bigint NOT "
            u"NULL DEFAULT 0, PRIMARY KEY (kind, day_key, name_null, name, source))"},
    };
    return objects;
}

const std::vector<std::u16string>& schemaUpgrades()
{
    static const std::vector<std::u16string> upgrades = {
        totalsSourceUpgrade(u"pagewarden_month_totals", u"month_key"),
        totalsSourceUpgrade(u"pagewarden_day_totals", u"day_key"),
        addColumnsUpgrade("pagewarden_jobs", jobDetailColumns()),
        addColumnsUpgrade("pagewarden_month_totals", totalsDetailColumns()),
        addColumnsUpgrade("pagewarden_day_totals", totalsDetailColumns()),
    };
    return upgrades;
}

namespace {

// The columns the statistics read: of the jobs (the first day of a period)
// and of both totals.
constexpr const char* readJobDetails[] = {"dtcolor", "dthojas", "dtcoste"};

} // namespace

std::u16string detailColumnsQuery()
{
    std::string jobs, totals;
    for (const auto& column : detailColumns)
        jobs += std::string(jobs.empty() ? "'" : ", '") + column[0] + "'";
    for (const char* column : detailTotals)
        totals += std::string(totals.empty() ? "'" : ", '") + column + "'";
    std::string read;
    for (const char* column : readJobDetails) read += std::string(read.empty() ? "'" : ", '") + column + "'";
    const std::string tables = "attrelid IN ('pagewarden_month_totals'::regclass, "
                               "'pagewarden_day_totals'::regclass) AND attname IN ("
        + totals + ")";
    const std::size_t totalsCount = std::size(detailTotals) * 2;
    return asciiText("SELECT CASE WHEN count(*) = " + std::to_string(std::size(detailColumns) + totalsCount)
        + " THEN 'yes' ELSE 'no' END, CASE WHEN count(*) FILTER (WHERE has_column_privilege(attrelid, "
          "attnum, "
          "'SELECT') AND (attrelid <> 'pagewarden_jobs'::regclass OR attname IN ("
        + read + "))) = " + std::to_string(std::size(readJobDetails) + totalsCount)
        + " THEN 'yes' ELSE 'no' END FROM pg_attribute WHERE NOT attisdropped AND ((attrelid = "
          "'pagewarden_jobs'::regclass AND attname IN ("
        + jobs + ")) OR (" + tables + "))");
}

std::vector<ShippedColumn> batchColumns(bool details)
{
    std::vector<ShippedColumn> columns;
    for (const ShippedColumn& column : shippedColumns())
        if (details || !column.detail) columns.push_back(column);
    return columns;
}

std::u16string batchStatement(bool details)
{
    // The arrays side by side in the select list, one row an element:
    // the quickest way the server takes them apart.
    std::string columns, stored;
    for (const ShippedColumn& column : batchColumns(details)) {
        columns += std::string(", unnest(?::") + column.type + "[]) AS " + column.name;
        if (column.stored) stored += std::string(", ") + column.name;
    }
    const std::string monthSums
        = details ? ", sum(colour_pages), sum(sheet_sum), sum(cost_sum), sum(cost_jobs)" : "";
    const std::string daySums = details ? ", colour_pages, sheet_sum, cost_sum, cost_jobs" : "";
    std::string text = "WITH batch AS (SELECT ?::text AS source, ?::text AS file_id" + columns
        + "), added AS (INSERT INTO pagewarden_jobs (source, file_id" + stored + ") SELECT source, file_id"
        + stored
        + " FROM batch ON CONFLICT DO NOTHING RETURNING row_id), "
          // Only what this statement inserted counts: a row already there
          // (shipped before a crash lost the local mark) adds nothing.
          // The rows' totals per day, then the months' from the days'.
          "days AS (SELECT g.kind, b.day_key, g.name IS NULL AS name_null, coalesce(g.name, '') AS name, "
          "b.source, count(*) AS row_count, count(b.trnumpags) AS job_count, coalesce(sum(b.trnumpags), 0) "
          "AS page_sum";
    if (details)
        text += ", coalesce(sum(CASE WHEN b.dtcolor = 2 THEN b.trnumpags END), 0) AS colour_pages, "
                "coalesce(sum(b.dthojas), 0) AS sheet_sum, coalesce(sum(b.dtcoste), 0) AS cost_sum, "
                "count(b.dtcoste) AS cost_jobs";
    text
        += " FROM batch b CROSS JOIN LATERAL (VALUES (1, b.trimpresora), (2, b.trusuario), (3, b.trmaquina)) "
           "AS g (kind, name) WHERE b.day_key IS NOT NULL "
           // As a semi-join the server hashes the rows added; as a join
           // it misjudged their number and sorted both sides, which took
           // a third of the batch's time.
           "AND b.row_id IN (SELECT row_id FROM added) GROUP BY 1, 2, 3, 4, 5), months AS (";
    text += totalsUpsert("pagewarden_month_totals", "month_key",
        "SELECT kind, day_key / 100, name_null, name, source, sum(row_count), sum(job_count), "
        "sum(page_sum)"
            + monthSums + " FROM days GROUP BY 1, 2, 3, 4, 5",
        details);
    text += ") ";
    text += totalsUpsert("pagewarden_day_totals", "day_key",
        "SELECT kind, day_key, name_null, name, source, row_count, job_count, page_sum" + daySums
            + " FROM days",
        details);
    return asciiText(text);
}

namespace {

// U+0000 and a half of a surrogate pair become U+FFFD.
template <typename Add> void forEachStorableUnit(const std::u16string& text, Add&& add)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            add(unit);
            add(text[++i]);
        } else {
            add(unit == 0 || high || low ? u'\uFFFD' : unit);
        }
    }
}

// One element of an array literal, written onto its end: a batch's arrays
// hold hundreds of thousands of values, each made here without a string of
// its own.
void appendQuoted(std::u16string& literal, const std::u16string& text)
{
    literal += u'"';
    forEachStorableUnit(text, [&](char16_t unit) {
        if (unit == u'"' || unit == u'\\') literal += u'\\';
        literal += unit;
    });
    literal += u'"';
}

void appendNumber(std::u16string& literal, std::int64_t number)
{
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    for (const char* digit = digits; digit != end; ++digit) literal += static_cast<char16_t>(*digit);
}

void appendElement(std::u16string& literal, const ShippedColumn& column, const ShippedRow& row)
{
    if (literal.size() > 1) literal += u',';
    if (column.text != nullptr) {
        const std::optional<std::u16string>& text = column.text(row);
        if (text)
            appendQuoted(literal, *text);
        else
            literal += u"NULL";
    } else if (const std::optional<std::int64_t> number = column.number(row)) {
        appendNumber(literal, *number);
    } else {
        literal += u"NULL";
    }
}

// A row whose moment julianday() cannot read counts in no period: it goes
// without its moment and its day.
bool dated(const ShippedRow& row)
{
    return row.julianMs && row.dayKey;
}

} // namespace

std::u16string storableText(const std::u16string& text)
{
    std::u16string stored;
    stored.reserve(text.size());
    forEachStorableUnit(text, [&](char16_t unit) { stored += unit; });
    return stored;
}

const std::vector<ShippedColumn>& shippedColumns()
{
    using Row = const ShippedRow&;
    static const std::vector<ShippedColumn> columns
        = {{"row_id", "bigint", true, false, nullptr,
               [](Row r) { return std::optional<std::int64_t>(r.rowId); }},
            {"trfecha", "text", true, false, [](Row r) -> const auto& {return r.date;
}
, nullptr
} // namespace central
, {"trusuario", "text", true, false, [](Row r) -> const auto& {return r.user;
}
, nullptr
}
, {"trmaquina", "text", true, false, [](Row r) -> const auto& {return r.machine;
}
, nullptr
}
, {"trimpresora", "text", true, false, [](Row r) -> const auto& {return r.printer;
}
, nullptr
}
, {"trnumpags", "bigint", true, false, nullptr, [](Row r) { return r.pages; }},
    {"julian_ms", "bigint", true, false, nullptr, [](Row r) { return dated(r) ? r.julianMs : std::nullopt; }},
    {"day_key", "integer", false, false, nullptr, [](Row r) { return dated(r) ? r.dayKey : std::nullopt; }},
    {"dtcolor", "bigint", true, true, nullptr, [](Row r) { return r.color; }},
    {"dtcaras", "bigint", true, true, nullptr, [](Row r) { return r.sides; }},
    {"dtpapel", "text", true, true, [](Row r) -> const auto& {return r.paper;
}
, nullptr
}
, {"dthojas", "bigint", true, true, nullptr, [](Row r) { return r.sheets; }},
    {"dtbytes", "bigint", true, true, nullptr, [](Row r) { return r.bytes; }},
    {"dtdocumento", "text", true, true, [](Row r) -> const auto& {return r.document;
}
, nullptr
}
, {"dtcoste", "bigint", true, true, nullptr, [](Row r) { return r.cost; }},
}
;
return columns;
}

std::u16string arrayLiteral(const std::vector<std::optional<std::u16string>>& values, bool quoted)
{
    std::u16string literal = u"{";
    for (const std::optional<std::u16string>& value : values) {
        if (literal.size() > 1) literal += u',';
        if (!value)
            literal += u"NULL";
        else if (quoted)
            appendQuoted(literal, *value);
        else
            literal += *value;
    }
    return literal + u"}";
}

std::vector<std::optional<std::u16string>> batchParameters(const ShippingBatch& batch, bool details)
{
    std::vector<std::optional<std::u16string>> parameters = {storableText(batch.source), batch.fileId};
    for (const ShippedColumn& column : batchColumns(details)) {
        std::u16string literal = u"{";
        // Room for a typical value each, so the literal grows a few times at most.
        literal.reserve(2 + batch.rows.size() * (column.text != nullptr ? 24 : 12));
        for (const ShippedRow& row : batch.rows) appendElement(literal, column, row);
        literal += u'}';
        parameters.push_back(std::move(literal));
    }
    return parameters;
}

std::int64_t julianMs(const DateTime& time)
{
    const std::int64_t days = store::daysFromCivil(time.year, time.month, time.day);
    return unixEpochMs + days * dayMs + time.hour * std::int64_t{3600000} + time.minute * std::int64_t{60000}
    + time.second * std::int64_t{1000} + time.milliseconds;
}

PeriodPlan periodPlan(const DateTime& since)
{
    const std::int64_t start = julianMs(since);
    const std::int64_t day = floorDiv(start - unixEpochMs, dayMs);
    const std::int64_t dayStart = unixEpochMs + day * dayMs;
    const store::CivilDate date = store::civilFromDays(day);
    const std::int64_t month = date.year * 100 + date.month;
    const bool midnight = start == dayStart;

    PeriodPlan plan;
    if (midnight && date.day == 1) {
        plan.fromMonth = month; // whole months only
        plan.firstDay = 1, plan.lastDay = 0;
        plan.jobsFrom = plan.jobsTo = 0;
        return plan;
    }
    plan.fromMonth = date.month == 12 ? (date.year + 1) * 100 + 1 : month + 1;
    // The days of the first month after the first one; that one too from
    // its midnight. A next day in the next month leaves the range empty.
    plan.firstDay = midnight ? dayKeyOf(date) : dayKeyOf(store::civilFromDays(day + 1));
    plan.lastDay = month * 100 + 31;
    if (!midnight) {
        plan.jobsFrom = start;
        plan.jobsTo = dayStart + dayMs;
    }
    return plan;
}

std::u16string statisticsStatement(GroupingColumn column, bool details)
{
    const std::u16string name = groupingColumnName(column); // one of three fixed names
    const std::u16string kept = details ? u", colour_pages, sheet_sum, cost_sum, cost_jobs" : u"";
    const std::u16string totals = u" name_null, name, row_count, job_count, page_sum" + kept + u" FROM ";
    const std::u16string jobDetails = details
        ? u", CASE WHEN dtcolor = 2 THEN coalesce(trnumpags, 0) ELSE 0 END, coalesce(dthojas, 0), "
          u"coalesce(dtcoste, 0), (dtcoste IS NOT NULL)::integer"
        : u"";
    const std::u16string sums = details ? u", sum(colour_pages), sum(sheet_sum), CASE WHEN sum(cost_jobs) = "
                                          u"0 THEN NULL ELSE sum(cost_sum) END"
                                        : u"";
    return u"SELECT CASE WHEN name_null THEN NULL ELSE name END, CASE WHEN sum(job_count) = 0 THEN NULL ELSE "
           u"sum(page_sum) END, sum(job_count)"
        + sums + u" FROM (SELECT" + totals
        + u"pagewarden_month_totals WHERE kind = ?::smallint AND month_key >= ?::integer UNION ALL SELECT"
        + totals
        + u"pagewarden_day_totals WHERE kind = ?::smallint AND day_key BETWEEN ?::integer AND ?::integer "
          u"UNION ALL SELECT "
        + name + u" IS NULL, coalesce(" + name
        + u", ''), 1, (trnumpags IS NOT NULL)::integer, coalesce(trnumpags, 0)" + jobDetails
        + u" FROM pagewarden_jobs WHERE julian_ms >= ?::bigint AND julian_ms < ?::bigint) AS period GROUP BY "
          u"name_null, name HAVING sum(row_count) > 0";
}

std::vector<std::optional<std::u16string>> statisticsParameters(const PeriodPlan& plan, GroupingColumn column)
{
    const std::u16string kind = decimalText(kindOf(column));
    return {kind, decimalText(plan.fromMonth), kind, decimalText(plan.firstDay), decimalText(plan.lastDay),
        decimalText(plan.jobsFrom), decimalText(plan.jobsTo)};
}

} // namespace central
