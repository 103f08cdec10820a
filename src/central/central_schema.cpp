#include "central/central_schema.h"

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

// Adds `rows` (kind, key, name_null, name, source, row_count, job_count,
// page_sum) to the totals of one table. The source is part of each total's
// key, so that a source's role may be kept to its own totals.
std::string totalsUpsert(const std::string& table, const std::string& keyColumn, const std::string& rows)
{
    return "INSERT INTO " + table + " (kind, " + keyColumn
        + ", name_null, name, source, row_count, job_count, page_sum) " + rows
        + " ORDER BY 1, 2, 3, 4, 5 ON CONFLICT (kind, " + keyColumn
        + ", name_null, name, source) DO UPDATE SET row_count = " + table
        + ".row_count + excluded.row_count, job_count = " + table
        + ".job_count + excluded.job_count, page_sum = " + table + ".page_sum + excluded.page_sum";
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
            u"bigint, "
            u"PRIMARY KEY (source, file_id, row_id))"},
        {u"pagewarden_jobs_time", u"CREATE INDEX pagewarden_jobs_time ON pagewarden_jobs (julian_ms)"},
        {u"pagewarden_month_totals",
            u"CREATE TABLE pagewarden_month_totals (kind smallint NOT NULL, month_key integer NOT NULL, "
            u"name_null boolean NOT NULL, name text NOT NULL, source text NOT NULL, row_count bigint NOT "
            u"NULL, "
            u"job_count bigint NOT NULL, page_sum bigint NOT NULL, PRIMARY KEY (kind, month_key, name_null, "
            u"name, source))"},
        {u"pagewarden_day_totals",
            u"CREATE TABLE pagewarden_day_totals (kind smallint NOT NULL, day_key integer NOT NULL, "
            u"name_null boolean NOT NULL, name text NOT NULL, source text NOT NULL, row_count bigint NOT "
            u"NULL, "
            u"job_count bigint NOT NULL, page_sum bigint NOT NULL, PRIMARY KEY (kind, day_key, name_null, "
            u"name, source))"},
    };
    return objects;
}

const std::vector<std::u16string>& schemaUpgrades()
{
    static const std::vector<std::u16string> upgrades = {
        totalsSourceUpgrade(u"pagewarden_month_totals", u"month_key"),
        totalsSourceUpgrade(u"pagewarden_day_totals", u"day_key"),
    };
    return upgrades;
}

std::u16string batchStatement()
{
    // The arrays side by side in the select list, one row an element:
    // the quickest way the server takes them apart.
    std::string columns, stored;
    for (const ShippedColumn& column : shippedColumns()) {
        columns += std::string(", unnest(?::") + column.type + "[]) AS " + column.name;
        if (column.stored) stored += std::string(", ") + column.name;
    }
    std::string text = "WITH batch AS (SELECT ?::text AS source, ?::text AS file_id" + columns
        + "), added AS (INSERT INTO pagewarden_jobs (source, file_id" + stored + ") SELECT source, file_id"
        + stored
        + " FROM batch ON CONFLICT DO NOTHING RETURNING row_id), "
          // Only what this statement inserted counts: a row already there
          // (shipped before a crash lost the local mark) adds nothing.
          // The rows' totals per day, then the months' from the days'.
          "days AS (SELECT g.kind, b.day_key, g.name IS NULL AS name_null, coalesce(g.name, '') AS name, "
          "b.source, count(*) AS row_count, count(b.trnumpags) AS job_count, coalesce(sum(b.trnumpags), 0) "
          "AS page_sum "
          "FROM batch b JOIN added a ON a.row_id = b.row_id CROSS JOIN LATERAL (VALUES (1, b.trimpresora), "
          "(2, b.trusuario), (3, b.trmaquina)) AS g (kind, name) WHERE b.day_key IS NOT NULL "
          "GROUP BY 1, 2, 3, 4, 5), months AS (";
    text += totalsUpsert("pagewarden_month_totals", "month_key",
        "SELECT kind, day_key / 100, name_null, name, source, sum(row_count), sum(job_count), "
        "sum(page_sum) FROM days GROUP BY 1, 2, 3, 4, 5");
    text += ") ";
    text += totalsUpsert("pagewarden_day_totals", "day_key",
        "SELECT kind, day_key, name_null, name, source, row_count, job_count, page_sum FROM days");
    return asciiText(text);
}

std::u16string storableText(const std::u16string& text)
{
    std::u16string stored = text;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char16_t unit = stored[i];
        if (unit == 0) {
            stored[i] = u'\uFFFD';
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 < stored.size() && stored[i + 1] >= 0xDC00 && stored[i + 1] <= 0xDFFF)
                ++i;
            else
                stored[i] = u'\uFFFD';
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            stored[i] = u'\uFFFD';
        }
    }
    return stored;
}

namespace {

std::optional<std::u16string> shippedText(const std::optional<std::u16string>& value)
{
    if (!value) return std::nullopt;
    return storableText(*value);
}

std::optional<std::u16string> shippedNumber(const std::optional<std::int64_t>& value)
{
    if (!value) return std::nullopt;
    return decimalText(*value);
}

// A row whose moment julianday() cannot read counts in no period: it goes
// without its moment and its day.
bool dated(const ShippedRow& row)
{
    return row.julianMs && row.dayKey;
}

} // namespace

const std::vector<ShippedColumn>& shippedColumns()
{
    static const std::vector<ShippedColumn> columns = {
        {"row_id", "bigint", true, [](const ShippedRow& r) { return shippedNumber(r.rowId); }},
        {"trfecha", "text", true, [](const ShippedRow& r) { return shippedText(r.date); }},
        {"trusuario", "text", true, [](const ShippedRow& r) { return shippedText(r.user); }},
        {"trmaquina", "text", true, [](const ShippedRow& r) { return shippedText(r.machine); }},
        {"trimpresora", "text", true, [](const ShippedRow& r) { return shippedText(r.printer); }},
        {"trnumpags", "bigint", true, [](const ShippedRow& r) { return shippedNumber(r.pages); }},
        {"julian_ms", "bigint", true,
            [](const ShippedRow& r) { return dated(r) ? shippedNumber(r.julianMs) : std::nullopt; }},
        {"day_key", "integer", false,
            [](const ShippedRow& r) { return dated(r) ? shippedNumber(r.dayKey) : std::nullopt; }},
    };
    return columns;
}

std::u16string arrayLiteral(const std::vector<std::optional<std::u16string>>& values, bool quoted)
{
    std::u16string literal = u"{";
    for (const std::optional<std::u16string>& value : values) {
        if (literal.size() > 1) literal += u',';
        if (!value) {
            literal += u"NULL";
            continue;
        }
        if (!quoted) {
            literal += *value;
            continue;
        }
        literal += u'"';
        for (char16_t unit : *value) {
            if (unit == u'"' || unit == u'\\') literal += u'\\';
            literal += unit;
        }
        literal += u'"';
    }
    return literal + u"}";
}

std::vector<std::optional<std::u16string>> batchParameters(const ShippingBatch& batch)
{
    std::vector<std::optional<std::u16string>> parameters = {storableText(batch.source), batch.fileId};
    std::vector<std::optional<std::u16string>> values(batch.rows.size());
    for (const ShippedColumn& column : shippedColumns()) {
        for (std::size_t i = 0; i < batch.rows.size(); ++i) values[i] = column.value(batch.rows[i]);
        parameters.push_back(arrayLiteral(values, std::string_view(column.type) == "text"));
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

std::u16string statisticsStatement(GroupingColumn column)
{
    const std::u16string name = groupingColumnName(column); // one of three fixed names
    const std::u16string totals = u" name_null, name, row_count, job_count, page_sum FROM ";
    return u"SELECT CASE WHEN name_null THEN NULL ELSE name END, CASE WHEN sum(job_count) = 0 THEN NULL ELSE "
           u"sum(page_sum) END, sum(job_count) FROM (SELECT"
        + totals
        + u"pagewarden_month_totals WHERE kind = ?::smallint AND month_key >= ?::integer UNION ALL SELECT"
        + totals
        + u"pagewarden_day_totals WHERE kind = ?::smallint AND day_key BETWEEN ?::integer AND ?::integer "
          u"UNION ALL SELECT "
        + name + u" IS NULL, coalesce(" + name
        + u", ''), 1, (trnumpags IS NOT NULL)::integer, coalesce(trnumpags, 0) FROM pagewarden_jobs WHERE "
          u"julian_ms >= ?::bigint AND julian_ms < ?::bigint) AS period GROUP BY name_null, name "
          u"HAVING sum(row_count) > 0";
}

std::vector<std::optional<std::u16string>> statisticsParameters(const PeriodPlan& plan, GroupingColumn column)
{
    const std::u16string kind = decimalText(kindOf(column));
    return {kind, decimalText(plan.fromMonth), kind, decimalText(plan.firstDay), decimalText(plan.lastDay),
        decimalText(plan.jobsFrom), decimalText(plan.jobsTo)};
}

} // namespace central
