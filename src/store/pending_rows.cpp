#include "store/pending_rows.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <chrono>
#include <random>
#include <unordered_set>

#include "common/strings.h"
#include "store/sqlite_calls.h"

using namespace store;

namespace {

constexpr std::string_view heading = "Pagewarden jobs waiting to be written, format 1";

std::uint32_t crc32(std::string_view bytes)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// A name as one field: UTF-8, with what would break the line or the field,
// and a surrogate without its partner, written as an escape.
std::string escaped(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t unit = text[i];
        const bool lead = unit >= 0xD800 && unit < 0xDC00;
        if (lead && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00u));
            continue;
        }
        if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\r') {
            out += "\\r";
        } else if (unit < 0x20 || (unit >= 0xD800 && unit < 0xE000)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(unit));
            out += hex;
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

bool hexValue(std::string_view text, std::uint32_t& value)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// The inverse of `escaped`; false on anything it cannot have written.
bool unescaped(std::string_view field, std::u16string& text)
{
    text.clear();
    for (std::size_t i = 0; i < field.size();) {
        auto byte = static_cast<unsigned char>(field[i]);
        if (byte == '\\') {
            if (i + 1 >= field.size()) return false;
            char what = field[i + 1];
            if (what == '\\' || what == 't' || what == 'n' || what == 'r') {
                text.push_back(what == '\\' ? u'\\' : what == 't' ? u'\t' : what == 'n' ? u'\n' : u'\r');
                i += 2;
                continue;
            }
            std::uint32_t unit = 0;
            if (what != 'u' || i + 6 > field.size() || !hexValue(field.substr(i + 2, 4), unit)) return false;
            text.push_back(static_cast<char16_t>(unit));
            i += 6;
            continue;
        }
        std::size_t length = byte < 0x80 ? 1
            : (byte & 0xE0) == 0xC0      ? 2
            : (byte & 0xF0) == 0xE0      ? 3
            : (byte & 0xF8) == 0xF0      ? 4
                                         : 0;
        if (length == 0 || i + length > field.size() || (length == 1 && byte < 0x20)) return false;
        std::uint32_t code = length == 1 ? byte : byte & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(field[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
        if (code >= 0x10000) {
            text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return true;
}

std::vector<std::string_view> split(std::string_view line, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = line.find(separator);
        parts.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return parts;
        line.remove_prefix(at + 1);
    }
}

// A job's details follow its pages as seven more fields, each empty when
// null; a text that is there starts with "=", so an empty one is not null.
std::string detailsFields(const JobDetails& details)
{
    std::string fields;
    auto number = [&](const auto& value) {
        fields += '\t';
        if (value) fields += std::to_string(*value);
    };
    auto text = [&](const std::optional<std::u16string>& value) {
        fields += '\t';
        if (!value) return;
        fields += '=';
        fields += escaped(*value);
    };
    number(details.color);
    number(details.sides);
    text(details.paper);
    number(details.sheets);
    number(std::optional<std::int64_t>(details.bytes));
    text(details.document);
    number(details.cost);
    return fields;
}

std::string rowLine(const JobRow& row)
{
    std::string date;
    for (char16_t unit : formatDateTimeText(row.submitted)) date.push_back(static_cast<char>(unit));
    return date + "\t" + escaped(row.user) + "\t" + escaped(row.machine) + "\t" + escaped(row.printer) + "\t"
        + std::to_string(row.pages) + (row.details ? detailsFields(*row.details) : std::string());
}

template <typename Number> bool parseNumberField(std::string_view field, Number& value)
{
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size();
}

template <typename Number> bool parseOptionalNumber(std::string_view field, std::optional<Number>& value)
{
    value.reset();
    if (field.empty()) return true;
    return parseNumberField(field, value.emplace());
}

bool parseOptionalText(std::string_view field, std::optional<std::u16string>& value)
{
    value.reset();
    if (field.empty()) return true;
    return field.front() == '=' && unescaped(field.substr(1), value.emplace());
}

bool parseDetails(const std::vector<std::string_view>& fields, JobDetails& details)
{
    return parseOptionalNumber(fields[5], details.color) && parseOptionalNumber(fields[6], details.sides)
        && parseOptionalText(fields[7], details.paper) && parseOptionalNumber(fields[8], details.sheets)
        && parseNumberField(fields[9], details.bytes) && parseOptionalText(fields[10], details.document)
        && parseOptionalNumber(fields[11], details.cost);
}

bool parseRow(std::string_view line, JobRow& row)
{
    std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() != 5 && fields.size() != 12) return false;
    row.details.reset();
    if (fields.size() == 12 && !parseDetails(fields, row.details.emplace())) return false;
    std::u16string date;
    if (!unescaped(fields[0], date) || !unescaped(fields[1], row.user) || !unescaped(fields[2], row.machine)
        || !unescaped(fields[3], row.printer))
        return false;
    // Whatever date formatDateTimeText wrote, and only that, comes back.
    if (date.size() < 23 || date.size() > 24 || date[date.size() - 19] != u'-') return false;
    parseDateTimeText(date.c_str(), row.submitted);
    if (formatDateTimeText(row.submitted) != date) return false;
    return parseNumberField(fields[4], row.pages);
}

bool isBatchId(std::string_view id)
{
    if (id.size() != 32) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

} // namespace

std::string newBatchId()
{
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937_64 random(seed);
    char id[33];
    std::snprintf(id, sizeof id, "%016llx%016llx", static_cast<unsigned long long>(random()),
        static_cast<unsigned long long>(random()));
    return id;
}

std::u16string pendingBatchFileName(const std::string& id)
{
    return pendingFilePrefix + asciiText(id) + u".txt";
}

bool isPendingFileName(const std::u16string& name)
{
    const std::size_t prefix = std::size(pendingFilePrefix) - 1;
    if (name == pendingFileName) return true;
    if (name.size() != prefix + 32 + 4 || name.compare(0, prefix, pendingFilePrefix) != 0
        || name.compare(prefix + 32, 4, u".txt") != 0)
        return false;
    std::string id;
    for (std::size_t i = prefix; i < prefix + 32; ++i)
        id.push_back(name[i] < 0x80 ? static_cast<char>(name[i]) : '?');
    return isBatchId(id);
}

namespace {

std::string batchText(const PendingBatch& batch)
{
    std::string lines;
    for (const JobRow& row : batch.rows) lines += rowLine(row) + "\n";
    char end[64];
    std::snprintf(end, sizeof end, "%08x", static_cast<unsigned>(crc32(lines)));
    return "batch " + batch.id + " " + std::to_string(batch.rows.size()) + "\n" + lines + "end " + batch.id
        + " " + end + "\n";
}

} // namespace

std::vector<PendingBatch> pendingBatchesOf(const std::vector<JobRow>& rows)
{
    // The heading, the batch's two lines and room to spare. A row's line is
    // a few kilobytes (names as the spooler keeps them); one of megabytes
    // still gets a batch, and only a file of its own is too large to read.
    constexpr std::size_t frame = 256;
    std::vector<PendingBatch> batches;
    std::size_t size = 0;
    for (const JobRow& row : rows) {
        const std::size_t line = rowLine(row).size() + 1;
        if (batches.empty() || (size + line > pendingFileLimit - frame && !batches.back().rows.empty())) {
            batches.push_back({newBatchId(), {}});
            size = 0;
        }
        batches.back().rows.push_back(row);
        size += line;
    }
    return batches;
}

std::string formatPendingFile(const std::vector<PendingBatch>& batches)
{
    std::string text(heading);
    text += "\n";
    for (const PendingBatch& batch : batches) text += batchText(batch);
    return text;
}

bool parsePendingFile(std::string_view text, std::vector<PendingBatch>& whole, std::string& why)
{
    whole.clear();
    if (text.size() > pendingFileLimit) {
        why = "the file is larger than " + std::to_string(pendingFileLimit >> 20) + " MB";
        return false;
    }
    std::vector<PendingBatch> batches;
    std::unordered_set<std::string> ids;
    std::vector<std::string_view> lines = split(text, '\n');
    if (lines.empty() || lines.back() != "") {
        why = "the file ends in the middle of a line";
        return false;
    }
    lines.pop_back();
    if (lines.empty() || lines[0] != heading) {
        why = "the first line is not the heading of such a file";
        return false;
    }
    for (std::size_t at = 1; at < lines.size();) {
        std::vector<std::string_view> head = split(lines[at], ' ');
        std::size_t count = 0;
        if (head.size() != 3 || head[0] != "batch" || !isBatchId(head[1])
            || std::from_chars(head[2].data(), head[2].data() + head[2].size(), count).ec != std::errc()
            || count > lines.size()) {
            why = "line " + std::to_string(at + 1) + " does not begin a batch";
            return false;
        }
        PendingBatch batch{std::string(head[1]), {}};
        if (!ids.insert(batch.id).second) {
            why = "the batch of line " + std::to_string(at + 1) + " was already in the file";
            return false;
        }
        std::string rowText;
        for (std::size_t k = 0; k < count; ++k) {
            std::size_t line = at + 1 + k;
            // Read in place: the rows hold optional details, and a row read
            // aside and moved in draws a false warning from some compilers.
            if (line >= lines.size() || !parseRow(lines[line], batch.rows.emplace_back())) {
                why = "line " + std::to_string(line + 1) + " is not a whole job";
                return false;
            }
            rowText.append(lines[line]).push_back('\n');
        }
        std::size_t endLine = at + 1 + count;
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(crc32(rowText)));
        if (endLine >= lines.size() || lines[endLine] != "end " + batch.id + " " + crc) {
            why = "the batch of line " + std::to_string(at + 1) + " does not end as written";
            return false;
        }
        batches.push_back(std::move(batch));
        at = endLine + 1;
    }
    whole = std::move(batches);
    return true;
}

std::size_t applyPendingBatches(const std::u16string& folder, const std::vector<PendingBatch>& batches)
{
    std::size_t written = 0;
    for (const PendingBatch& batch : batches) {
        Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
        beginWriting(db.get());
        if (!tryRun(
                db.get(), u"create table if not exists tbPendientes (peid text primary key, pefecha text);"))
            storeFailure(u"166");
        Statement known = prepare(db.get(), u"select 1 from tbPendientes where peid = ?;", u"158");
        bindText(known.get(), 1, asciiText(batch.id), u"158");
        const bool applied = step(known.get(), u"166") == SQLITE_ROW;
        known.reset();
        if (!applied) {
            insertJobRows(db.get(), batch.rows);
            Statement note = prepare(db.get(),
                u"insert into tbPendientes (peid, pefecha) values (?, strftime('%Y-%m-%dT%H:%M:%f', 'now', "
                u"'localtime'));",
                u"158");
            bindText(note.get(), 1, asciiText(batch.id), u"158");
            if (step(note.get(), u"166") != SQLITE_DONE) storeFailure(u"166");
            note.reset();
            written += batch.rows.size();
        }
        commitWriting(db.get());
        closeJobDatabase(std::move(db));
    }
    return written;
}
