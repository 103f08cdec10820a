#include "store/job_details.h"

#include <algorithm>
#include <array>
#include <vector>

#include "common/strings.h"

namespace {

char16_t lowerAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
}

std::u16string folded(std::u16string_view text)
{
    std::u16string result(text);
    std::transform(result.begin(), result.end(), result.begin(), lowerAscii);
    return result;
}

std::u16string_view trimmed(std::u16string_view text)
{
    while (!text.empty() && wstrIsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && wstrIsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Decodes one UTF-8 sequence at `at`; false when it is not one.
bool utf8Sequence(std::string_view bytes, std::size_t& at, std::u16string& out)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || at + length > bytes.size()) return false;
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return false;
        code = (code << 6) | (byte(at + k) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else
        out += static_cast<char16_t>(code);
    at += length;
    return true;
}

void takePrice(Prices& prices, std::u16string_view key, std::u16string_view value)
{
    std::optional<Money>* price = key == u"mono" ? &prices.mono
        : key == u"colour" || key == u"color"    ? &prices.colour
        : key == u"sheet"                        ? &prices.sheet
                                                 : nullptr;
    if (price) *price = parseMoney(value);
}

} // namespace

Prices RecordSettings::pricesFor(const std::u16string& printer) const
{
    Prices result = prices;
    auto own = printerPrices.find(folded(printer));
    if (own == printerPrices.end()) return result;
    if (own->second.mono) result.mono = own->second.mono;
    if (own->second.colour) result.colour = own->second.colour;
    if (own->second.sheet) result.sheet = own->second.sheet;
    return result;
}

std::u16string settingsFileText(std::string_view bytes)
{
    std::u16string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(
                static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        return text;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    for (std::size_t at = 0; at < bytes.size();) {
        if (static_cast<unsigned char>(bytes[at]) < 0x80 || !utf8Sequence(bytes, at, text))
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[at++]));
    }
    return text;
}

RecordSettings parseRecordSettings(std::u16string_view text)
{
    RecordSettings settings;
    enum class Section { other, record, prices, printerPrices } section = Section::other;
    std::u16string printer;
    while (!text.empty()) {
        std::size_t end = std::min(text.find(u'\n'), text.size());
        std::u16string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.starts_with(u'[') && line.ends_with(u']')) {
            std::u16string name(trimmed(line.substr(1, line.size() - 2)));
            std::u16string lower = folded(name);
            section = lower == u"record"        ? Section::record
                : lower == u"prices"            ? Section::prices
                : lower.starts_with(u"prices:") ? Section::printerPrices
                                                : Section::other;
            if (section == Section::printerPrices)
                printer = folded(trimmed(std::u16string_view(name).substr(7)));
            continue;
        }
        std::size_t equals = line.find(u'=');
        if (equals == std::u16string_view::npos || line.starts_with(u';')) continue;
        std::u16string key = folded(trimmed(line.substr(0, equals)));
        std::u16string_view value = trimmed(line.substr(equals + 1));
        if (section == Section::record && key == u"documents") settings.documents = folded(value) == u"yes";
        if (section == Section::prices) takePrice(settings.prices, key, value);
        if (section == Section::printerPrices) takePrice(settings.printerPrices[printer], key, value);
    }
    return settings;
}

std::optional<Money> parseMoney(std::u16string_view text)
{
    Money units = 0, fraction = 0;
    std::size_t i = 0, digits = 0, decimals = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++digits) {
        units = units * 10 + (text[i] - u'0');
        if (units > 1'000'000'000) return std::nullopt;
    }
    if (i < text.size() && text[i] == u'.') {
        for (++i; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++decimals) {
            if (decimals == 4) return std::nullopt;
            fraction = fraction * 10 + (text[i] - u'0');
        }
        if (decimals == 0) return std::nullopt;
    }
    if (i != text.size() || digits == 0) return std::nullopt;
    for (std::size_t k = decimals; k < 4; ++k) fraction *= 10;
    return units * moneyScale + fraction;
}

std::u16string paperSizeName(std::int16_t paperSize)
{
    static constexpr std::array<const char16_t*, 41> names = {u"Letter", u"Letter Small", u"Tabloid",
        u"Ledger", u"Legal", u"Statement", u"Executive", u"A3", u"A4", u"A4 Small", u"A5", u"B4 (JIS)",
        u"B5 (JIS)", u"Folio", u"Quarto", u"10x14", u"11x17", u"Note", u"Envelope #9", u"Envelope #10",
        u"Envelope #11", u"Envelope #12", u"Envelope #14", u"C size sheet", u"D size sheet", u"E size sheet",
        u"Envelope DL", u"Envelope C5", u"Envelope C3", u"Envelope C4", u"Envelope C6", u"Envelope C65",
        u"Envelope B4", u"Envelope B5", u"Envelope B6", u"Envelope", u"Envelope Monarch", u"6 3/4 Envelope",
        u"US Std Fanfold", u"German Std Fanfold", u"German Legal Fanfold"};
    if (paperSize >= 1 && paperSize <= static_cast<int>(names.size())) return names[paperSize - 1];
    std::u16string number = u"#";
    number += decimalText(paperSize);
    return number;
}

namespace {

// The sum of count x price for each priced item; none without any price, or
// when the sum leaves 64 bits (a page count no printer ever made).
std::optional<Money> costOf(
    const Prices& prices, std::int64_t pages, bool colour, std::optional<std::int64_t> sheets)
{
    if (!prices.any()) return std::nullopt;
    Money cost = 0;
    auto add = [&](std::int64_t count, const std::optional<Money>& price) {
        Money part = 0;
        if (!price || count <= 0) return true;
        return !__builtin_mul_overflow(count, *price, &part) && !__builtin_add_overflow(cost, part, &cost);
    };
    if (!add(pages, colour ? prices.colour : prices.mono)) return std::nullopt;
    if (!add(sheets.value_or(0), prices.sheet)) return std::nullopt;
    return cost;
}

} // namespace

std::optional<JobDetails> jobDetailsOf(
    const JobRecord& job, std::int64_t pages, const RecordSettings& settings)
{
    if (!job.hasDevMode) return std::nullopt;
    const std::uint32_t fields = job.dmFields;
    JobDetails details;
    if (fields & deviceModeColor) details.color = job.details.dmColor;
    if (fields & deviceModeDuplex) details.sides = job.details.dmDuplex;
    if ((fields & deviceModeFormName) && !job.details.dmFormName.empty())
        details.paper = job.details.dmFormName;
    else if (fields & deviceModePaperSize)
        details.paper = paperSizeName(job.details.dmPaperSize);
    const std::int64_t perCopy = job.pagesPrinted != 0 ? job.pagesPrinted : job.totalPages;
    const std::int64_t copies = (fields & deviceModeCopies) ? std::max<std::int64_t>(job.dmCopies, 1) : 1;
    const bool twoSided = details.sides == 2 || details.sides == 3;
    details.sheets = (twoSided ? (perCopy + 1) / 2 : perCopy) * copies;
    details.bytes = job.size;
    if (settings.documents && job.document) details.document = cutText(*job.document, documentNameLimit);
    details.cost = costOf(
        settings.pricesFor(job.printerName.value_or(u"")), pages, details.color == 2, details.sheets);
    return details;
}
