#include "central/central_log.h"

#include <charconv>
#include <cstdint>

#include "central/central_schema.h"
#include "common/strings.h"
#include "store/statistics_rows.h"

namespace central {

namespace {

using Parameters = std::vector<std::optional<std::u16string>>;

// The order's value; a name that is not there sorts as an empty one, pages
// that are not there below every number.
std::u16string keyOf(LogColumn column)
{
    switch (column) {
    case LogColumn::time: return u"julian_ms";
    case LogColumn::user: return u"coalesce(trusuario, '')";
    case LogColumn::machine: return u"coalesce(trmaquina, '')";
    case LogColumn::printer: return u"coalesce(trimpresora, '')";
    case LogColumn::pages: return u"coalesce(trnumpags, -9223372036854775808)";
    }
    return u"julian_ms";
}

bool numericKey(LogColumn column)
{
    return column == LogColumn::time || column == LogColumn::pages;
}

// ILIKE's pattern for a text anywhere in a name, its wildcards taken as they are.
std::u16string likePattern(const std::u16string& search)
{
    std::u16string pattern = u"%";
    for (char16_t unit : storableText(search)) {
        if (unit == u'%' || unit == u'_' || unit == u'\\') pattern += u'\\';
        pattern += unit;
    }
    return pattern + u"%";
}

// The period's term and the filter's, their parameters added in order.
std::u16string filterTerms(const LogFilter& filter, const LogColumnsGranted& granted, Parameters& parameters)
{
    std::u16string terms = u" FROM pagewarden_jobs WHERE julian_ms >= ?::bigint";
    parameters.push_back(decimalText(julianMs(filter.since)));
    if (filter.only) {
        terms += u" AND " + std::u16string(groupingColumnName(*filter.only)) + u" = ?";
        parameters.push_back(storableText(filter.onlyValue));
    }
    if (!filter.search.empty()) {
        std::vector<const char16_t*> searched = {u"trusuario", u"trmaquina", u"trimpresora"};
        if (granted.documents) searched.push_back(u"dtdocumento");
        std::u16string any;
        for (const char16_t* column : searched) {
            any += (any.empty() ? u"" : u" OR ") + std::u16string(column) + u" ILIKE ? ESCAPE '\\'";
            parameters.push_back(likePattern(filter.search));
        }
        terms += u" AND (" + any + u")";
    }
    return terms;
}

std::optional<std::int64_t> decimalOf(const std::u16string& text)
{
    std::string ascii;
    for (char16_t unit : text) {
        if (unit > 0x7F) return std::nullopt;
        ascii += static_cast<char>(unit);
    }
    std::int64_t value = 0;
    const auto [end, fault] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (fault != std::errc() || end != ascii.data() + ascii.size()) return std::nullopt;
    return value;
}

} // namespace

std::u16string logColumnsQuery()
{
    return u"SELECT CASE WHEN count(*) FILTER (WHERE attname IN ('source', 'file_id', 'row_id', 'trfecha', "
           u"'trusuario', 'trmaquina', 'trimpresora', 'trnumpags', 'julian_ms')) = 9 THEN 'yes' ELSE 'no' "
           u"END, "
           u"CASE WHEN count(*) FILTER (WHERE attname IN ('dtcolor', 'dtcaras', 'dtpapel', 'dthojas', "
           u"'dtcoste')) = 5 THEN 'yes' ELSE 'no' END, "
           u"CASE WHEN count(*) FILTER (WHERE attname = 'dtdocumento') = 1 THEN 'yes' ELSE 'no' END "
           u"FROM pg_attribute WHERE attrelid = 'pagewarden_jobs'::regclass AND NOT attisdropped "
           u"AND has_column_privilege(attrelid, attnum, 'SELECT')";
}

LogQuery logCountQuery(const LogFilter& filter, const LogColumnsGranted& granted)
{
    LogQuery query;
    query.statement = u"SELECT count(*)" + filterTerms(filter, granted, query.parameters);
    return query;
}

LogQuery logPageQuery(const LogFilter& filter, const LogOrder& order, const LogEntry* after,
    std::size_t count, bool fromEnd, std::size_t skip, const LogColumnsGranted& granted)
{
    const bool descending = order.descending != fromEnd;
    const std::u16string key = keyOf(order.column);
    const std::u16string cast = numericKey(order.column) ? u"::bigint" : u"";
    auto detail = [&](const char16_t* column, bool shown) { return shown ? column : u"NULL"; };
    LogQuery query;
    query.statement
        = u"SELECT source, file_id, row_id, trfecha, trusuario, trmaquina, trimpresora, trnumpags, "
        + std::u16string(detail(u"dtdocumento", granted.documents)) + u", "
        + detail(u"dtpapel", granted.details) + u", " + detail(u"dtcolor", granted.details) + u", "
        + detail(u"dtcaras", granted.details) + u", " + detail(u"dthojas", granted.details) + u", "
        + detail(u"dtcoste", granted.details) + u", " + key + filterTerms(filter, granted, query.parameters);
    if (after) {
        // The key's bound alone narrows the index's range; the row value
        // then steps past the entries of the same key already read.
        const std::u16string beyond = descending ? u" < " : u" > ";
        query.statement += u" AND " + key + (descending ? u" <= ?" : u" >= ?") + cast + u" AND (" + key
            + u", source, file_id, row_id)" + beyond + u"(?" + cast + u", ?, ?, ?::bigint)";
        query.parameters.insert(query.parameters.end(),
            {after->textKey, after->textKey, after->source, after->fileId, decimalText(after->row)});
    }
    const std::u16string direction = descending ? u" DESC" : u"";
    query.statement += u" ORDER BY " + key + direction + u", source" + direction + u", file_id" + direction
        + u", row_id" + direction + u" LIMIT ?::bigint OFFSET ?::bigint";
    query.parameters.push_back(decimalText(static_cast<std::int64_t>(count)));
    query.parameters.push_back(decimalText(static_cast<std::int64_t>(skip)));
    return query;
}

LogEntry logEntryOfRow(const std::vector<std::optional<std::u16string>>& row)
{
    auto text = [&](std::size_t column) {
        return column < row.size() && row[column] ? *row[column] : std::u16string();
    };
    auto number = [&](std::size_t column) -> std::optional<std::int64_t> {
        if (column >= row.size() || !row[column]) return std::nullopt;
        return decimalOf(*row[column]);
    };
    LogEntry entry;
    entry.source = text(0);
    entry.fileId = text(1);
    entry.row = number(2).value_or(0);
    entry.time = text(3);
    entry.user = text(4);
    entry.machine = text(5);
    entry.printer = text(6);
    entry.pages = text(7);
    if (row.size() > 8 && row[8]) entry.document = row[8];
    if (row.size() > 9 && row[9]) entry.paper = row[9];
    entry.colour = number(10);
    entry.sides = number(11);
    entry.sheets = number(12);
    entry.cost = number(13);
    entry.textKey = text(14);
    return entry;
}

} // namespace central
