#include "shell/totals_export.h"

#include <cstdio>

namespace {

std::u16string quotedWhenNeeded(const std::u16string& cell, const std::u16string& special)
{
    if (cell.find_first_of(special) == std::u16string::npos) return cell;
    std::u16string quoted = u"\"";
    for (char16_t unit : cell) {
        if (unit == u'"') quoted += u'"';
        quoted += unit;
    }
    return quoted + u"\"";
}

std::u16string joined(const TotalsRow& headers, const std::vector<TotalsRow>& rows, char16_t separator,
    const std::u16string& special)
{
    std::u16string text;
    auto addLine = [&](const TotalsRow& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) text += separator;
            text += quotedWhenNeeded(cells[i], special);
        }
        text += u"\r\n";
    };
    addLine(headers);
    for (const TotalsRow& row : rows) addLine(row);
    return text;
}

} // namespace

std::u16string totalsAsTabSeparated(const TotalsRow& headers, const std::vector<TotalsRow>& rows)
{
    return joined(headers, rows, u'\t', u"\t\r\n\"");
}

std::string totalsAsCsv(const TotalsRow& headers, const std::vector<TotalsRow>& rows)
{
    // The mark tells spreadsheet programs the file is UTF-8, so names in any
    // script open as written.
    return "\xEF\xBB\xBF" + utf8Of(joined(headers, rows, u',', u",\r\n\""));
}

std::u16string suggestedCsvName(const std::u16string& stem, const DateTime& since)
{
    std::u16string name;
    for (char16_t unit : stem)
        if (unit >= 32 && std::u16string_view(u"\\/:*?\"<>|").find(unit) == std::u16string_view::npos)
            name += unit;
    char date[32];
    std::snprintf(date, sizeof date, "-%04u-%02u-%02u.csv", static_cast<unsigned>(since.year),
        static_cast<unsigned>(since.month), static_cast<unsigned>(since.day));
    for (const char* c = date; *c != 0; ++c) name += static_cast<char16_t>(*c);
    return name;
}

std::string utf8Of(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code <= 0xDFFF)
            code = 0xFFFD;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}
