#include "central/central_schema.h"

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

// Adds the totals of one table for the rows of `keyed` that were inserted.
// The source is part of each total's key, so that a source's role may be
// kept to its own totals.
std::string totalsUpsert(const std::string& table, const std::string& key, const std::string& keyColumn)
{
    return "INSERT INTO " + table + " (kind, " + keyColumn
        + ", name_null, name, source, row_count, job_count, page_sum) SELECT kind, " + key
        + ", name IS NULL, coalesce(name, ''), source, count(*), count(pages), coalesce(sum(pages), 0) FROM "
          "keyed GROUP BY 1, 2, 3, 4, 5 ORDER BY 1, 2, 3, 4, 5 ON CONFLICT (kind, "
        + keyColumn + ", name_null, name, source) DO UPDATE SET row_count = " + table
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

std::u16string batchStatement(std::size_t rows)
{
    std::string text = "WITH batch (source, file_id, row_id, trfecha, trusuario, trmaquina, trimpresora, "
                       "trnumpags, julian_ms, day_key, month_key) AS (VALUES ";
    for (std::size_t row = 0; row < rows; ++row) {
        if (row > 0) text += ", ";
        text += "(?::text, ?::text, ?::bigint, ?::text, ?::text, ?::text, ?::text, ?::bigint, ?::bigint, "
                "?::integer, ?::integer)";
    }
    text += "), added AS (INSERT INTO pagewarden_jobs (source, file_id, row_id, trfecha, trusuario, "
            "trmaquina, "
            "trimpresora, trnumpags, julian_ms) SELECT source, file_id, row_id, trfecha, trusuario, "
            "trmaquina, "
            "trimpresora, trnumpags, julian_ms FROM batch ON CONFLICT DO NOTHING RETURNING row_id), "
            // Only what this statement inserted counts: a row already there
            // (shipped before a crash lost the local mark) adds nothing.
            "keyed AS (SELECT b.source, g.kind, g.name, b.trnumpags AS pages, b.day_key, b.month_key FROM "
            "batch b "
            "JOIN added a ON a.row_id = b.row_id CROSS JOIN LATERAL (VALUES (1, b.trimpresora), (2, "
            "b.trusuario), "
            "(3, b.trmaquina)) AS g (kind, name) WHERE b.day_key IS NOT NULL), months AS (";
    text += totalsUpsert("pagewarden_month_totals", "month_key", "month_key");
    text += ") ";
    text += totalsUpsert("pagewarden_day_totals", "day_key", "day_key");
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

std::vector<std::optional<std::u16string>> batchParameters(const ShippingBatch& batch)
{
    std::vector<std::optional<std::u16string>> values;
    values.reserve(batch.rows.size() * parametersPerRow);
    auto text = [](const std::optional<std::u16string>& value) -> std::optional<std::u16string> {
        if (!value) return std::nullopt;
        return storableText(*value);
    };
    auto integer = [](const std::optional<std::int64_t>& value) -> std::optional<std::u16string> {
        if (!value) return std::nullopt;
        return decimalText(*value);
    };
    for (const ShippedRow& row : batch.rows) {
        values.push_back(storableText(batch.source));
        values.push_back(batch.fileId);
        values.push_back(decimalText(row.rowId));
        values.push_back(text(row.date));
        values.push_back(text(row.user));
        values.push_back(text(row.machine));
        values.push_back(text(row.printer));
        values.push_back(integer(row.pages));
        values.push_back(integer(row.dayKey ? row.julianMs : std::nullopt));
        values.push_back(integer(row.julianMs ? row.dayKey : std::nullopt));
        values.push_back(integer(
            row.julianMs && row.dayKey ? std::optional<std::int64_t>(*row.dayKey / 100) : std::nullopt));
    }
    return values;
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
